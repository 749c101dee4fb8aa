#include "platform/shared_file_copy.h"

namespace gatekeeper::platform {

// Not made on Windows yet: every process reads the file itself.
std::string SharedFileCopy::directory() { return std::string(); }

std::string SharedFileCopy::namePrefix(const std::string&) { return std::string(); }

std::unique_ptr<SharedFileCopy> SharedFileCopy::open(const std::string&, bool,
                                                     const AppendixMaker&) {
  return nullptr;
}

SharedFileCopy::~SharedFileCopy() = default;

}  // namespace gatekeeper::platform
