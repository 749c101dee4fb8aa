// The terminal of an interactive program: whether standard input is one, and a line read
// from it without echo (a password typed at a prompt).
#ifndef GATEKEEPER_PLATFORM_TERMINAL_H_
#define GATEKEEPER_PLATFORM_TERMINAL_H_

#include <optional>
#include <string>

namespace gatekeeper::platform {

// Whether standard input is a terminal (on Windows a console).
bool standardInputIsTerminal();

// Writes prompt to standard error, reads one line from the terminal on standard input with
// its echo turned off, turns the echo back on and ends the prompt's line on standard error.
// The line comes without its line end (LF or CR LF). nullopt when standard input is not a
// terminal, its echo cannot be turned off, or the input ends before a line end.
std::optional<std::string> readLineWithoutEcho(const char* prompt);

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_TERMINAL_H_
