// gatekeeper check: the findings of the database check on standard output, status 1 while
// there are any, and a database that is clean again gives 0 and no output.
#include "cli/check_command.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/database_check.h"
#include "cli/cli_test_support.h"
#include "cli/output_text.h"

namespace gatekeeper::cli {
namespace {

class CheckCommandTest : public ::testing::Test, public CliTest {};

TEST_F(CheckCommandTest, FindingsUntilTheDatabaseIsClean) {
  // Staff requires an expiry date, and John has none.
  const std::vector<std::string> findings = accountdb::checkDatabaseFile(databasePath());
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_NE(findings[0].find("John"), std::string::npos) << findings[0];
  RunOutput result = run({"check"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, findings[0] + "\n");
  EXPECT_EQ(result.err, "");
  result = run({"check", "--json"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "[\n  " + jsonString(findings[0]) + "\n]\n");

  ASSERT_EQ(run({"user", "set", "Staff", "John", "--no-expiration"}).status, 0);
  result = run({"check"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(run({"check", "--json"}).out, "[]\n");
}

TEST_F(CheckCommandTest, UnreadableFileIsAFinding) {
  const std::string missing = databasePath() + ".missing";
  const RunOutput result = run({"--database", missing, "check"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out.find("cannot read " + missing + ": "), 0u) << result.out;
}

}  // namespace
}  // namespace gatekeeper::cli
