#include "filter/event_log.h"

#include <gtest/gtest.h>

#include <regex>

#include "configstore/config_file.h"
#include "filter/test_server.h"
#include "platform/scratch_directory.h"

namespace gatekeeper {
namespace {

TEST(EventLogTest, LineShape) {
  EXPECT_EQ(formatEventLine(0, "3:45 PM,  3/ 7/2001", "OK Authenticated (UserName UserDB)", "john",
                            "Staff", "/private/index.htm", "intranet"),
            "0, 3:45 PM,  3/ 7/2001, OK Authenticated (UserName UserDB), john, Staff, "
            "/private/index.htm, intranet");
  // Nothing is quoted: a comma in a user name adds a field.
  EXPECT_EQ(formatEventLine(3, "t, d", "User not found (UserName UserDB)", "a,b", "S", "", ""),
            "3, t, d, User not found (UserName UserDB), a,b, S, , ");
}

class LogEventTest : public ::testing::Test {
 protected:
  void load(const std::string& mainExtra) {
    platform::writeWholeFile(scratch_.file("db.cfg"),
                             "{ MAIN:\n(string)log=" + logPath_ + "\n" + mainExtra + "} MAIN;\n");
    database_ = std::make_unique<ConfigFile>(scratch_.file("db.cfg").c_str(), 0);
    ASSERT_EQ(database_->load(), 1);
  }
  // Logs one event through a request whose server variables the test controls.
  void logThrough(const TestRequest& request, int32_t id) {
    sendAuthentication(
        [&](HTTP_FILTER_CONTEXT* pfc, DWORD, void*) {
          logEvent(pfc, database_.get(), id, "Description", "p1", "p2");
          return static_cast<DWORD>(SF_STATUS_REQ_HANDLED_NOTIFICATION);
        },
        request);
  }

  platform::ScratchDirectory scratch_;
  std::string logPath_ = scratch_.file("events.log");
  std::unique_ptr<ConfigFile> database_;
};

TEST_F(LogEventTest, WritesTimeAndDateWithoutSecondsAndTheRequestFields) {
  load("");
  logThrough(TestRequest(), 10);
  const std::string log = platform::readWholeFile(logPath_);
  // id, time of day without seconds, blank-padded month/day/year, then the texts.
  const std::regex shape(
      "10, [0-9]{1,2}[:.][0-9]{2}[^,]*, [ 1][0-9]/[ 123][0-9]/[0-9]{4}, Description, p1, p2, "
      "/private/index.htm, intranet\r?\n");
  EXPECT_TRUE(std::regex_match(log, shape)) << log;
}

TEST_F(LogEventTest, UnreadableVariablesGiveEmptyFields) {
  load("");
  TestRequest request;
  request.variables.erase("SCRIPT_NAME");
  request.variables["SERVER_NAME"] = std::string(300, 'h');
  logThrough(request, 2);
  std::string log = platform::readWholeFile(logPath_);
  while (!log.empty() && (log.back() == '\n' || log.back() == '\r')) log.pop_back();
  EXPECT_TRUE(log.ends_with("Description, p1, p2, , ")) << log;
}

TEST_F(LogEventTest, SuppressedEventWritesNothing) {
  load("{ DONTLOG:\n(int)Event[0]=1\n(int)Event[12]=0\n(int)Event[13]=-4\n(string)Event[14]=1\n"
       "(int)Event[15]=7\n} DONTLOG;\n");
  logThrough(TestRequest(), 0);
  logThrough(TestRequest(), 12);
  const std::string log = platform::readWholeFile(logPath_);
  EXPECT_EQ(log.rfind("12, ", 0), 0u) << log;
  EXPECT_EQ(log.find("\n0, "), std::string::npos);
}

TEST_F(LogEventTest, NoLogPathOrNoDatabaseWritesNothing) {
  logPath_ = "";
  load("");
  logThrough(TestRequest(), 10);
  database_.reset();
  logThrough(TestRequest(), 10);
  EXPECT_TRUE(std::filesystem::is_empty(scratch_.path()) ||
              !std::filesystem::exists(scratch_.file("events.log")));
}

}  // namespace
}  // namespace gatekeeper
