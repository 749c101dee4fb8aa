#include "cli/password_input.h"

#include <istream>
#include <ostream>

namespace gatekeeper::cli {
namespace {

std::string oneLine(std::istream& in) {
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int typeTwice(CommandRun& run) {
  Console& console = *run.console;
  if (!console.inputIsTerminal()) {
    console.err << "gatekeeper: a password is needed: give it on standard input with "
                   "--password-stdin, or type it on a terminal\n";
    return 2;
  }
  const std::optional<std::string> first = console.readHiddenLine("Password: ");
  const std::optional<std::string> second =
      first ? console.readHiddenLine("Repeat password: ") : std::nullopt;
  if (!first || !second) {
    console.err << "gatekeeper: no password was typed\n";
    return 1;
  }
  if (*first != *second) {
    console.err << "gatekeeper: the passwords do not match\n";
    return 1;
  }
  run.password = *first;
  return 0;
}

}  // namespace

int readPassword(const Command& command, CommandRun& run) {
  switch (command.password) {
    case PasswordUse::kNone:
      return 0;
    case PasswordUse::kNewUser:
      if (run.has("password-stdin")) break;
      if (run.has("no-map")) {
        run.password = "";  // not consulted for a user the server checks itself
        return 0;
      }
      return typeTwice(run);
    case PasswordUse::kChange:
      if (run.has("password-stdin")) break;
      return run.has("password") ? typeTwice(run) : 0;
    case PasswordUse::kRequired:
      if (run.has("password-stdin")) break;
      return typeTwice(run);
  }
  run.password = oneLine(run.console->in);
  return 0;
}

}  // namespace gatekeeper::cli
