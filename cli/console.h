// Where a command of gatekeeper reads and writes: its standard streams, and the terminal a
// password is typed on. Tests hand in streams and a terminal of their own.
#ifndef GATEKEEPER_CLI_CONSOLE_H_
#define GATEKEEPER_CLI_CONSOLE_H_

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace gatekeeper::cli {

struct Console {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  // Whether standard input is a terminal a person types on.
  std::function<bool()> inputIsTerminal;
  // Shows the prompt and reads one line typed without echo, without its line end; nullopt at
  // the end of input.
  std::function<std::optional<std::string>(const char* prompt)> readHiddenLine;
};

// The process's own: std::cin, std::cout, std::cerr and the terminal of standard input.
Console processConsole();

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_CONSOLE_H_
