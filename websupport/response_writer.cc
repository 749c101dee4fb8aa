#include "websupport/response_writer.h"

#include <cstdio>

namespace gatekeeper {
namespace {

// The buffer of the innermost ResponseCapture, null when the response goes to standard output.
std::string* captureBuffer = nullptr;

}  // namespace

void writeText(std::string_view text) {
  if (captureBuffer != nullptr) {
    captureBuffer->append(text);
  } else if (!text.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
}

void writeLine(std::string_view text) {
  writeText(text);
  writeText("\n");
}

void writeContentType(std::string_view mediaType) {
  writeText("Content-Type: ");
  writeText(mediaType);
  writeText("\n\n");
}

ResponseCapture::ResponseCapture() : previous_(captureBuffer) { captureBuffer = &text_; }

ResponseCapture::~ResponseCapture() { captureBuffer = previous_; }

}  // namespace gatekeeper
