// Reading a number at the start of a text, as the "%d" conversion does.
#ifndef GATEKEEPER_WEBSUPPORT_LEADING_NUMBER_H_
#define GATEKEEPER_WEBSUPPORT_LEADING_NUMBER_H_

#include <string_view>

namespace gatekeeper {

// The decimal number at the start of text: leading white space skipped, an optional sign, then
// digits; whatever follows is ignored. 0 when no digit follows. A number beyond the range of
// int reads as the nearest limit instead of wrapping around.
int leadingNumber(std::string_view text);

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_LEADING_NUMBER_H_
