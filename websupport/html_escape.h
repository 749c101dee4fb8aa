// HTML escaping: the one place where text from the request or the account database is made
// safe for a page, in element text and in quoted attribute values alike. Fixed fragments of
// the programs' own are written as they stand.
#ifndef GATEKEEPER_WEBSUPPORT_HTML_ESCAPE_H_
#define GATEKEEPER_WEBSUPPORT_HTML_ESCAPE_H_

#include <string>
#include <string_view>

namespace gatekeeper {

// text with "&", "<", ">", '"' and "'" replaced by their character references; every other
// byte (ISO-8859-1 letters included) unchanged.
std::string escapeHtml(std::string_view text);

// Writes escapeHtml(text) to the response.
void writeEscaped(std::string_view text);

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_HTML_ESCAPE_H_
