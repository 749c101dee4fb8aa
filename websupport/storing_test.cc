// What every storing page relies on: the lock that serializes CGI runs on one database and the
// report of a failed save.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/scratch_directory.h"
#include "websupport/database_lock.h"
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
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(secondHeld);
  first.reset();
  second.join();
  EXPECT_TRUE(secondHeld);

  // Another database has a lock of its own.
  DatabaseLock again(database);
  DatabaseLock other(dir.file("other.cfg"));
  EXPECT_TRUE(other.isHeld());
}

TEST(DatabaseLockTest, NoLockFileForAMissingPath) {
  EXPECT_FALSE(DatabaseLock("").isHeld());
  platform::ScratchDirectory dir;
  EXPECT_FALSE(DatabaseLock(dir.file("no-such-dir") + "/accounts.cfg").isHeld());
}

TEST(SaveReportTest, FailureReplacesTheSuccessLine) {
  ResponseCapture page;
  if (checkSaved(true)) writeLine("stored");
  if (checkSaved(false)) writeLine("stored");
  EXPECT_EQ(page.text(),
            "stored\n"
            "Error: the configuration file could not be saved - the change was not stored !<BR>\n");
}

}  // namespace
}  // namespace gatekeeper
