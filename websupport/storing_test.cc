// What every storing page relies on: the lock that serializes CGI runs on one database and the
// report of a failed save.
#include <gtest/gtest.h>

#include "platform/system_error.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/scratch_directory.h"
#include "configstore/config_file.h"
#include "websupport/database_lock.h"
#include "websupport/error_log.h"
#include "websupport/lock_waiter_for_test.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {
namespace {

TEST(DatabaseLockTest, SecondRunOnTheSameDatabaseWaitsForTheFirst) {
  platform::ScratchDirectory dir;
  const std::string database = dir.file("accounts.cfg");
  auto first = std::make_unique<DatabaseLock>(database);
  ASSERT_TRUE(first->isHeld());
  EXPECT_TRUE(std::filesystem::exists(database + ".lock"));
  EXPECT_FALSE(std::filesystem::exists(database));  // the database itself is not touched

  std::atomic<bool> secondHeld{false};
  std::thread second([&] {
    DatabaseLock lock(database);
    secondHeld = lock.isHeld();
  });
  // No fixed wait: until the second run is seen blocked on the lock file, or holds the lock.
  EXPECT_FALSE(forbiddenBeforeLockWaiter(DatabaseLock::lockPath(database),
                                         [&] { return secondHeld.load(); },
                                         std::chrono::milliseconds(200)));
  first.reset();
  second.join();
  EXPECT_TRUE(secondHeld);

  // Another database has a lock of its own.
  DatabaseLock again(database);
  DatabaseLock other(dir.file("other.cfg"));
  EXPECT_TRUE(other.isHeld());
}

// A run of another host holds the database through its holder, which this host's lock file
// cannot show: the run waits, then reports it busy and names the holder.
TEST(DatabaseLockTest, AnotherHostsHolderKeepsTheDatabase) {
  platform::ScratchDirectory dir;
  const std::string database = dir.file("accounts.cfg");
  {
    DatabaseLock mine(database);
    ASSERT_TRUE(mine.isHeld());
    EXPECT_TRUE(std::filesystem::exists(DatabaseLock::holderPath(database)));
  }
  EXPECT_FALSE(std::filesystem::exists(DatabaseLock::holderPath(database)));

  const std::string holder = "host=web2.example pid=4242 since=" +
                             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                                std::chrono::system_clock::now().time_since_epoch())
                                                .count());
  std::filesystem::create_directory(DatabaseLock::holderPath(database));
  std::filesystem::create_directory(DatabaseLock::holderPath(database) + "/" + holder);
  ErrorLogCapture log;
  DatabaseLock lock(database, {std::chrono::milliseconds(200), std::chrono::seconds(120)});
  EXPECT_FALSE(lock.isHeld());
  EXPECT_TRUE(lock.isBusy());
  EXPECT_EQ(lock.holder(), holder);
  EXPECT_EQ(log.text(), "cannot lock the account database: " +
                            DatabaseLock::holderPath(database) +
                            " names a holder that kept it for the whole wait of 200 ms (" + holder +
                            "); it is broken once that process has ended (on this host) or "
                            "after 120 s\n");
}

TEST(DatabaseLockTest, NoLockFileForAMissingPath) {
  EXPECT_FALSE(DatabaseLock("").isHeld());
  platform::ScratchDirectory dir;
  EXPECT_FALSE(DatabaseLock(dir.file("no-such-dir") + "/accounts.cfg").isHeld());
}

// A failed save replaces the success line on the page and names the file and the real reason
// in the error log: the system's error where the file failed, or the format's refusal.
TEST(SaveReportTest, FailureReplacesTheSuccessLineAndIsLoggedWithItsReason) {
  platform::ScratchDirectory dir;
  const std::string saved = dir.file("accounts.cfg");
  const std::string noDirectory = dir.file("missing") + "/accounts.cfg";
  const struct {
    std::string path;
    const char* sectionName;
    const char* page;
    std::string log;
  } cases[] = {
      {saved, "MAIN", "stored\n", ""},
      {noDirectory, "MAIN",
       "Error: the configuration file could not be saved - the change was not stored !<BR>\n",
       "cannot save the account database " + noDirectory + ": " +
           platform::readProblem(noDirectory) + "\n"},
      {saved, "two\nlines",
       "Error: the configuration file could not be saved - the change was not stored !<BR>\n",
       "cannot save the account database " + saved +
           ": the configuration holds a name or text that the file format cannot carry\n"},
  };
  for (const auto& c : cases) {
    ConfigFile database(c.path.c_str(), 1);
    database.getOrCreateSection(c.sectionName);
    ResponseCapture page;
    ErrorLogCapture log;
    if (checkSaved(database)) writeLine("stored");
    EXPECT_EQ(page.text(), c.page) << c.path;
    EXPECT_EQ(log.text(), c.log);
  }
}

TEST(DatabaseLockTest, FailureIsLoggedWithTheLockFile) {
  platform::ScratchDirectory dir;
  const std::string database = dir.file("no-such-dir") + "/accounts.cfg";
  ErrorLogCapture log;
  EXPECT_FALSE(DatabaseLock(database).isHeld());
  EXPECT_EQ(log.text(), "cannot lock the account database with " + database +
                            ".lock: " + platform::readProblem(database + ".lock") + "\n");
  DatabaseLock("").isHeld();  // no path, nothing to name
  EXPECT_EQ(log.text().find('\n'), log.text().size() - 1);
}

}  // namespace
}  // namespace gatekeeper
