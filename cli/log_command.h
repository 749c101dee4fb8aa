// gatekeeper log [--type ID] [--since MM/DD/YYYY] [--follow] [--json]: the filter's event log,
// named by MAIN/log of the account database, read as the log viewer page reads it
// (accountdb/event_log_reader.h): the same fields, the same type and date filters. The lines
// of the rotated file (<log>.1) come first, then those of the current file, oldest first.
#ifndef GATEKEEPER_CLI_LOG_COMMAND_H_
#define GATEKEEPER_CLI_LOG_COMMAND_H_

#include <functional>
#include <iosfwd>
#include <string>

#include "accountdb/event_log_reader.h"
#include "cli/command_table.h"

namespace gatekeeper::cli {

// Plain output is each passing line as the filter wrote it, without its line end (control
// characters written as "\xHH"). --json writes a JSON array of objects, one per line, with the
// eight columns of the viewer (the blank after each comma left out) and the whole line; with
// --follow, one such object a line of output instead of an array.
//
// --follow then goes on writing the lines that the filter appends, through rotations, until
// SIGINT or SIGTERM (status 0). Without --follow, a log of which neither file can be read is
// an error (status 1); with it, the log is waited for. Rotated files that cannot be read
// (events.log.2.gz, ...) are named on standard error.
CommandResult showLog(CommandRun& run);

// The following part of showLog, with its waiting handed in: writes the passing lines of the
// log at path (each through write) and, after each round, calls wait, which returns false to
// stop. The first round writes what the current file holds.
void followLog(const std::string& path, const accountdb::LogFilter& filter,
               const std::function<void(const std::string& line)>& write,
               const std::function<bool()>& wait);

// The text showLog writes for one line (with its line end): plain, or a JSON object.
std::string logLineText(const std::string& line, bool json);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_LOG_COMMAND_H_
