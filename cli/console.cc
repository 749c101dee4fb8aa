#include "cli/console.h"

#include <iostream>

#include "platform/terminal.h"

namespace gatekeeper::cli {

Console processConsole() {
  return {std::cin, std::cout, std::cerr, platform::standardInputIsTerminal,
          platform::readLineWithoutEcho};
}

}  // namespace gatekeeper::cli
