// The user commands of gatekeeper: list, show, add, set and del on the users of one
// authority. They change users through the rules the pages use (accountdb/user_rules.h) and
// refuse in the pages' words, on standard error.
#ifndef GATEKEEPER_CLI_USER_COMMANDS_H_
#define GATEKEEPER_CLI_USER_COMMANDS_H_

#include "cli/command_table.h"

namespace gatekeeper::cli {

// user list AUTHORITY [--json]: one line per user in the authority's order (a table with a
// header line, or a JSON array of objects); never a password.
CommandResult listUsers(CommandRun& run);

// user show AUTHORITY NAME [--json]: the user's values, and whether a password is set.
CommandResult showUser(CommandRun& run);

// user add AUTHORITY NAME: a new user, mapped to --map-to's NT account or not mapped
// (--no-map; one of the two is needed), with --expires, --no-expiration and --disabled.
CommandResult addUser(CommandRun& run);

// user set AUTHORITY NAME: changes the values named by the options of an existing user and
// keeps the others; the entry is then stored whole, as the change page stores it.
CommandResult setUser(CommandRun& run);

// user del AUTHORITY NAME: deletes an existing user.
CommandResult deleteUser(CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_USER_COMMANDS_H_
