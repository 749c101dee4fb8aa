#include "admin/reauthenticate.h"

#include <string>

#include "admin/header_block.h"
#include "platform/names.h"
#include "websupport/action_link.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"
#include "websupport/url_encoding.h"

namespace gatekeeper {

void reauthenticate(const FormFields& query) {
  const std::string& oldUser = query.field("Olduser").text();
  const std::string user = serverText("AUTH_USER");
  if (platform::namesEqual(oldUser.c_str(), user.c_str())) {
    writeText("Status: 401\n\n");
    return;
  }
  writeHeaderBlock();
  writeText("You are reauthenticated successfully as ");
  writeEscaped(user);
  writeLine(".<BR>");
  writeText("<A HREF=\"");
  writeScriptUrl();
  writeLine("\">Click here to continue ...</A>");
}

void writeReauthenticateUrl() {
  actionLink("Reauthenticate");
  writeText("&Olduser=");
  writeEscaped(urlEncode(serverText("AUTH_USER")));
}

}  // namespace gatekeeper
