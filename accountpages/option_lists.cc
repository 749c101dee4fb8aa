#include "accountpages/option_lists.h"

#include <string>

#include "accountdb/value_readers.h"
#include "configstore/config_value.h"
#include "platform/names.h"
#include "websupport/form_markup.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

void writeOption(const char* value, bool selected, std::string_view visibleSuffix = {}) {
  writeText(selected ? "<OPTION SELECTED VALUE=\"" : "<OPTION VALUE=\"");
  writeEscaped(value);
  writeText("\">");
  writeEscaped(value);
  writeEscaped(visibleSuffix);
  writeLine("</OPTION>");
}

}  // namespace

void writeSectionOptions(const ConfigSection& parent, std::string_view selected) {
  const std::string wanted(selected);
  for (int32_t slot = 1; slot <= parent.count(); ++slot) {
    const ConfigSection* child = parent.sectionByIndex(slot);
    if (child->isPlaceholder()) continue;
    const char* name = child->name() != nullptr ? child->name() : "";
    writeOption(name, !wanted.empty() && platform::namesEqual(name, wanted.c_str()));
  }
}

void writeSectionSelect(std::string_view name, int lines, const ConfigSection& parent,
                        std::string_view selected) {
  writeSelectStart(name, lines);
  writeSectionOptions(parent, selected);
  writeSelectEnd();
}

void writeBindingOptions(const ConfigSection& servers) {
  for (int32_t slot = 1; slot <= servers.count(); ++slot) {
    const ConfigValue* binding = servers.valueByIndex(slot);
    if (binding->isPlaceholder()) continue;
    const char* key = binding->name() != nullptr ? binding->name() : "";
    writeOption(key, false, std::string(" --> ") + accountdb::textOf(*binding));
  }
}

}  // namespace gatekeeper
