#include "admin/login_diagnostics.h"

#include <string>

#include "admin/reauthenticate.h"
#include "platform/names.h"
#include "websupport/direct_logon.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"

namespace gatekeeper {
namespace {

void writeLoginLine(const char* label, const std::string& value) {
  writeText(label);
  writeEscaped(value);
  writeLine("<BR>");
}

void writeReauthenticateLink() {
  writeText("<A HREF=\"");
  writeReauthenticateUrl();
  writeLine("\">Click here</A>");
}

void explainAnonymousAccess() {
  writeLine("No authentication was done by the IIS - you are logged in as an anonymous user.");
  writeLine("Make sure that IIS requires authentication when accessing OVERSEER.EXE.<BR>");
  writeLine("Suggestion: Open the Internet services management console. Find the site and directory");
  writeLine("containing the OVERSEER.EXE click properties for the file and on the file security dialog");
  writeLine("clear (Allow anonymous access) check box.<BR>");
  writeText("You can try to reauthenticate: ");
  writeReauthenticateLink();
}

void explainMappedAccount() {
  writeLine(kLogonReplacedText);
  writeLine("This can be a signal that the Gatekeeper filter works and handles requests to the admin CGI.");
  writeLine("You will need to make sure that access to this CGI was done without filter interference.<BR>");
  writeLine("Suggestion: Place OVERSEER.EXE on the site not handled by the filter. Or you can add an unmapped");
  writeLine("user to the authority used for the current site. To do so you may need to temporary unload or disable");
  writeLine("the filter. Consult the FAQ in the filter's help (.CHM) file for information how to do this without stopping the");
  writeLine("WEB server.<BR>");
  writeText("You can try to reauthenticate: ");
  writeReauthenticateLink();
}

void explainMissingRights(const std::string& authType) {
  writeLine("You are correctly logged in but system registry is still unaccessible for writting. This");
  writeLine("may mean that you are not authenticated by the IIS using the user account with the admin privileges.<BR>");
  if (authType == "NTLM") {
    writeLine("<I>It seems that  NT Challenge Response authentication is used.<BR>");
    writeLine("It is quite possible that Internet Explorer authenticated you with the current credentials");
    writeLine("of the NT account used locally. Make sure that this account is an administrative.</I><BR>");
  }
  writeText("<B>You can try to reauthenticate if you think that it is possible to logon correctly with an administrative account:</B> ");
  writeReauthenticateLink();
}

}  // namespace

void writeLoginDiagnostics() {
  const std::string user = serverText("AUTH_USER");
  const std::string logonUser = serverText("LOGON_USER");
  const std::string authType = serverText("AUTH_TYPE");
  writeLine("<BR><B>Listing of the login information currently used.</B><BR>");
  writeLoginLine("<B>Authenticated user name:</B>", user);
  writeLoginLine("<B>NT account used:</B>", logonUser);
  writeLoginLine("<B>Computer name</B>", serverText("COMPUTERNAME"));
  writeLoginLine("<B>Authentication type:</B>", authType);
  writeLine("<BR>Possible reasons for the problem:<BR>");
  if (user.empty()) {
    explainAnonymousAccess();
  } else if (!platform::namesEqual(user.c_str(), logonUser.c_str())) {
    explainMappedAccount();
  } else {
    explainMissingRights(authType);
  }
}

}  // namespace gatekeeper
