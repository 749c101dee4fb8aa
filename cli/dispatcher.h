// The one dispatcher of gatekeeper: reads the global options and the command's words, finds
// the command's row (cli/command_table.h) and enforces everything the row says: its operands
// and options, the options that exclude each other, where the password comes from, and what
// is done with the account database around the handler (found, locked, loaded, saved once).
#ifndef GATEKEEPER_CLI_DISPATCHER_H_
#define GATEKEEPER_CLI_DISPATCHER_H_

#include <span>
#include <string>

#include "cli/console.h"

namespace gatekeeper::cli {

// Exit statuses of gatekeeper.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // refused, or the database could not be used
inline constexpr int kExitUsage = 2;   // unknown command or option, missing or extra argument

// Runs one command line (the arguments after the program's name) and returns the exit
// status. Global options come before the command: --database FILE (the account database,
// instead of the settings key) and --help (the usage text, on standard output, status 0). A
// usage error writes its reason and the command's usage line (or every command's) to standard
// error.
int runGatekeeper(std::span<const std::string> arguments, Console& console);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_DISPATCHER_H_
