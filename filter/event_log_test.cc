#include "filter/event_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "configstore/config_file.h"
#include "filter/backup_name.h"
#include "platform/files.h"
#include "filter/test_server.h"
#include "platform/scratch_directory.h"

namespace gatekeeper {
namespace {

TEST(BackupNameTest, BlankPaddedUtcFieldsAfterTheSeparator) {
  platform::CalendarTime utc;
  utc.year = 2001;
  utc.month = 3;
  utc.day = 7;
  utc.hour = 9;
  utc.minute = 5;
  utc.second = 3;
  EXPECT_EQ(backupFileName("backups", utc),
            std::string("backups") + platform::kPathSeparator + "Portcullis-2001. 3. 7- 9. 5. 3.cfg");
  utc.month = 12;
  utc.day = 31;
  utc.hour = 23;
  utc.minute = 59;
  utc.second = 58;
  // An empty directory puts the backup at the root of the current drive.
  EXPECT_EQ(backupFileName("", utc),
            std::string(1, platform::kPathSeparator) + "Portcullis-2001.12.31-23.59.58.cfg");
}

TEST(EventLogTest, LineShape) {
  EXPECT_EQ(formatEventLine(0, "3:45 PM,  3/ 7/2001", "OK Authenticated (UserName UserDB)", "john",
                            "Staff", "/private/index.htm", "intranet"),
            "0, 3:45 PM,  3/ 7/2001, OK Authenticated (UserName UserDB), john, Staff, "
            "/private/index.htm, intranet");
  EXPECT_EQ(formatEventLine(2, "t, d", "Filter disabled", nullptr, nullptr, "", ""),
            "2, t, d, Filter disabled, , , , ");
}

// The fields that the request chooses cannot add a field or a line: a comma, a control
// character and the percent sign are written as %XX, everything else as it is.
TEST(EventLogTest, RequestFieldsEncodeCommasControlsAndPercent) {
  struct Case {
    std::string sent;
    const char* written;
  };
  const Case cases[] = {
      {"john", "john"},
      {"a, b, c, d", "a%2C b%2C c%2C d"},
      {"50%", "50%25"},
      {"%2C", "%252C"},
      {"x\r\ny", "x%0D%0Ay"},
      {"\x01\t\x1f\x7f ~", "%01%09%1F%7F ~"},
      {"J\xc3\xbcrgen;<&>\"'", "J\xc3\xbcrgen;<&>\"'"},
  };
  for (const Case& c : cases) {
    const std::string line =
        formatEventLine(0, "t, d", "OK Authenticated (UserName UserDB)", c.sent.c_str(), "Staff",
                        c.sent, c.sent);
    const std::string w = c.written;
    EXPECT_EQ(line, "0, t, d, OK Authenticated (UserName UserDB), " + w + ", Staff, " + w +
                        ", " + w)
        << c.sent;
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 7) << line;
  }
}

// Parameter 1 is encoded where the request chose it (the user name as sent, the binding key),
// written as it is where it comes from the database; parameter 2 always comes from it.
TEST(EventLogTest, ParameterOneEncodedOnlyWhereTheRequestChoseIt) {
  const int32_t fromRequest[] = {0, 3, 4, 6, 7, 8, 12, 13, 14, 15, 16};
  const int32_t fromDatabase[] = {2, 5, 9, 10, 11};
  for (const int32_t id : fromRequest) {
    EXPECT_TRUE(formatEventLine(id, "t, d", "D", "a,b", "c,d", "", "")
                    .ends_with(", D, a%2Cb, c,d, , "))
        << id;
  }
  for (const int32_t id : fromDatabase) {
    EXPECT_TRUE(formatEventLine(id, "t, d", "D", "a,b", "c,d", "", "")
                    .ends_with(", D, a,b, c,d, , "))
        << id;
  }
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
          logEvent(pfc, database_.get(), id, "Description", "p1", "p2",
                   platform::currentFileTime(), file_);
          return static_cast<DWORD>(SF_STATUS_REQ_HANDLED_NOTIFICATION);
        },
        request);
  }

  platform::ScratchDirectory scratch_;
  std::string logPath_ = scratch_.file("events.log");
  std::unique_ptr<ConfigFile> database_;
  EventLogFile* file_ = nullptr;  // a file opened per line unless a test keeps one open
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

// The time and date of the instant given, in local time (the tests run in New York's zone).
TEST(LocalTimeAndDateTest, LocalTimeOfTheInstant) {
  const platform::FileTime hour = 3600 * platform::kTicksPerSecond;
  const platform::FileTime minute = 60 * platform::kTicksPerSecond;
  struct Case {
    platform::FileTime instant;
    const char* text;
  };
  const Case cases[] = {
      {platform::utcMidnight(2001, 3, 2) + 20 * hour + 45 * minute + 59 * platform::kTicksPerSecond,
       "3:45 PM,  3/ 2/2001"},
      {platform::utcMidnight(2001, 3, 2) + 20 * hour + 46 * minute, "3:46 PM,  3/ 2/2001"},
      {platform::utcMidnight(2001, 12, 31) + 4 * hour + 59 * minute, "11:59 PM, 12/30/2001"},
      {platform::utcMidnight(2001, 7, 4) + 4 * hour + 5 * minute, "12:05 AM,  7/ 4/2001"},
  };
  for (const Case& c : cases) {
    // Twice: the second comes from the text kept for the minute.
    EXPECT_EQ(localTimeAndDate(c.instant), c.text);
    EXPECT_EQ(localTimeAndDate(c.instant), c.text);
  }
}

// A kept-open log: a new path is opened at once; a log moved away keeps receiving lines until
// the next look, at most a second later, opens the file at the path afresh.
TEST_F(LogEventTest, KeptOpenLogFollowsPathChangesAndRotation) {
  EventLogFile file;
  const platform::FileTime t0 = platform::utcMidnight(2024, 1, 1);
  const platform::FileTime second = platform::kTicksPerSecond;
  const std::string other = scratch_.file("other.log");
  const std::string rotated = logPath_ + ".1";
  EXPECT_TRUE(file.appendLine(logPath_, "1", t0));
  EXPECT_TRUE(file.appendLine(other, "2", t0));  // another path: opened at once
  EXPECT_TRUE(file.appendLine(logPath_, "3", t0));
  std::filesystem::rename(logPath_, rotated);
  EXPECT_TRUE(file.appendLine(logPath_, "4", t0 + second / 2));  // no look due yet
  EXPECT_FALSE(std::filesystem::exists(logPath_));
  EXPECT_TRUE(file.appendLine(logPath_, "5", t0 + 2 * second));  // the look reopens
  EXPECT_TRUE(file.appendLine(logPath_, "6", t0 + 2 * second));
  const std::string eol = platform::kPathSeparator == '\\' ? "\r\n" : "\n";
  EXPECT_EQ(platform::readWholeFile(rotated), "1" + eol + "3" + eol + "4" + eol);
  EXPECT_EQ(platform::readWholeFile(other), "2" + eol);
  EXPECT_EQ(platform::readWholeFile(logPath_), "5" + eol + "6" + eol);

  // A path that cannot be opened: nothing written, tried again at the next look.
  const std::string unopenable = scratch_.file("missing") + platform::kPathSeparator + "x.log";
  EXPECT_FALSE(file.appendLine(unopenable, "7", t0 + 3 * second));
  std::filesystem::create_directory(scratch_.file("missing"));
  EXPECT_FALSE(file.appendLine(unopenable, "8", t0 + 3 * second));
  EXPECT_TRUE(file.appendLine(unopenable, "9", t0 + 5 * second));
  EXPECT_EQ(platform::readWholeFile(unopenable), "9" + eol);

  // logEvent writes through the kept-open file.
  file_ = &file;
  load("");
  logThrough(TestRequest(), 10);
  EXPECT_EQ(platform::readWholeFile(logPath_).find("10, "), ("5" + eol + "6" + eol).size());
}

TEST_F(LogEventTest, RequestVariablesAreEncoded) {
  load("");
  TestRequest request;
  request.variables["SCRIPT_NAME"] = "/a,b/100%.htm";
  request.variables["SERVER_NAME"] = "evil, x";
  logThrough(request, 7);
  const std::string log = platform::readWholeFile(logPath_);
  EXPECT_NE(log.find(", Description, p1, p2, /a%2Cb/100%25.htm, evil%2C x"), std::string::npos)
      << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), ','), 7) << log;
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
  load("");
  logThrough(TestRequest(), 10);
  ASSERT_TRUE(std::filesystem::exists(logPath_));  // the set-up does log
  std::filesystem::remove(logPath_);
  database_.reset();
  logThrough(TestRequest(), 10);
  EXPECT_FALSE(std::filesystem::exists(logPath_));

  // An empty path opens nothing, not even a file named by the empty text.
  logPath_.clear();
  load("");
  logThrough(TestRequest(), 10);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(scratch_.path())) {
    ++files;
  }
  EXPECT_EQ(files, 1u);  // db.cfg only
}

}  // namespace
}  // namespace gatekeeper
