#include "accountdb/storable_text.h"

#include "configstore/text_stream.h"

namespace gatekeeper::accountdb {

// The writer's field limit (configstore/text_stream.h).
static_assert(kLongestStorableField == TextStream::kFieldBufferSize - 1);

namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

}  // namespace

bool isStorableName(std::string_view name) {
  if (!name.empty() && (name.front() == ' ' || name.back() == ' ')) return false;
  for (const char c : name) {
    if (isControl(static_cast<unsigned char>(c))) return false;
  }
  return name.find_first_of(":;=[]") == std::string_view::npos &&
         name.size() <= kLongestStorableField;
}

bool isStorableBindingHost(std::string_view host) {
  return isStorableName(host) && host.find('|') == std::string_view::npos;
}

bool isStorableText(std::string_view text) {
  return text.find_first_of("\r\n") == std::string_view::npos &&
         text.size() <= kLongestStorableField;
}

}  // namespace gatekeeper::accountdb
