// overseer run as a real CGI process: the request body arrives on standard input, the page
// leaves on standard output byte for byte, and the exit code is the setup error code.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "configstore/config_file.h"
#include "platform/scratch_directory.h"
#include "tests/cgi/program_run_test_support.h"
#include "websupport/database_lock.h"
#include "websupport/lock_waiter_for_test.h"

namespace gatekeeper {
namespace {

class OverseerRunTest : public ProgramRunTest {
 protected:
  OverseerRunTest() : ProgramRunTest(OVERSEER_PROGRAM, "/cgi/overseer") {}
};

TEST_F(OverseerRunTest, FreshStateIsSetUpFromTheSetupErrorPage) {
  const std::string database = settings_.file("accounts.cfg");
  ASSERT_TRUE(TestSettings::store("Configuration File", settings_.file("missing.cfg")));
  ProgramRun before = run("");
  EXPECT_EQ(before.exitCode, 3);
  EXPECT_NE(before.output.find("Error: 3<BR>"), std::string::npos);

  // The form of the setup error page, posted as a browser posts it.
  const std::string body = "Config=" + database + "&Backup=&B1=Submit";
  ProgramRun config = run("Action=Config", body, std::to_string(body.size()).c_str());
  EXPECT_EQ(config.exitCode, 0);
  EXPECT_NE(config.output.find("A new empty configuration file was created."), std::string::npos);
  EXPECT_EQ(TestSettings::read("Configuration File"), database);

  ProgramRun after = run("");
  EXPECT_EQ(after.exitCode, 0);
  EXPECT_NE(after.output.find("Kestrel Gatekeeper version 1.51 - Administration CGI utility"),
            std::string::npos);
}

TEST_F(OverseerRunTest, BodyShorterThanContentLengthIsReadAsSent) {
  const std::string database = settings_.file("short.cfg");
  ProgramRun config = run("Action=Config", "Config=" + database, "60000");
  EXPECT_EQ(config.exitCode, 0);
  EXPECT_EQ(TestSettings::read("Configuration File"), database);
}

// Line ends stay single line feeds (no text-mode translation on Windows).
TEST_F(OverseerRunTest, ReauthenticationWritesOnlyTheStatus) {
  server_.set("AUTH_USER", "admin");
  EXPECT_EQ(run("Action=Reauthenticate&Olduser=Admin").output, "Status: 401\n\n");
  ProgramRun confirmed = run("Action=Reauthenticate&Olduser=someone");
  EXPECT_EQ(confirmed.output.rfind("Cache-control: private\nExpires: Fri, 01 Jan 1999 02:01:01 "
                                   "GMT\nContent-Type: text/html\n\nYou are reauthenticated",
                                   0),
            0u);
}

// The logon that the web server hands a CGI program after the filter mapped a site user: only
// reauthentication answers; the refusal is named in the error log (standard error).
TEST_F(OverseerRunTest, LogonReplacedByTheFilterIsRefused) {
  server_.set("AUTH_USER", "john");
  server_.set("LOGON_USER", "administrator");
  const ProgramRun page = post("Action=Config", "Config=" + settings_.file("mine.cfg"));
  EXPECT_EQ(page.output.rfind("Status: 403 Forbidden\n", 0), 0u) << page.output;
  EXPECT_FALSE(TestSettings::read("Configuration File").has_value());
  EXPECT_EQ(page.errors,
            "request refused: the filter logged user john on as the server account "
            "administrator; this program serves direct logons only\n");
  EXPECT_EQ(run("Action=Reauthenticate&Olduser=john").output, "Status: 401\n\n");
}

// A run waits for the database lock before it loads the database.
TEST_F(OverseerRunTest, RunsOnOneDatabaseOneAfterTheOther) {
  const std::string database = settings_.file("accounts.cfg");
  {
    ConfigFile empty(database.c_str(), 1);
    empty.getOrCreateSection("MAIN");
    ASSERT_EQ(empty.save(), 1);
  }
  ASSERT_TRUE(TestSettings::store("Configuration File", database));
  server_.set("QUERY_STRING", "");
  server_.set("CONTENT_LENGTH", nullptr);

  auto held = std::make_unique<DatabaseLock>(database);
  ASSERT_TRUE(held->isHeld());
  std::atomic<bool> finished{false};
  ProgramRun waiting;
  std::thread other([&] {
    waiting = runPrepared("");
    finished = true;
  });
  // No fixed wait: until the run is seen blocked on the lock file, or has finished.
  EXPECT_FALSE(forbiddenBeforeLockWaiter(DatabaseLock::lockPath(database),
                                         [&] { return finished.load(); },
                                         std::chrono::seconds(2)));
  held.reset();
  other.join();
  EXPECT_EQ(waiting.exitCode, 0);
  EXPECT_NE(waiting.output.find("</HTML>"), std::string::npos);
}

}  // namespace
}  // namespace gatekeeper
