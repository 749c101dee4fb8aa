// The result line of a storing page when the account database could not be saved.
#ifndef GATEKEEPER_WEBSUPPORT_SAVE_REPORT_H_
#define GATEKEEPER_WEBSUPPORT_SAVE_REPORT_H_

namespace gatekeeper {

// Returns saved. When it is false, writes "Error: the configuration file could not be saved -
// the change was not stored !" as the page's result line, so that a storing page reads
//   if (checkSaved(database.save())) writeLine("...success text...");
bool checkSaved(bool saved);

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_SAVE_REPORT_H_
