// gatekeeper: the command-line administration program of the account database.
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/dispatcher.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  gatekeeper::cli::Console console = gatekeeper::cli::processConsole();
  return gatekeeper::cli::runGatekeeper(arguments, console);
}
