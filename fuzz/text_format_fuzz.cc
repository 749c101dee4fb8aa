// Fuzz target for the account database's text format: any bytes must load without a fault,
// and what the writer makes of the loaded tree must read back to the same text (the writer
// either refuses the tree or writes something that reads back unchanged).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "configstore/config_section.h"
#include "configstore/text_stream.h"

namespace {

// Loads text into a fresh tree and writes it back; false when the writer refuses the tree.
bool loadAndWrite(const std::string& text, std::string* written) {
  gatekeeper::ConfigSection root("root");
  auto in = gatekeeper::TextStream::forReading(text);
  root.readContents(in.get(), -1);
  auto out = gatekeeper::TextStream::forWriting(written);
  return root.writeContents(out.get()) == 1 && out->close() == 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string first;
  if (!loadAndWrite(input, &first)) return 0;
  std::string second;
  if (!loadAndWrite(first, &second) || second != first) std::abort();
  return 0;
}
