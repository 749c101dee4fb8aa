#include "admin/header_block.h"

#include "websupport/response_writer.h"

namespace gatekeeper {

void writeHeaderBlock() {
  writeText("Cache-control: private\n");
  writeText("Expires: Fri, 01 Jan 1999 02:01:01 GMT\n");
  writeContentType("text/html");
}

}  // namespace gatekeeper
