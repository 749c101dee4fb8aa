#include "platform/standard_streams.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace gatekeeper::platform {

void useBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace gatekeeper::platform
