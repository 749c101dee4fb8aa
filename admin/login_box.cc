#include "admin/login_box.h"

#include "admin/reauthenticate.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"

namespace gatekeeper {
namespace {

void writeLoginRow(const char* label, const char* variable) {
  writeText("\t<TR><TD>");
  writeText(label);
  writeText("</TD><TD><I>");
  writeEscaped(serverText(variable));
  writeLine("</I></TD></TR>");
}

}  // namespace

void writeLoginBox() {
  writeLine("<TABLE CLASS=\"inset\" WIDTH=\"95%\">");
  writeLine("\t<TR><TH COLSPAN=\"2\">Login information</TH></TR>");
  writeLoginRow("User", "AUTH_USER");
  writeLoginRow("NT Account used", "LOGON_USER");
  writeLoginRow("Computer name", "COMPUTERNAME");
  writeLoginRow("Authentication type", "AUTH_TYPE");
  writeLine("\t<TR><TD COLSPAN=\"2\"><HR SIZE=\"1\" NOSHADE COLOR=\"#000000\"></TD></TR>");
  writeText("\t<TR><TD COLSPAN=\"2\"><A HREF=\"");
  writeReauthenticateUrl();
  writeLine("\">Authenticate as another user</A></TD></TR>");
  writeLine("</TABLE>");
}

}  // namespace gatekeeper
