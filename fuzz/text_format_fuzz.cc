// Fuzz target for the account database's text format: any bytes must load without a fault,
// and what the writer makes of the loaded tree must read back to the same text (the writer
// either refuses the tree or writes something that reads back unchanged). Sections kept as
// text at load change nothing: the tree writes what a tree parsed line by line at once writes,
// before and after its kept sections are parsed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "configstore/config_section.h"
#include "configstore/text_stream.h"

namespace {

// Writes a tree; false when the writer refuses it.
bool write(gatekeeper::ConfigSection* root, std::string* written) {
  auto out = gatekeeper::TextStream::forWriting(written);
  return root->writeContents(out.get()) == 1 && out->close() == 1;
}

void load(gatekeeper::ConfigSection* root, const std::string& text, bool keepText) {
  auto in = gatekeeper::TextStream::forReading(text);
  in->keepSectionsAsText(keepText);
  root->readContents(in.get(), -1);
}

// Loads text into a fresh tree and writes it back; false when the writer refuses the tree.
bool loadAndWrite(const std::string& text, std::string* written) {
  gatekeeper::ConfigSection root("root");
  load(&root, text, true);
  return write(&root, written);
}

// The tree parsed at once, and a copy of the tree with kept sections (parsed by the copy),
// write what the tree with kept sections writes.
void compareWithParsedAtOnce(const std::string& text, bool written, const std::string& first) {
  gatekeeper::ConfigSection eager("root");
  load(&eager, text, false);
  std::string eagerText;
  if (write(&eager, &eagerText) != written || (written && eagerText != first)) std::abort();
  gatekeeper::ConfigSection lazy("root");
  load(&lazy, text, true);
  gatekeeper::ConfigSection* copy = lazy.clone();
  std::string copyText;
  if (write(copy, &copyText) != written || (written && copyText != first)) std::abort();
  copy->destroy();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string first;
  const bool written = loadAndWrite(input, &first);
  compareWithParsedAtOnce(input, written, first);
  if (!written) return 0;
  std::string second;
  if (!loadAndWrite(first, &second) || second != first) std::abort();
  return 0;
}
