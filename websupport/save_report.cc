#include "websupport/save_report.h"

#include <string>

#include "websupport/error_log.h"
#include "websupport/response_writer.h"

namespace gatekeeper {

void reportNotSaved(const ConfigFile& database, const char* reason) {
  writeLine("Error: the configuration file could not be saved - the change was not stored !<BR>");
  const char* path = database.path() != nullptr ? database.path() : "";
  writeErrorLog(std::string("cannot save the account database ") + path + ": " + reason);
}

bool checkSaved(ConfigFile& database) {
  if (database.save()) return true;
  reportNotSaved(database, database.lastFailure().c_str());
  return false;
}

}  // namespace gatekeeper
