// The one save of a storing page, and its report when the account database could not be saved.
#ifndef GATEKEEPER_WEBSUPPORT_SAVE_REPORT_H_
#define GATEKEEPER_WEBSUPPORT_SAVE_REPORT_H_

#include "configstore/config_file.h"

namespace gatekeeper {

// Saves the database and returns whether it was saved. When it was not, writes "Error: the
// configuration file could not be saved - the change was not stored !" as the page's result
// line, and one line to the error log naming the file and the reason (ConfigFile::lastFailure),
// so that a storing page reads
//   if (checkSaved(database)) writeLine("...success text...");
bool checkSaved(ConfigFile& database);

// The page's line of a change that could not be stored before the save was reached (a section
// it needed could not be made), with the same error log line naming the file and reason.
void reportNotSaved(const ConfigFile& database, const char* reason);

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_SAVE_REPORT_H_
