#include "admin/handle_request.h"

#include <string>

#include "accountpages/database_run.h"
#include "admin/header_block.h"
#include "admin/location_page.h"
#include "admin/page_frame.h"
#include "admin/reauthenticate.h"
#include "admin/setup_error_page.h"
#include "configstore/config_file.h"
#include "platform/names.h"
#include "websupport/cross_site_check.h"
#include "websupport/direct_logon.h"

namespace gatekeeper {

int handleRequest(const FormFields& form, const FormFields& query, const FormFields&) {
  const std::string& action = query.field("Action").text();
  if (platform::namesEqual(action.c_str(), "Reauthenticate")) {
    reauthenticate(query);
    return 0;
  }
  // Reauthentication reveals nothing and is how a refused browser logs on again; every other
  // page, the Config action included, serves the web server's own logons only.
  if (!admitDirectLogon()) return 0;
  writeHeaderBlock();
  if (platform::namesEqual(action.c_str(), "Config")) {
    if (admitStoringRequest()) saveLocation(form);
    return 0;
  }
  return runOnAccountDatabase(
      [&](ConfigFile& database) { writePageFrame(database, form, query); }, writeSetupErrorPage);
}

}  // namespace gatekeeper
