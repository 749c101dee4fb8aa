// The binding commands of gatekeeper: list, add and del on the site bindings. They change
// bindings through the rules the pages use (accountdb/binding_rules.h) and refuse in the pages'
// words, on standard error. A site is named by its host and its port as on the page: the binding
// key is the host alone when the port reads as 80, else the host, "|" and the port as typed.
#ifndef GATEKEEPER_CLI_BINDING_COMMANDS_H_
#define GATEKEEPER_CLI_BINDING_COMMANDS_H_

#include "cli/command_table.h"

namespace gatekeeper::cli {

// binding list [--json]: one line per binding in the database's order: host, port (80 for a key
// without "|"), authority and binding key.
CommandResult listBindings(CommandRun& run);

// binding add HOST PORT AUTHORITY: a new binding; warns when no authority of that name exists
// yet (the page offers only existing ones; the filter refuses the site's users until it is
// added).
CommandResult addBinding(CommandRun& run);

// binding del HOST PORT: deletes an existing binding.
CommandResult deleteBinding(CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_BINDING_COMMANDS_H_
