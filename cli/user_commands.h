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

// user show AUTHORITY NAME [--json]: the user's values, and how the password is kept: "none"
// (empty), "plain", or the scheme of its hash, with a note when this build cannot verify it;
// never the password or its hash.
CommandResult showUser(CommandRun& run);

// user add AUTHORITY NAME: a new user, its password stored as the database asks (hashed when
// MAIN/HashPasswords is set), mapped to --map-to's NT account or not mapped
// (--no-map; one of the two is needed), with --expires, --no-expiration and --disabled.
CommandResult addUser(CommandRun& run);

// user set AUTHORITY NAME: changes the values named by the options of an existing user and
// keeps the others; the entry is then stored whole, as the change page stores it. A new
// password is stored as the database asks; without one the stored password, plain or hashed,
// is kept as it is.
CommandResult setUser(CommandRun& run);

// user del AUTHORITY NAME: deletes an existing user.
CommandResult deleteUser(CommandRun& run);

// user rehash [AUTHORITY]: replaces every plain password of the authority's users (of every
// authority's without the operand) by its hash, whatever MAIN/HashPasswords says; reports the
// number per authority, and status 1 when some could not be hashed (those stay plain).
CommandResult rehashUsers(CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_USER_COMMANDS_H_
