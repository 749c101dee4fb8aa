#include "websupport/direct_logon.h"

#include <optional>

#include "platform/names.h"
#include "websupport/error_log.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"

namespace gatekeeper {

std::string logonAccount() {
  if (std::optional<std::string> account = serverVariable("LOGON_USER")) return *account;
  return serverText("REMOTE_USER");
}

bool logonReplacedByFilter() {
  if (!serverText(kLogonReplacedVariable).empty()) return true;
  const std::string user = serverText("AUTH_USER");
  return !user.empty() && !platform::namesEqual(user.c_str(), logonAccount().c_str());
}

bool admitDirectLogon() {
  if (!logonReplacedByFilter()) return true;
  const std::string user = serverText("AUTH_USER");
  const std::string account = logonAccount();
  writeErrorLog("request refused: the filter logged user " + escapeForLog(user) +
                " on as the server account " + escapeForLog(account) +
                "; this program serves direct logons only");
  writeText("Status: 403 Forbidden\n");
  writeContentType("text/html");
  writeLine("<HTML><BODY>");
  writeText(kLogonReplacedText);
  writeLine("<BR>");
  writeLine("</BODY></HTML>");
  return false;
}

}  // namespace gatekeeper
