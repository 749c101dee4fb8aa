#include "filter/event_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "configstore/config_file.h"
#include "filter/backup_name.h"
#include "platform/files.h"
#include "filter/test_server.h"
#include "platform/scratch_directory.h"

namespace gatekeeper {
namespace {

TEST(EventDestinationTest, AnswersAsTheDatabaseWasRead) {
  ConfigSection database;
  ConfigSection* main = database.getOrCreateSection(accountdb::kMain);
  main->getOrCreateSection(accountdb::kDontLog)
      ->getOrCreateValue(accountdb::kEvent)
      ->addIntItem("7", 1);
  // No log path: nothing is written.
  EXPECT_EQ(EventDestination(&database).pathFor(accountdb::kEventAuthenticated), nullptr);
  main->getOrCreateValue(accountdb::kLog)->setString("/var/log/gk.log");
  const EventDestination destination(&database);
  for (int32_t id = 0; id <= 16; ++id) {
    SCOPED_TRACE(id);
    const char* expected = eventLogPath(&database, id);
    const char* found = destination.pathFor(id);
    EXPECT_EQ(found == nullptr, expected == nullptr);
    if (found != nullptr && expected != nullptr) {
      EXPECT_STREQ(found, expected);
    }
  }
  EXPECT_EQ(destination.pathFor(7), nullptr);
  EXPECT_EQ(EventDestination(nullptr).pathFor(1), nullptr);
  EXPECT_EQ(EventDestination().pathFor(1), nullptr);
}

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
