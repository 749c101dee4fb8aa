#include "websupport/html_escape.h"

#include "websupport/response_writer.h"

namespace gatekeeper {

std::string escapeHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped.push_back(c);
    }
  }
  return escaped;
}

void writeEscaped(std::string_view text) { writeText(escapeHtml(text)); }

}  // namespace gatekeeper
