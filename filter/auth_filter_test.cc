#include "filter/auth_filter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "filter/backup_name.h"
#include "filter/test_server.h"
#include "websupport/test_settings.h"
#include "platform/files.h"
#include "platform/scratch_directory.h"

namespace gatekeeper {
namespace {

// A database that binds site "intranet" to authority Staff, where john (password "secret") is
// mapped to an account named after the version, with the version as its password.
std::string databaseVersion(int version, const std::string& logPath) {
  const std::string account = "acct" + std::to_string(version);
  return "{ MAIN:\n    (string)log=" + logPath +
         "\n    { SERVERS:\n        (string)intranet=Staff\n    } SERVERS;\n} MAIN;\n"
         "{ ACCOUNTS:\n    { Staff:\n        { john:\n            (string)Password=secret\n"
         "            (string)MapTo=" + account + "\n        } john;\n    } Staff;\n} ACCOUNTS;\n"
         "{ NTACCOUNTS:\n    { " + account + ":\n        (string)Password=pw" +
         std::to_string(version) + "\n    } " + account + ";\n} NTACCOUNTS;\n";
}

class AuthFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(scratch_.file("backups"));
    writeDatabase(1);
    ASSERT_TRUE(settings_.store("Configuration File", databasePath_));
    ASSERT_TRUE(settings_.store("Backup directory", scratch_.file("backups")));
  }

  // Saves a version the way the CGI programs do (a new file replaces the old one), with no
  // pause: two saves within one tick of the file system's clock must still be told apart.
  void writeDatabase(int version) {
    ASSERT_TRUE(platform::replaceFile(databasePath_, databaseVersion(version, logPath_)));
  }

  TestOutcome send(AuthFilter& filter, const std::string& user = "john",
                   const std::string& password = "secret") {
    TestRequest request;
    request.user = user;
    request.password = password;
    return sendAuthentication(
        [&filter](HTTP_FILTER_CONTEXT* pfc, DWORD, void* data) {
          return filter.handleAuthentication(pfc, static_cast<HTTP_FILTER_AUTHENT*>(data));
        },
        request);
  }

  std::vector<std::string> backups() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_.file("backups"))) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  platform::ScratchDirectory scratch_;
  TestSettings settings_;
  std::string databasePath_ = scratch_.file("db.cfg");
  std::string logPath_ = scratch_.file("events.log");
};

TEST_F(AuthFilterTest, InertWithoutSettingsOrFile) {
  for (bool removeFile : {false, true}) {
    if (removeFile) {
      ASSERT_TRUE(settings_.store("Configuration File", scratch_.file("missing.cfg")));
    } else {
      settings_.clear();
    }
    AuthFilter filter;
    EXPECT_FALSE(filter.loaded());
    const TestOutcome outcome = send(filter);
    EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    EXPECT_EQ(outcome.user, "john");
    EXPECT_FALSE(std::filesystem::exists(logPath_));
  }
}

TEST_F(AuthFilterTest, DecidesOnTheLoadedDatabase) {
  AuthFilter filter;
  ASSERT_TRUE(filter.loaded());
  const TestOutcome outcome = send(filter);
  EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_HANDLED_NOTIFICATION));
  EXPECT_EQ(outcome.user, "acct1");
  EXPECT_EQ(outcome.password, "pw1");
  EXPECT_EQ(filter.readerCount(), 0);
  EXPECT_TRUE(backups().empty());
}

TEST_F(AuthFilterTest, ChangedFileIsUsedByTheRequestThatNoticesIt) {
  AuthFilter filter;
  writeDatabase(2);
  const std::string before = backupFileName("", platform::utcNow()).substr(1);
  const TestOutcome outcome = send(filter);
  const std::string after = backupFileName("", platform::utcNow()).substr(1);
  EXPECT_EQ(outcome.user, "acct2");

  // One backup, holding the state in force before the change, named by the UTC time (the
  // test runs in a zone far from UTC, so local time would give another name).
  const std::vector<std::string> names = backups();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_TRUE(names[0] == before || names[0] == after) << names[0] << " " << before;
  const std::string backup = platform::readWholeFile(scratch_.file("backups/" + names[0]));
  EXPECT_NE(backup.find("acct1"), std::string::npos);
  EXPECT_EQ(backup.find("acct2"), std::string::npos);

  // No further change, no further reload.
  send(filter);
  EXPECT_EQ(backups().size(), 1u);
  EXPECT_FALSE(filter.reloadIfChanged());
}

TEST_F(AuthFilterTest, DeletedFileKeepsTheLastContent) {
  AuthFilter filter;
  std::filesystem::remove(databasePath_);
  EXPECT_EQ(send(filter).user, "acct1");
  EXPECT_TRUE(backups().empty());
}

TEST_F(AuthFilterTest, ReloadWithoutBackupDirectoryStillReloads) {
  settings_.remove("Backup directory");
  AuthFilter filter;
  writeDatabase(3);
  EXPECT_EQ(send(filter).user, "acct3");
  EXPECT_TRUE(backups().empty());
}

TEST_F(AuthFilterTest, ReloadOfAMissingFileLeavesTheFilterInert) {
  AuthFilter filter;
  ASSERT_TRUE(settings_.store("Configuration File", scratch_.file("elsewhere.cfg")));
  writeDatabase(2);  // the change is noticed on the file loaded last
  const TestOutcome outcome = send(filter);
  EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
  EXPECT_EQ(outcome.user, "john");
  EXPECT_FALSE(filter.loaded());
  EXPECT_EQ(backups().size(), 1u);
  // Inert from now on, even when the first file changes again.
  writeDatabase(4);
  EXPECT_EQ(send(filter).user, "john");
}

TEST_F(AuthFilterTest, ReloadFollowsANewDatabasePath) {
  AuthFilter filter;
  const std::string other = scratch_.file("other.cfg");
  platform::writeWholeFile(other, databaseVersion(7, logPath_));
  ASSERT_TRUE(settings_.store("Configuration File", other));
  writeDatabase(2);
  EXPECT_EQ(send(filter).user, "acct7");
}

// Many threads decide while another keeps replacing the file: every decision sees one whole
// version (account and password of the same version), and nothing tears or crashes.
TEST_F(AuthFilterTest, ConcurrentDecisionsDuringReloads) {
  settings_.remove("Backup directory");
  AuthFilter filter;
  std::atomic<bool> stop{false};
  std::atomic<int> decisions{0};
  std::atomic<int> inconsistent{0};

  std::vector<std::thread> deciders;
  for (int t = 0; t < 4; ++t) {
    deciders.emplace_back([&] {
      while (!stop.load()) {
        const TestOutcome outcome = send(filter);
        const bool whole = outcome.status == SF_STATUS_REQ_HANDLED_NOTIFICATION &&
                           outcome.user.size() > 4 &&
                           outcome.password == "pw" + outcome.user.substr(4);
        if (!whole) ++inconsistent;
        ++decisions;
      }
    });
  }
  for (int version = 2; version <= 40; ++version) {
    writeDatabase(version);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  stop = true;
  for (std::thread& thread : deciders) thread.join();

  EXPECT_EQ(inconsistent.load(), 0);
  EXPECT_GT(decisions.load(), 0);
  EXPECT_EQ(filter.readerCount(), 0);
  EXPECT_EQ(send(filter).user, "acct40");
}

// Two requests after one change: one reloads, both decide on the new content, one backup.
TEST_F(AuthFilterTest, SimultaneousRequestsAfterAChangeReloadOnce) {
  AuthFilter filter;
  writeDatabase(2);
  std::vector<std::string> users(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < users.size(); ++i) {
    threads.emplace_back([&, i] { users[i] = send(filter).user; });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& user : users) EXPECT_EQ(user, "acct2");
  EXPECT_EQ(backups().size(), 1u);
}

}  // namespace
}  // namespace gatekeeper
