// The authority commands of gatekeeper: list, add, del, rename and set. They change authorities
// through the rules the pages use (accountdb/authority_rules.h) and refuse in the pages' words,
// on standard error. Bindings are left as they are, as the pages leave them; a binding that no
// longer finds its authority is named in a warning.
#ifndef GATEKEEPER_CLI_AUTHORITY_COMMANDS_H_
#define GATEKEEPER_CLI_AUTHORITY_COMMANDS_H_

#include "cli/command_table.h"

namespace gatekeeper::cli {

// authority list [--json]: one line per authority in the database's order with its
// expiration policy (ExpirationRequired) and its number of users.
CommandResult listAuthorities(CommandRun& run);

// authority add NAME [--expiration-required]: a new authority, its policy stored in every case.
CommandResult addAuthority(CommandRun& run);

// authority del NAME: deletes an existing authority with all its users.
CommandResult deleteAuthority(CommandRun& run);

// authority rename OLD NEW: renames an existing authority (letter case included) and keeps its
// policy.
CommandResult renameAuthority(CommandRun& run);

// authority set NAME --expiration-required | --no-expiration-required: sets the policy of an
// existing authority and keeps its name.
CommandResult setAuthority(CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_AUTHORITY_COMMANDS_H_
