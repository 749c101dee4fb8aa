// The dispatcher: usage errors with their status and usage line, finding the database by the
// settings key or --database, and the failures to find, lock or load it, each named on
// standard error. A command refused for its usage changes nothing.
#include "cli/dispatcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "cli/command_table.h"
#include "platform/scratch_directory.h"
#include "platform/system_error.h"
#include "settings/test_settings.h"

namespace gatekeeper::cli {
namespace {

class DispatcherTest : public ::testing::Test, public CliTest {};

TEST_F(DispatcherTest, UsageErrorsNameTheProblemAndChangeNothing) {
  struct Case {
    std::vector<std::string> arguments;
    const char* reason;
  };
  const Case cases[] = {
      {{}, "no command given"},
      {{"frob"}, "unknown command frob"},
      {{"user"}, "missing command after user"},
      {{"user", "frob"}, "unknown command user frob"},
      {{"--verbose", "user", "list", "Staff"}, "unknown option --verbose"},
      {{"--database"}, "--database needs FILE"},
      {{"--database=", "user", "list", "Staff"}, "--database needs FILE"},
      {{"user", "list"}, "missing AUTHORITY"},
      {{"user", "del", "Staff"}, "missing AUTHORITY NAME"},
      {{"user", "list", "Staff", "extra"}, "unexpected argument extra"},
      {{"user", "list", "Staff", "--frob"}, "unknown option --frob"},
      {{"user", "list", "Staff", "-x"}, "unknown option -x"},
      {{"user", "list", "Staff", "--json=yes"}, "--json takes no value"},
      {{"user", "add", "Staff", "bob", "--no-map", "--map-to"}, "--map-to needs NTACCOUNT"},
      {{"user", "add", "Staff", "bob", "--map-to", "guest", "--no-map"},
       "--no-map and --map-to exclude each other"},
      {{"user", "add", "Staff", "bob", "--password-stdin"}, "--map-to or --no-map is needed"},
      {{"user", "set", "Staff", "John"}, "nothing to change"},
      {{"user", "set", "Staff", "John", "--disabled", "--enabled"},
       "--enabled and --disabled exclude each other"},
      {{"user", "set", "Staff", "John", "--password", "--password-stdin"},
       "--password-stdin and --password exclude each other"},
      {{"user", "set", "Staff", "John", "--password=x"}, "--password takes no value"},
  };
  const std::string before = platform::readWholeFile(databasePath());
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments, "pw\n");
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(result.status, kExitUsage);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.find(std::string("gatekeeper: ") + c.reason + "\n"), 0u) << result.err;
    EXPECT_NE(result.err.find("gatekeeper [--database FILE] "), std::string::npos);
  }
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
}

TEST_F(DispatcherTest, UsageLinesAndHelp) {
  const RunOutput help = run({"--help"});
  EXPECT_EQ(help.status, kExitDone);
  for (const Command& command : commandTable()) {
    EXPECT_NE(help.out.find(usageLine(command)), std::string::npos) << usageLine(command);
  }
  const RunOutput wrong = run({"user", "set", "Staff"});
  EXPECT_NE(wrong.err.find(
                "usage: gatekeeper [--database FILE] user set AUTHORITY NAME [--password-stdin | "
                "--password] [--map-to NTACCOUNT | --no-map] [--disabled | --enabled] [--expires "
                "MM/DD/YYYY | --no-expires] [--no-expiration | --expiration]\n"),
            std::string::npos)
      << wrong.err;
  // An unknown second word lists the commands of its group only.
  const RunOutput group = run({"user", "frob"});
  EXPECT_NE(group.err.find("user del AUTHORITY NAME"), std::string::npos);
}

TEST_F(DispatcherTest, OptionsGoAnywhereAndDoubleDashEndsThem) {
  EXPECT_EQ(run({"user", "--json", "list", "Staff"}).status, kExitUsage);
  EXPECT_EQ(run({"user", "list", "--json", "Staff"}).status, kExitDone);
  const RunOutput added = run({"user", "add", "--no-map", "Staff", "--", "-dash"});
  EXPECT_EQ(added.status, kExitDone) << added.err;
  EXPECT_EQ(savedUsers(), "John mary -dash ");
}

TEST_F(DispatcherTest, DatabaseFromTheSettingsKeyOrTheCommandLine) {
  platform::ScratchDirectory other;
  const std::string elsewhere = other.file("other.cfg");
  std::filesystem::copy_file(databasePath(), elsewhere);
  ASSERT_EQ(run({"--database", elsewhere, "user", "add", "Staff", "bob", "--no-map"}).status,
            kExitDone);
  EXPECT_EQ(savedUsers(), "John mary ");
  ASSERT_EQ(run({"--database=" + elsewhere, "user", "show", "Staff", "bob"}).status, kExitDone);
  ASSERT_EQ(run({"user", "add", "Staff", "carol", "--no-map"}).status, kExitDone);
  EXPECT_EQ(savedUsers(), "John mary carol ");
}

TEST_F(DispatcherTest, UnusableDatabaseIsNamedWithTheReason) {
  const std::string missing = databasePath() + ".missing";
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"--database", missing, "user", "list", "Staff"},
       "gatekeeper: cannot load the account database " + missing + ": " +
           platform::readProblem(missing) + "\n"},
      {{"--database", missing, "user", "del", "Staff", "John"},
       "gatekeeper: cannot load the account database " + missing + ": " +
           platform::readProblem(missing) + "\n"},
  };
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments);
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.err, c.message);
  }
  TestSettings::remove("Configuration File");
  RunOutput result = run({"user", "list", "Staff"});
  EXPECT_EQ(result.status, kExitFailed);
  EXPECT_NE(result.err.find("gatekeeper: cannot read the settings value "), std::string::npos);
  EXPECT_NE(result.err.find("Configuration File: "), std::string::npos) << result.err;
  TestSettings::removeKey();
  result = run({"user", "list", "Staff"});
  EXPECT_EQ(result.status, kExitFailed);
  EXPECT_EQ(result.err.find("gatekeeper: cannot read the settings key "), 0u) << result.err;
}

TEST_F(DispatcherTest, StoringNeedsTheLockReadingDoesNot) {
  // A directory where the lock file belongs: the lock cannot be taken.
  std::filesystem::create_directory(databasePath() + ".lock");
  const std::string before = platform::readWholeFile(databasePath());
  const RunOutput refused = run({"user", "del", "Staff", "John"});
  EXPECT_EQ(refused.status, kExitFailed);
  EXPECT_EQ(refused.err.find("gatekeeper: cannot lock the account database with " +
                             databasePath() + ".lock: "),
            0u)
      << refused.err;
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
  EXPECT_EQ(run({"user", "list", "Staff"}).status, kExitDone);
}

}  // namespace
}  // namespace gatekeeper::cli
