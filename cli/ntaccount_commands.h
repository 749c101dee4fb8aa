// The NT account commands of gatekeeper: list, add, del and passwd on the NT accounts that
// users are mapped to. They change the accounts through the rules the pages use
// (accountdb/nt_account_rules.h) and refuse in the pages' words, on standard error.
#ifndef GATEKEEPER_CLI_NTACCOUNT_COMMANDS_H_
#define GATEKEEPER_CLI_NTACCOUNT_COMMANDS_H_

#include "cli/command_table.h"

namespace gatekeeper::cli {

// ntaccount list [--json]: one line per NT account in slot order with the number of users the
// filter maps to it (a table with a header line, or a JSON array); never a password.
CommandResult listNtAccounts(CommandRun& run);

// ntaccount add NAME: a new NT account with the password read as PasswordUse::kRequired.
CommandResult addNtAccount(CommandRun& run);

// ntaccount del NAME: deletes an existing NT account. Users mapped to it keep their mapping, as
// with the delete page; a warning names them.
CommandResult deleteNtAccount(CommandRun& run);

// ntaccount passwd NAME: sets the password of an existing NT account.
CommandResult changeNtAccountPassword(CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_NTACCOUNT_COMMANDS_H_
