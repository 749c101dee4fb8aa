// Test helper: gatekeeper run in-process on a scratch account database named by a settings key
// of the test's own, with its standard streams and terminal captured.
#ifndef GATEKEEPER_CLI_CLI_TEST_SUPPORT_H_
#define GATEKEEPER_CLI_CLI_TEST_SUPPORT_H_

#include <deque>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/dispatcher.h"
#include "configstore/config_file.h"
#include "settings/test_settings.h"

namespace gatekeeper::cli {

struct RunOutput {
  int status;
  std::string out;
  std::string err;
};

class CliTest {
 public:
  // Writes the database: MAIN with SERVERS, ACCOUNTS with the authority Staff (its own value
  // ExpirationRequired, the users John, mapped to webuser with password "old", and mary,
  // unmapped, disabled, expiring 12/31/2037) and NTACCOUNTS with webuser and guest; the
  // settings key names it.
  CliTest();

  std::string databasePath() const { return settings_.file("accounts.cfg"); }

  // Runs gatekeeper with the arguments, input as standard input, and typed as the lines
  // typed on the terminal (standard input is a terminal when typed is given).
  RunOutput run(const std::vector<std::string>& arguments, const std::string& input = "",
                std::optional<std::vector<std::string>> typed = std::nullopt);

  // The database as saved now.
  ConfigFile& saved();
  // The saved user, or the placeholder section.
  ConfigSection* savedUser(const char* authority, const char* user);
  // The names of Staff's users as saved, in slot order, each followed by a blank.
  std::string savedUsers();

 private:
  TestSettings settings_;
  std::unique_ptr<ConfigFile> saved_;
};

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_CLI_TEST_SUPPORT_H_
