#include "websupport/action_link.h"

#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"

namespace gatekeeper {

void writeScriptUrl() { writeEscaped(serverText("SCRIPT_NAME")); }

void actionLink(std::string_view action) {
  writeScriptUrl();
  writeText("?Action=");
  writeText(action);
}

void actionLinkWithPost(std::string_view action, std::string_view postAction) {
  actionLink(action);
  writeText("&PostAction=");
  writeText(postAction);
}

}  // namespace gatekeeper
