// The result lines of overseer's storing pages name what they changed in bold.
#ifndef GATEKEEPER_ADMIN_RESULT_LINE_H_
#define GATEKEEPER_ADMIN_RESULT_LINE_H_

#include <string_view>

namespace gatekeeper {

// Writes "<b>" text "</b>", the text (a name from the request or the database) escaped.
void writeBoldName(std::string_view text);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_RESULT_LINE_H_
