// The filter library loaded the way a web server loads it: by path, entry points by name.
#include <gtest/gtest.h>

#include <filesystem>

#include "filter/test_server.h"
#include "websupport/test_settings.h"
#include "platform/scratch_directory.h"
#include "platform/shared_library.h"

namespace gatekeeper {
namespace {

class SentryLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::writeWholeFile(
        scratch_.file("db.cfg"),
        "{ MAIN:\n(string)log=" + scratch_.file("events.log") +
            "\n{ SERVERS:\n(string)intranet=Staff\n} SERVERS;\n} MAIN;\n"
            "{ ACCOUNTS:\n{ Staff:\n{ john:\n(string)Password=secret\n(string)MapTo=web\n"
            "} john;\n} Staff;\n} ACCOUNTS;\n{ NTACCOUNTS:\n{ web:\n(string)Password=pw\n"
            "} web;\n} NTACCOUNTS;\n");
    ASSERT_TRUE(settings_.store("Configuration File", scratch_.file("db.cfg")));
  }

  // Loads the library, asks for its version as a server does at start-up, and sends one
  // authentication notification.
  TestOutcome loadAndSend(const TestRequest& request, HTTP_FILTER_VERSION* version) {
    platform::SharedLibrary library(SENTRY_LIBRARY);
    EXPECT_TRUE(library.isLoaded()) << library.error();
    auto getFilterVersion =
        reinterpret_cast<PFN_GETFILTERVERSION>(library.symbol("GetFilterVersion"));
    auto httpFilterProc = reinterpret_cast<PFN_HTTPFILTERPROC>(library.symbol("HttpFilterProc"));
    if (getFilterVersion == nullptr || httpFilterProc == nullptr) {
      ADD_FAILURE() << "entry points missing";
      return TestOutcome();
    }
    EXPECT_TRUE(getFilterVersion(version));
    return sendAuthentication(httpFilterProc, request);
  }

  platform::ScratchDirectory scratch_;
  TestSettings settings_;
};

TEST_F(SentryLibraryTest, AnnouncesItselfAndMapsAUser) {
  HTTP_FILTER_VERSION version{};
  version.dwServerFilterVersion = 0x00060000;
  TestRequest request;
  request.user = "john";
  request.password = "secret";
  const TestOutcome outcome = loadAndSend(request, &version);

  EXPECT_EQ(version.dwFilterVersion, 0x00040000u);
  EXPECT_STREQ(version.lpszFilterDesc, "sentry Filter");
  EXPECT_EQ(version.dwFlags, 0x00042003u);

  EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_HANDLED_NOTIFICATION));
  EXPECT_EQ(outcome.user, "web");
  EXPECT_EQ(outcome.password, "pw");
}

TEST_F(SentryLibraryTest, LastErrorReachesTheServer) {
  HTTP_FILTER_VERSION version{};
  TestRequest request;
  request.user = "john";
  request.variables.erase("SERVER_NAME");
  const TestOutcome outcome = loadAndSend(request, &version);
  EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_ERROR));
  EXPECT_EQ(outcome.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SentryLibraryTest, InertWithoutSettings) {
  settings_.clear();
  HTTP_FILTER_VERSION version{};
  TestRequest request;
  request.user = "john";
  request.password = "secret";
  const TestOutcome outcome = loadAndSend(request, &version);
  EXPECT_EQ(version.dwFlags, 0x00042003u);  // the server is not told
  EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
  EXPECT_EQ(outcome.user, "john");
}

}  // namespace
}  // namespace gatekeeper
