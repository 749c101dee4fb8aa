// The URL encoding of query strings, form bodies and cookies.
#ifndef GATEKEEPER_WEBSUPPORT_URL_ENCODING_H_
#define GATEKEEPER_WEBSUPPORT_URL_ENCODING_H_

#include <string>
#include <string_view>

namespace gatekeeper {

// Decodes one encoded name or value: "+" becomes a space; "%" takes the two characters after
// it (fewer at the end of the text) and gives the byte of the hexadecimal digits that lead
// them ("%4g" gives the byte 4, a "%" without a leading hexadecimal digit gives the byte 0);
// every other byte is copied. The result ends before the first byte 0, decoded or raw, and is
// never longer than the input.
std::string urlDecode(std::string_view raw);

// Encodes a text for use inside a query string: letters, digits and "-_.~" stay, every other
// byte becomes "%" and two upper-case hexadecimal digits. urlDecode reverses it.
std::string urlEncode(std::string_view text);

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_URL_ENCODING_H_
