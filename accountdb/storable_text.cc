#include "accountdb/storable_text.h"

#include "configstore/text_stream.h"

namespace gatekeeper::accountdb {

// The writer's field limit (configstore/text_stream.h).
static_assert(kLongestStorableField == TextStream::kFieldBufferSize - 1);

bool isStorableName(std::string_view name) {
  if (!name.empty() && (name.front() == ' ' || name.front() == '\t')) return false;
  return name.find_first_of(":;=[]\r\n") == std::string_view::npos &&
         name.size() <= kLongestStorableField;
}

bool isStorableText(std::string_view text) {
  return text.find_first_of("\r\n") == std::string_view::npos &&
         text.size() <= kLongestStorableField;
}

}  // namespace gatekeeper::accountdb
