#include "websupport/save_report.h"

#include "websupport/response_writer.h"

namespace gatekeeper {

bool checkSaved(bool saved) {
  if (!saved) {
    writeLine("Error: the configuration file could not be saved - the change was not stored !<BR>");
  }
  return saved;
}

}  // namespace gatekeeper
