// The import command of gatekeeper: the users of an Apache password file (htpasswd) made users
// of an authority with their password hashes, through the rule in accountdb/htpasswd_import.h.
#ifndef GATEKEEPER_CLI_IMPORT_COMMAND_H_
#define GATEKEEPER_CLI_IMPORT_COMMAND_H_

#include "cli/command_table.h"

namespace gatekeeper::cli {

// import htpasswd --authority NAME FILE [--map-to NTACCOUNT] [--allow-weak] [--replace]
// [--json]: one line per user of FILE saying what became of it (imported, replaced, left
// alone, needs a new password, not imported) and a summary line, or one JSON object; the
// users imported or replaced are stored in one save. New users are mapped to --map-to's NT
// account, which is needed as soon as the file adds a user; --replace gives existing users
// the file's password and keeps the rest of their entries. Status 1 when some users of the
// file were not imported, or the import was refused (then nothing is stored).
CommandResult importHtpasswdFile(CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_IMPORT_COMMAND_H_
