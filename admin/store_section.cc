#include "admin/store_section.h"

#include <string>

#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {

ConfigSection* sectionToStoreIn(ConfigSection& parent, const char* name) {
  ConfigSection* section = parent.getOrCreateSection(name);
  if (section == nullptr) {
    writeText("Internal error - can not add section ");
    writeEscaped(name);
    writeLine(" !");
  }
  return section;
}

void deleteSectionNamed(ConfigSection& parent, const std::string& name) {
  if (!parent.sectionByName(name.c_str())->isPlaceholder()) parent.deleteByName(name.c_str());
}

}  // namespace gatekeeper
