// The password of a command: read from standard input (--password-stdin: one line, its line
// end stripped; empty input is the empty password) or typed twice without echo on the
// terminal, never taken from the command line.
#ifndef GATEKEEPER_CLI_PASSWORD_INPUT_H_
#define GATEKEEPER_CLI_PASSWORD_INPUT_H_

#include "cli/command_table.h"

namespace gatekeeper::cli {

// Fills run.password as command.password asks for it. Returns 0 to go on, or the exit status
// after a line on standard error: 2 when the password must be typed and standard input is no
// terminal, 1 when the two typed passwords differ or the input ends.
int readPassword(const Command& command, CommandRun& run);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_PASSWORD_INPUT_H_
