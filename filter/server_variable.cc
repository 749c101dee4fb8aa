#include "filter/server_variable.h"

#include <cstring>
#include <vector>

namespace gatekeeper {

bool readServerVariable(HTTP_FILTER_CONTEXT* pfc, const char* name, unsigned bufferSize,
                        std::string* value) {
  value->clear();
  if (pfc == nullptr || pfc->GetServerVariable == nullptr) return false;
  std::vector<char> buffer(bufferSize, '\0');
  DWORD size = bufferSize;
  if (!pfc->GetServerVariable(pfc, const_cast<char*>(name), buffer.data(), &size)) return false;
  // A text that fills the whole buffer without its terminating zero did not fit.
  const std::size_t length = strnlen(buffer.data(), buffer.size());
  if (length == buffer.size()) return false;
  value->assign(buffer.data(), length);
  return true;
}

}  // namespace gatekeeper
