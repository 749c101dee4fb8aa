#include "filter/server_variable.h"

#include <cstring>

namespace gatekeeper {

bool readServerVariable(HTTP_FILTER_CONTEXT* pfc, const char* name, char* buffer,
                        unsigned bufferSize, std::string_view* value) {
  *value = std::string_view();
  if (pfc == nullptr || pfc->GetServerVariable == nullptr || bufferSize == 0) return false;
  std::memset(buffer, 0, bufferSize);
  DWORD size = bufferSize;
  if (!pfc->GetServerVariable(pfc, const_cast<char*>(name), buffer, &size)) return false;
  // A text that fills the whole buffer without its terminating zero did not fit.
  const std::size_t length = strnlen(buffer, bufferSize);
  if (length == bufferSize) return false;
  *value = std::string_view(buffer, length);
  return true;
}

}  // namespace gatekeeper
