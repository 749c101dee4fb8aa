// The options commands of gatekeeper: show and set the options of the filter in MAIN (Disable,
// the event log file, whether site users' passwords are stored hashed, the events kept out of
// the log). They change them through the rules the
// general options and logging options pages use (accountdb/option_rules.h).
#ifndef GATEKEEPER_CLI_OPTIONS_COMMANDS_H_
#define GATEKEEPER_CLI_OPTIONS_COMMANDS_H_

#include "cli/command_table.h"

namespace gatekeeper::cli {

// options show [--json]: whether the filter is disabled, the event log file, whether site
// users' passwords are stored hashed, and the suppressed events by id and name, in the order
// of EventTypeTable.
CommandResult showOptions(CommandRun& run);

// options set: --disable or --enable, --log FILE (stored as given; "" for no log),
// --hash-passwords or --plain-passwords (how new passwords of site users are stored; the
// passwords stored so far stay as they are: user rehash hashes them), and
// --suppress ID,... (the whole list of suppressed events, stored as the logging options page
// stores its boxes: one item per event type, 1 or 0) or --log-all (none suppressed). An id
// that is no event type is a usage error and nothing is stored.
CommandResult setOptions(CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_OPTIONS_COMMANDS_H_
