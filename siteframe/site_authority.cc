#include "siteframe/site_authority.h"

#include "accountdb/binding_key.h"
#include "accountdb/database_names.h"
#include "accountdb/value_readers.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"

namespace gatekeeper {

std::string siteBindingKey() {
  // bindingKey leaves the suffix out only for the port text "80" itself (digits have no letter
  // case), so an unset port, read as "", still adds "|".
  const std::string port = serverText("SERVER_PORT");
  return accountdb::bindingKey(serverText("SERVER_NAME"), port.c_str());
}

ConfigSection* siteAuthority(const ConfigSection& database) {
  const ConfigSection* servers =
      database.sectionByName(accountdb::kMain)->sectionByName(accountdb::kServers);
  const char* authority = accountdb::readText(*servers, siteBindingKey().c_str());
  if (*authority == '\0') return nullSection();
  return database.sectionByName(accountdb::kAccounts)->sectionByName(authority);
}

void writeNoSiteAuthority() {
  writeText("<H3>No authority was defined for site answering on ");
  writeEscaped(serverText("SERVER_NAME"));
  writeText(":");
  writeEscaped(serverText("SERVER_PORT"));
  writeLine("</H3>");
  writeLine("For more information contact your system administrator.");
}

}  // namespace gatekeeper
