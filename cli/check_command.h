// gatekeeper check [--json]: what in the account database the filter would trip over
// (accountdb/database_check.h), one finding a line, or a JSON array of the lines. Status 1
// when anything is found, 0 when all is well; the file is only read.
#ifndef GATEKEEPER_CLI_CHECK_COMMAND_H_
#define GATEKEEPER_CLI_CHECK_COMMAND_H_

#include "cli/command_table.h"

namespace gatekeeper::cli {

CommandResult checkDatabase(CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_CHECK_COMMAND_H_
