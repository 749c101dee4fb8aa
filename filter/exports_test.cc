// The filter library loaded the way a web server loads it: by path, entry points by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "filter/test_server.h"
#include "platform/isapi_host_extension.h"
#include "settings/test_settings.h"
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

#ifdef _WIN32
TEST_F(SentryLibraryTest, WindowsLibraryExportsTheTwoEntryPointsOnly) {
  platform::SharedLibrary library(SENTRY_LIBRARY);
  ASSERT_TRUE(library.isLoaded()) << library.error();
  EXPECT_EQ(library.symbol("SetFilterSites"), nullptr);
}
#else
void WINAPI recordHostLine(void* context, DWORD severity, const char* message) {
  static_cast<std::vector<std::string>*>(context)->push_back(std::to_string(severity) + " " +
                                                             message);
}

// The host names its sites after GetFilterVersion; the filter warns about the unbound one
// through the host's log, and lets go of the log before the host unloads it.
TEST_F(SentryLibraryTest, TellsTheHostAboutSitesWithoutABinding) {
  platform::SharedLibrary library(SENTRY_LIBRARY);
  ASSERT_TRUE(library.isLoaded()) << library.error();
  auto getFilterVersion =
      reinterpret_cast<PFN_GETFILTERVERSION>(library.symbol("GetFilterVersion"));
  auto setFilterSites =
      reinterpret_cast<PFN_SETFILTERSITES>(library.symbol(SET_FILTER_SITES_EXPORT));
  ASSERT_NE(getFilterVersion, nullptr);
  ASSERT_NE(setFilterSites, nullptr);
  HTTP_FILTER_VERSION version{};
  ASSERT_TRUE(getFilterVersion(&version));

  std::vector<std::string> lines;
  const HOST_FILTER_SITE sites[] = {{"intranet", "80"}, {"intranet", "8090"}};
  EXPECT_TRUE(setFilterSites(sites, 2, recordHostLine, &lines));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("4 no binding covers the site intranet:8090 ", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find("\"intranet|8090\""), std::string::npos) << lines[0];
  EXPECT_TRUE(setFilterSites(nullptr, 0, nullptr, nullptr));
}
#endif

}  // namespace
}  // namespace gatekeeper
