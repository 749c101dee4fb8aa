#include "filter/auth_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "filter/backup_name.h"
#include "filter/test_server.h"
#include "passhash/pbkdf2_sha256_form.h"
#include "settings/test_settings.h"
#include "platform/files.h"
#include "platform/scratch_directory.h"
#include "platform/system_error.h"

namespace gatekeeper {
namespace {

// A database that binds site "intranet" to authority Staff, where john (password "secret") is
// mapped to an account named after the version, with the version as its password. mary has the
// same password and mapping but is disabled, by the last item of her section. john's Password
// may be given another text (a hash).
std::string databaseVersion(int version, const std::string& logPath,
                            const std::string& johnPassword = "secret") {
  const std::string account = "acct" + std::to_string(version);
  return "{ MAIN:\n    (string)log=" + logPath +
         "\n    { SERVERS:\n        (string)intranet=Staff\n    } SERVERS;\n} MAIN;\n"
         "{ NTACCOUNTS:\n    { " + account + ":\n        (string)Password=pw" +
         std::to_string(version) + "\n    } " + account + ";\n} NTACCOUNTS;\n"
         "{ ACCOUNTS:\n    { Staff:\n        { john:\n            (string)Password=" +
         johnPassword + "\n"
         "            (string)MapTo=" + account + "\n        } john;\n"
         "        { mary:\n            (string)Password=secret\n"
         "            (string)MapTo=" + account + "\n            (int)disabled=1\n"
         "        } mary;\n    } Staff;\n} ACCOUNTS;\n";
}

// A new pbkdf2-sha256 hash of password (a fresh salt each time), of few rounds: quick to
// verify, and verified on every platform. Empty when the system gives no random bytes.
std::string pbkdf2Hash(std::string_view password) {
  return passhash::newPbkdf2Sha256(password, 10).value_or("");
}

// A clock that moves only when the test moves it.
class TestClock {
 public:
  AuthFilter::Clock clock() {
    return [this] { return now_.load(); };
  }
  void advanceMilliseconds(int milliseconds) {
    now_ += platform::kTicksPerSecond / 1000 * milliseconds;
  }

 private:
  std::atomic<platform::FileTime> now_{platform::utcMidnight(2024, 1, 1)};
};

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
  void writeDatabase(int version, const std::string& johnPassword = "secret") {
    ASSERT_TRUE(platform::replaceFile(databasePath_,
                                      databaseVersion(version, logPath_, johnPassword)));
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

  // Sends a request and waits for the reload it may have started to end.
  TestOutcome sendAndSettle(AuthFilter& filter, const std::string& user = "john") {
    const TestOutcome outcome = send(filter, user);
    filter.waitForReload();
    return outcome;
  }

  // A save that is not atomic, as some tools and platforms make it: the old file is moved away
  // before the new one is put in place, so for a moment there is no file at all.
  void writeDatabaseLeavingAGap(int version) {
    std::error_code ignored;
    std::filesystem::rename(databasePath_, databasePath_ + ".old" + std::to_string(version),
                            ignored);
    writeDatabase(version);
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
  TestClock clock_;
  std::string databasePath_ = scratch_.file("db.cfg");
  std::string logPath_ = scratch_.file("events.log");
};

// Diagnostics the filter gives its host, one "E|W|N: message" string each.
class HostLog {
 public:
  DiagnosticSink sink() {
    return [this](Severity severity, const std::string& message) {
      std::lock_guard<std::mutex> lock(mutex_);
      const char* level = severity == Severity::kError     ? "E: "
                          : severity == Severity::kWarning ? "W: "
                                                           : "N: ";
      lines_.push_back(level + message);
    };
  }
  // The lines written since the last call.
  std::vector<std::string> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(lines_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Without a database in force, a fresh installation (no key, no value) passes every request
// through; a named database that cannot be loaded refuses every request that carries
// credentials with 503 and says why in the host's log, once per load attempt (at most one a
// second), not per request. Requests without credentials pass either way; nothing is logged
// as an event (the event log's path is in the database).
TEST_F(AuthFilterTest, WithoutADatabaseOnlyAFreshInstallationPasses) {
  const std::string whole = databaseVersion(1, logPath_);
  const struct {
    const char* name;
    std::function<void()> spoil;
    const char* reason;  // nullptr: requests pass; "": the system's reason for the file
  } cases[] = {
      {"no settings key", [&] { settings_.removeKey(); }, nullptr},
      {"no Configuration File value", [&] { settings_.remove("Configuration File"); }, nullptr},
      {"missing file",
       [&] { ASSERT_TRUE(settings_.store("Configuration File", scratch_.file("missing.cfg"))); },
       ""},
      {"unreadable",
       [&] {
         std::filesystem::remove(databasePath_);
         std::filesystem::create_directory(databasePath_);
       },
       ""},
      {"empty", [&] { platform::writeWholeFile(databasePath_, ""); },
       "cannot be loaded: holds no sections"},
      {"cut short",
       [&] { platform::writeWholeFile(databasePath_, whole.substr(0, whole.rfind("} Staff;"))); },
       "cannot be loaded: ends inside an open section"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(databasePath_);
    ASSERT_TRUE(settings_.store("Configuration File", databasePath_));
    writeDatabase(1);
    c.spoil();
    const std::string file =
        c.name == std::string("missing file") ? scratch_.file("missing.cfg") : databasePath_;
    const std::string reason =
        c.reason == nullptr || *c.reason != '\0'
            ? std::string(c.reason != nullptr ? c.reason : "")
            : "cannot be loaded: " + platform::readProblem(file);
    AuthFilter filter(clock_.clock());
    HostLog log;
    filter.setHost({}, log.sink());  // the failure at start reaches the host once it attaches
    EXPECT_FALSE(filter.loaded());
    EXPECT_EQ(filter.refusing(), c.reason != nullptr);

    const TestOutcome anonymous = send(filter, "", "");
    EXPECT_EQ(anonymous.status, static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    EXPECT_TRUE(anonymous.responseStatuses.empty());
    for (int attempt = 0; attempt < 2; ++attempt) {
      for (int request = 0; request < 3; ++request) {
        const TestOutcome outcome = sendAndSettle(filter);
        EXPECT_EQ(outcome.user, "john");
        if (c.reason == nullptr) {
          EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
          EXPECT_TRUE(outcome.responseStatuses.empty());
        } else {
          EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_ERROR));
          EXPECT_EQ(outcome.responseStatuses, std::vector<std::string>{"503 Service Unavailable"});
        }
      }
      const std::vector<std::string> lines = log.take();
      if (c.reason == nullptr) {
        EXPECT_TRUE(lines.empty()) << lines.front();
      } else {
        ASSERT_EQ(lines.size(), 1u);  // the attempt at start, then the retry a second later
        EXPECT_EQ(lines[0].rfind("E: the account database ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(reason), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(file), std::string::npos)
            << lines[0];
      }
      clock_.advanceMilliseconds(1000);
    }
    EXPECT_FALSE(std::filesystem::exists(logPath_));
  }
}

// A filter refusing for a database it cannot load decides again once the file is repaired,
// and says so.
TEST_F(AuthFilterTest, RepairedDatabaseEndsTheRefusals) {
  platform::writeWholeFile(databasePath_, "");
  AuthFilter filter(clock_.clock());
  HostLog log;
  filter.setHost({}, log.sink());
  EXPECT_EQ(sendAndSettle(filter).status, static_cast<DWORD>(SF_STATUS_REQ_ERROR));
  writeDatabase(4);
  clock_.advanceMilliseconds(1000);
  sendAndSettle(filter);  // starts the load that is due
  EXPECT_FALSE(filter.refusing());
  EXPECT_EQ(send(filter).user, "acct4");
  const std::vector<std::string> lines = log.take();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "N: the account database " + databasePath_ + " is loaded and in force");
}

// Each site the host names that no binding covers gets one warning naming the binding it
// needs: when the host names its sites, and again at every load.
TEST_F(AuthFilterTest, WarnsAboutSitesWithoutABinding) {
  AuthFilter filter(clock_.clock());
  HostLog log;
  filter.setHost({{"intranet", "80"}, {"intranet", "8080"}, {"www.example.test", "80"}},
                 log.sink());
  const std::vector<std::string> expected = {
      "W: no binding covers the site intranet:8080 in the account database " + databasePath_ +
          " (it needs the binding \"intranet|8080\"): the filter leaves its requests to the "
          "server's own authentication",
      "W: no binding covers the site www.example.test:80 in the account database " +
          databasePath_ +
          " (it needs the binding \"www.example.test\"): the filter leaves its requests to the "
          "server's own authentication"};
  EXPECT_EQ(log.take(), expected);
  sendAndSettle(filter);
  EXPECT_TRUE(log.take().empty());  // nothing loaded, nothing said
  writeDatabase(2);
  sendAndSettle(filter);
  EXPECT_EQ(log.take(), expected);

  // Gone from the host: nothing more reaches its log.
  filter.detachHost();
  writeDatabase(3);
  sendAndSettle(filter);
  EXPECT_EQ(send(filter).user, "acct3");
  EXPECT_TRUE(log.take().empty());
}

// A failed reload that leaves earlier content in force is reported once for each file version
// and reason, not at every retry; the load that ends it is reported too.
TEST_F(AuthFilterTest, FailedReloadWithContentInForceIsReportedOnce) {
  AuthFilter filter(clock_.clock());
  HostLog log;
  filter.setHost({{"intranet", "80"}}, log.sink());
  platform::writeWholeFile(databasePath_, "");
  EXPECT_EQ(sendAndSettle(filter).user, "acct1");
  clock_.advanceMilliseconds(1000);
  EXPECT_EQ(sendAndSettle(filter).user, "acct1");
  EXPECT_EQ(log.take(), std::vector<std::string>{
                            "W: the account database " + databasePath_ +
                            " cannot be loaded: holds no sections; the content loaded before "
                            "stays in force"});
  writeDatabase(5);
  sendAndSettle(filter);
  EXPECT_EQ(send(filter).user, "acct5");
  EXPECT_EQ(log.take(), std::vector<std::string>{"N: the account database " + databasePath_ +
                                                 " is loaded and in force"});
}

// A process that serves no requests (Apache's parent) follows the file through refresh(): the
// new content is in force there, for the processes it starts later, and it writes neither a
// backup nor a diagnostic (its serving processes write those).
TEST_F(AuthFilterTest, AnIdleProcessFollowsTheFileQuietly) {
  AuthFilter filter(clock_.clock());
  HostLog log;
  filter.setHost({{"intranet", "80"}}, log.sink());
  log.take();
  writeDatabase(2);
  filter.refresh();
  EXPECT_FALSE(filter.reloading());
  EXPECT_EQ(send(filter).user, "acct2");  // no reload of its own: the version is in force
  EXPECT_FALSE(filter.reloading());
  platform::writeWholeFile(databasePath_, "");  // a file that cannot be used
  filter.refresh();
  EXPECT_EQ(send(filter).user, "acct2");
  EXPECT_TRUE(backups().empty());
  EXPECT_TRUE(log.take().empty());
}

// A logon verified against a hashed password is remembered until new content is put in force:
// after a reload the old password is refused where the file gives a new hash, and even an
// unchanged hash is verified again.
TEST_F(AuthFilterTest, VerifiedLogonsLastUntilTheNextReload) {
  writeDatabase(1, pbkdf2Hash("first"));
  AuthFilter filter(clock_.clock());
  const VerifiedLogons& logons = filter.verifiedLogons();
  ASSERT_TRUE(logons.enabled());
  EXPECT_EQ(send(filter, "john", "first").user, "acct1");
  EXPECT_EQ(send(filter, "john", "first").user, "acct1");
  EXPECT_EQ(logons.hits(), 1u);
  EXPECT_EQ(logons.size(), 1u);
  const TestOutcome wrong = send(filter, "john", "second");
  EXPECT_EQ(wrong.status, static_cast<DWORD>(SF_STATUS_REQ_ERROR));
  EXPECT_EQ(wrong.responseStatuses, std::vector<std::string>{"401 Access Denied"});

  const std::string second = pbkdf2Hash("second");
  writeDatabase(2, second);
  const TestOutcome old = send(filter, "john", "first");  // reloads, then decides
  filter.waitForReload();
  EXPECT_EQ(old.status, static_cast<DWORD>(SF_STATUS_REQ_ERROR));
  EXPECT_EQ(old.user, "john");
  EXPECT_EQ(logons.size(), 0u);
  EXPECT_EQ(send(filter, "john", "second").user, "acct2");
  EXPECT_EQ(send(filter, "john", "second").user, "acct2");
  EXPECT_EQ(logons.hits(), 2u);

  writeDatabase(3, second);
  send(filter, "john", "");  // reloads
  filter.waitForReload();
  EXPECT_EQ(logons.size(), 0u);
  EXPECT_EQ(send(filter, "john", "second").user, "acct3");
  EXPECT_EQ(logons.hits(), 2u);  // verified again
  EXPECT_EQ(logons.size(), 1u);
}

TEST_F(AuthFilterTest, DecidesOnTheLoadedDatabase) {
  AuthFilter filter(clock_.clock());
  ASSERT_TRUE(filter.loaded());
  const TestOutcome outcome = send(filter);
  EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_HANDLED_NOTIFICATION));
  EXPECT_EQ(outcome.user, "acct1");
  EXPECT_EQ(outcome.password, "pw1");
  EXPECT_EQ(filter.readerCount(), 0);
  EXPECT_TRUE(backups().empty());
}

// A small file: the request that notices the change reads it and decides on the new content.
// A file above the inline limit: that request decides on the content in force and the reload
// runs beside it. Either way the old content ends in the backup directory, written after the
// swap.
TEST_F(AuthFilterTest, ChangedFileIsInForceAfterTheReload) {
  for (const bool small : {true, false}) {
    SCOPED_TRACE(small ? "small file" : "large file");
    writeDatabase(1);
    std::filesystem::remove_all(scratch_.file("backups"));
    std::filesystem::create_directories(scratch_.file("backups"));
    AuthFilter filter(clock_.clock(), small ? AuthFilter::kInlineLoadLimit : 0);
    writeDatabase(2);
    const std::string before = backupFileName("", platform::utcNow()).substr(1);
    EXPECT_EQ(send(filter).user, small ? "acct2" : "acct1");
    filter.waitForReload();
    const std::string after = backupFileName("", platform::utcNow()).substr(1);
    EXPECT_EQ(send(filter).user, "acct2");

    // One backup, holding the state in force before the change, named by the UTC time (the
    // test runs in a zone far from UTC, so local time would give another name).
    const std::vector<std::string> names = backups();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0] == before || names[0] == after) << names[0] << " " << before;
    const std::string backup = platform::readWholeFile(scratch_.file("backups/" + names[0]));
    EXPECT_NE(backup.find("acct1"), std::string::npos);
    EXPECT_EQ(backup.find("acct2"), std::string::npos);

    // No further change, no further reload.
    sendAndSettle(filter);
    EXPECT_EQ(backups().size(), 1u);
    EXPECT_FALSE(filter.reloadIfChanged());
    EXPECT_FALSE(filter.reloading());
  }
}

// The reload runs beside the decisions: while one decision is held in progress on the old
// content, the new content is already in force for the others, and the reload ends (backup,
// old content freed) only after the held decision has.
TEST_F(AuthFilterTest, ReloadSwapsWhileADecisionIsInProgress) {
  AuthFilter filter(clock_.clock(), 0);  // every file is read beside the decisions
  std::mutex gate;
  std::unique_lock<std::mutex> held(gate);
  std::atomic<bool> inside{false};
  TestRequest slow;
  slow.user = "john";
  slow.password = "secret";
  slow.onServerVariable = [&](const char* name) {
    if (std::string(name) != "SERVER_NAME" || inside.exchange(true)) return;
    std::lock_guard<std::mutex> wait(gate);
  };
  TestOutcome slowOutcome;
  std::thread holder([&] {
    slowOutcome = sendAuthentication(
        [&filter](HTTP_FILTER_CONTEXT* pfc, DWORD, void* data) {
          return filter.handleAuthentication(pfc, static_cast<HTTP_FILTER_AUTHENT*>(data));
        },
        slow);
  });
  while (!inside.load()) std::this_thread::yield();

  writeDatabase(2);
  EXPECT_EQ(send(filter).user, "acct1");  // notices the change, decides on what is in force
  std::string user;
  for (int i = 0; i < 100000 && (user = send(filter).user) != "acct2"; ++i) {
    std::this_thread::yield();
  }
  EXPECT_EQ(user, "acct2");  // in force although a decision still holds the old content
  EXPECT_TRUE(filter.reloading());
  EXPECT_TRUE(backups().empty());
  EXPECT_GE(filter.readerCount(), 1);

  held.unlock();
  holder.join();
  filter.waitForReload();
  EXPECT_EQ(slowOutcome.user, "acct1");  // the held decision saw one whole version
  EXPECT_EQ(backups().size(), 1u);
  EXPECT_EQ(filter.readerCount(), 0);
}

// A file that cannot be examined any more (deleted, or on a share whose file server went away)
// leaves the content in force, which is said once, as is its return; a file that comes back
// changed is then loaded.
TEST_F(AuthFilterTest, DeletedFileKeepsTheLastContent) {
  AuthFilter filter(clock_.clock());
  HostLog log;
  filter.setHost({{"intranet", "80"}}, log.sink());
  log.take();
  const std::string moved = databasePath_ + ".away";
  std::filesystem::rename(databasePath_, moved);
  EXPECT_EQ(sendAndSettle(filter).user, "acct1");
  EXPECT_FALSE(filter.reloadIfChanged());
  clock_.advanceMilliseconds(5000);
  EXPECT_EQ(send(filter).user, "acct1");
  EXPECT_TRUE(backups().empty());
  EXPECT_EQ(log.take(), std::vector<std::string>{
                            "W: the account database " + databasePath_ + " cannot be examined: " +
                            platform::readProblem(databasePath_) +
                            "; the content loaded before stays in force until it can be"});

  std::filesystem::rename(moved, databasePath_);  // the same file back
  EXPECT_EQ(sendAndSettle(filter).user, "acct1");
  EXPECT_EQ(send(filter).user, "acct1");
  EXPECT_EQ(log.take(), std::vector<std::string>{"N: the account database " + databasePath_ +
                                                 " can be examined again; changes to it are "
                                                 "followed"});
  std::filesystem::remove(databasePath_);
  sendAndSettle(filter);
  writeDatabase(2);
  sendAndSettle(filter);
  EXPECT_EQ(send(filter).user, "acct2");
  EXPECT_EQ(log.take().size(), 2u);
}

TEST_F(AuthFilterTest, ReloadWithoutBackupDirectoryStillReloads) {
  settings_.remove("Backup directory");
  AuthFilter filter(clock_.clock());
  writeDatabase(3);
  sendAndSettle(filter);
  EXPECT_EQ(send(filter).user, "acct3");
  EXPECT_TRUE(backups().empty());
}

// A filter without a database passes requests through and tries to load at most once a second.
TEST_F(AuthFilterTest, FilterWithoutADatabaseTriesToLoadOnceASecond) {
  for (bool removeFile : {false, true}) {
    const std::string path = scratch_.file(removeFile ? "later.cfg" : "db.cfg");
    if (removeFile) {
      ASSERT_TRUE(settings_.store("Configuration File", path));
    } else {
      settings_.clear();
    }
    AuthFilter filter(clock_.clock());
    ASSERT_FALSE(filter.loaded());
    // The database appears, but the next try is not due yet.
    ASSERT_TRUE(settings_.store("Configuration File", path));
    ASSERT_TRUE(settings_.store("Backup directory", scratch_.file("backups")));
    ASSERT_TRUE(platform::replaceFile(path, databaseVersion(5, logPath_)));
    clock_.advanceMilliseconds(999);
    EXPECT_EQ(send(filter).user, "john");
    EXPECT_FALSE(filter.loaded());
    // The request that finds the try due starts the load and passes through; once loaded, the
    // database decides.
    clock_.advanceMilliseconds(1);
    EXPECT_EQ(sendAndSettle(filter).user, "john");
    const TestOutcome outcome = send(filter);
    EXPECT_EQ(outcome.status, static_cast<DWORD>(SF_STATUS_REQ_HANDLED_NOTIFICATION));
    EXPECT_EQ(outcome.user, "acct5");
    EXPECT_TRUE(filter.loaded());
    EXPECT_TRUE(backups().empty());  // nothing was in force to back up
  }
}

// A reload that cannot use what it finds keeps the content in force, writes no backup, and
// tries again when the file changes or a second later; a good save then takes over.
TEST_F(AuthFilterTest, UnusableReloadKeepsTheContentInForce) {
  const std::string whole = databaseVersion(2, logPath_);
  struct Case {
    const char* name;
    std::function<void()> spoil;
    std::function<void()> recover;
    std::string recoveredUser;
    bool recoversWithoutAChange;  // only the once-a-second retry can notice the recovery
  };
  const Case cases[] = {
      {"unreadable",
       [&] {
         std::filesystem::remove(databasePath_);
         std::filesystem::create_directory(databasePath_);
       },
       [&] {
         std::filesystem::remove(databasePath_);
         writeDatabase(2);
       },
       "acct2", false},
      {"empty", [&] { platform::writeWholeFile(databasePath_, ""); },
       [&] { writeDatabase(2); }, "acct2", false},
      // Cut before mary's disabled flag: taken as it stands, it would let her in.
      {"cut inside a section",
       [&] { platform::writeWholeFile(databasePath_, whole.substr(0, whole.rfind("(int)"))); },
       [&] { writeDatabase(2); }, "acct2", false},
      {"named file missing",
       [&] {
         ASSERT_TRUE(settings_.store("Configuration File", scratch_.file("elsewhere.cfg")));
         writeDatabase(3);  // the change is noticed on the file loaded last
       },
       [&] {
         ASSERT_TRUE(platform::replaceFile(scratch_.file("elsewhere.cfg"),
                                           databaseVersion(7, logPath_)));
       },
       "acct7", true},
  };
  for (const auto& [c, small] : {std::pair(&cases[0], true), std::pair(&cases[1], true),
                                  std::pair(&cases[2], true), std::pair(&cases[3], true),
                                  std::pair(&cases[0], false), std::pair(&cases[1], false),
                                  std::pair(&cases[2], false), std::pair(&cases[3], false)}) {
    SCOPED_TRACE(std::string(c->name) + (small ? ", small file" : ", large file"));
    std::filesystem::remove(scratch_.file("elsewhere.cfg"));
    writeDatabase(1);
    ASSERT_TRUE(settings_.store("Configuration File", databasePath_));
    std::filesystem::remove_all(scratch_.file("backups"));
    std::filesystem::create_directories(scratch_.file("backups"));
    AuthFilter filter(clock_.clock(), small ? AuthFilter::kInlineLoadLimit : 0);
    ASSERT_EQ(send(filter).user, "acct1");

    c->spoil();
    EXPECT_EQ(sendAndSettle(filter).user, "acct1");
    EXPECT_EQ(sendAndSettle(filter, "mary").status, static_cast<DWORD>(SF_STATUS_REQ_ERROR));
    EXPECT_TRUE(filter.loaded());
    clock_.advanceMilliseconds(1000);  // the retry finds the file no better
    EXPECT_EQ(sendAndSettle(filter).user, "acct1");
    EXPECT_TRUE(backups().empty());

    c->recover();
    if (c->recoversWithoutAChange) {
      clock_.advanceMilliseconds(999);
      EXPECT_EQ(sendAndSettle(filter).user, "acct1");
      clock_.advanceMilliseconds(1);
    }
    // The request that starts the reload which recovers reads a small file itself.
    EXPECT_EQ(sendAndSettle(filter).user, small ? c->recoveredUser : "acct1");
    EXPECT_EQ(send(filter).user, c->recoveredUser);
    EXPECT_EQ(send(filter, "mary").status, static_cast<DWORD>(SF_STATUS_REQ_ERROR));
    const std::vector<std::string> names = backups();
    ASSERT_EQ(names.size(), 1u);
    const std::string backup = platform::readWholeFile(scratch_.file("backups/" + names[0]));
    EXPECT_NE(backup.find("acct1"), std::string::npos);
  }
}

// A save that lands while a reload runs is picked up by a later request, also one that leaves
// no file at all until the reload is over: the filter never ends up without its database.
TEST_F(AuthFilterTest, SaveDuringAReloadIsPickedUpAfterIt) {
  struct Case {
    const char* name;
    std::function<void()> duringReload;
    std::function<void()> afterReload;
  };
  const Case cases[] = {
      {"atomic save", [&] { writeDatabase(3); }, [] {}},
      {"save leaving a gap",
       [&] {
         std::filesystem::rename(databasePath_, databasePath_ + ".old");
       },
       [&] { writeDatabase(3); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeDatabase(1);
    AuthFilter filter(clock_.clock());
    writeDatabase(2);
    // The reload reads version 2 while the save below lands, before, during or after the
    // read.
    std::atomic<bool> reloaded{false};
    std::thread reloader([&] {
      filter.reloadIfChanged();
      reloaded = true;
    });
    // A quick reload may be over before this thread looks: the save then lands after it.
    while (!filter.reloading() && !reloaded) std::this_thread::yield();
    c.duringReload();
    reloader.join();
    // The reload read version 2 or 3, or found no file and kept version 1 in force (even an
    // atomic save leaves such a moment where the platform's replacement is not atomic, as
    // under Wine); it never passes the request through.
    const std::string reloadedUser = send(filter).user;
    filter.waitForReload();
    const std::vector<std::string> wholeVersions = {"acct1", "acct2", "acct3"};
    EXPECT_NE(std::find(wholeVersions.begin(), wholeVersions.end(), reloadedUser),
              wholeVersions.end())
        << reloadedUser;
    c.afterReload();
    clock_.advanceMilliseconds(1000);
    sendAndSettle(filter);
    EXPECT_EQ(send(filter).user, "acct3");
    EXPECT_TRUE(filter.loaded());
  }
}

TEST_F(AuthFilterTest, ReloadFollowsANewDatabasePath) {
  AuthFilter filter(clock_.clock());
  const std::string other = scratch_.file("other.cfg");
  platform::writeWholeFile(other, databaseVersion(7, logPath_));
  ASSERT_TRUE(settings_.store("Configuration File", other));
  writeDatabase(2);
  sendAndSettle(filter);
  EXPECT_EQ(send(filter).user, "acct7");
}

// Many threads decide while another keeps replacing the file, every other time leaving a moment
// without any file: every decision sees one whole version (account and password of the same
// version), none passes through, nothing tears or crashes, and the last save ends in force.
TEST_F(AuthFilterTest, ConcurrentDecisionsDuringReloads) {
  for (const bool small : {true, false}) {
    SCOPED_TRACE(small ? "small file" : "large file");
    writeDatabase(1);
    settings_.remove("Backup directory");
    AuthFilter filter(clock_.clock(), small ? AuthFilter::kInlineLoadLimit : 0);
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
      if (version % 2 == 1) {
        writeDatabaseLeavingAGap(version);
      } else {
        writeDatabase(version);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stop = true;
    for (std::thread& thread : deciders) thread.join();

    EXPECT_EQ(inconsistent.load(), 0);
    EXPECT_GT(decisions.load(), 0);
    EXPECT_EQ(filter.readerCount(), 0);
    EXPECT_TRUE(filter.loaded());
    filter.waitForReload();
    clock_.advanceMilliseconds(1000);  // whatever try failed last is due again
    sendAndSettle(filter);
    EXPECT_EQ(send(filter).user, "acct40");
  }
}

// Requests arriving together after one change: each decides on one whole version, one reload
// runs, one backup is written.
TEST_F(AuthFilterTest, SimultaneousRequestsAfterAChangeReloadOnce) {
  AuthFilter filter(clock_.clock());
  writeDatabase(2);
  std::vector<std::string> users(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < users.size(); ++i) {
    threads.emplace_back([&, i] { users[i] = send(filter).user; });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& user : users) EXPECT_TRUE(user == "acct1" || user == "acct2") << user;
  filter.waitForReload();
  EXPECT_EQ(send(filter).user, "acct2");
  EXPECT_EQ(backups().size(), 1u);
}

// The filter keeps its event log open: lines from many decisions land whole, and a log moved
// away (rotated) is followed to the new file at its path.
TEST_F(AuthFilterTest, EventLogKeptOpenFollowsRotation) {
  AuthFilter filter(clock_.clock());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) send(filter);
    });
  }
  for (std::thread& thread : threads) thread.join();
  const auto lines = [](const std::string& path) {
    std::istringstream in(platform::readWholeFile(path));
    int count = 0;
    for (std::string line; std::getline(in, line); ++count) {
      EXPECT_EQ(line.rfind("0, ", 0), 0u) << line;
    }
    return count;
  };
  EXPECT_EQ(lines(logPath_), 200);

  std::filesystem::rename(logPath_, logPath_ + ".1");
  // Within a second a new file is opened at the path; no line is lost meanwhile.
  int sent = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!std::filesystem::exists(logPath_) && std::chrono::steady_clock::now() < deadline) {
    send(filter);
    ++sent;
  }
  send(filter);
  EXPECT_EQ(lines(logPath_ + ".1") + lines(logPath_), 200 + sent + 1);
  EXPECT_GE(lines(logPath_), 1);
}

}  // namespace
}  // namespace gatekeeper
