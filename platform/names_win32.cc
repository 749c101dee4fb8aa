#include "platform/names.h"

#include <windows.h>

namespace gatekeeper::platform {

int compareNames(const char* a, const char* b) { return lstrcmpiA(a, b); }

}  // namespace gatekeeper::platform
