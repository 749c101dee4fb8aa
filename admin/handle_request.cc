#include "admin/handle_request.h"

#include "accountpages/database_run.h"
#include "admin/action_table.h"
#include "admin/header_block.h"
#include "admin/page_frame.h"
#include "admin/setup_error_page.h"
#include "configstore/config_file.h"
#include "websupport/direct_logon.h"

namespace gatekeeper {

int handleRequest(const FormFields& form, const FormFields& query, const FormFields&) {
  const ActionEntry* entry = requestedAction(query);
  const Answer answer = entry != nullptr ? entry->answer : Answer::kInFrame;
  if (answer == Answer::kFirst) {
    answerBeforeFrame(*entry, form, query);
    return 0;
  }
  // Reauthentication reveals nothing and is how a refused browser logs on again; every other
  // page, the Config action included, serves the web server's own logons only.
  if (!admitDirectLogon()) return 0;
  writeHeaderBlock();
  if (answer == Answer::kBeforeFrame) {
    answerBeforeFrame(*entry, form, query);
    return 0;
  }
  return runOnAccountDatabase(
      [&](ConfigFile& database) { writePageFrame(database, form, query); }, writeSetupErrorPage);
}

}  // namespace gatekeeper
