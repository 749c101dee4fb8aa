#include "admin/setup_error_page.h"

#include "websupport/form_markup.h"
#include "websupport/response_writer.h"

namespace gatekeeper {

int writeSetupErrorPage(int code) {
  writeSetupErrorLines(code);
  writeLine("Please specify at least configuration file (You can enter other parameters later):");
  writeFormStart("Config");
  writeLine("\t<P>Configuration file (required !): <INPUT TYPE=\"text\" NAME=\"Config\" SIZE=\"40\"></P>");
  writeLine("\t<P>Backup directory (must exist if specified): <INPUT TYPE=\"text\" NAME=\"Backup\" SIZE=\"40\"></P>");
  writeLine("\t<P><INPUT TYPE=\"submit\" VALUE=\"Submit\" NAME=\"B1\"></P>");
  writeFormEnd();
  writeLine("</BODY></HTML>");
  return code;
}

}  // namespace gatekeeper
