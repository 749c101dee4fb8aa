#include "admin/result_line.h"

#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {

void writeBoldName(std::string_view text) {
  writeText("<b>");
  writeEscaped(text);
  writeText("</b>");
}

}  // namespace gatekeeper
