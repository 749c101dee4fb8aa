// The options of the select lists that name what the account database holds: NT accounts,
// authorities and users (child sections, in slot order) and site bindings (the values of
// MAIN/SERVERS). Every page that offers such a choice writes its options here, so all lists
// agree in order and form.
#ifndef GATEKEEPER_ACCOUNTPAGES_OPTION_LISTS_H_
#define GATEKEEPER_ACCOUNTPAGES_OPTION_LISTS_H_

#include <string_view>

#include "configstore/config_section.h"

namespace gatekeeper {

// One "<OPTION VALUE="name">name</OPTION>" line per child section of parent, in slot order;
// empty slots and value nodes are skipped. The option whose name equals selected (ignoring
// case) is marked SELECTED; with the default, none is. A placeholder parent writes nothing.
void writeSectionOptions(const ConfigSection& parent, std::string_view selected = {});

// A select list named name, lines high, holding writeSectionOptions(parent, selected).
void writeSectionSelect(std::string_view name, int lines, const ConfigSection& parent,
                        std::string_view selected = {});

// One option per binding of servers (MAIN/SERVERS), in slot order, skipping empty slots and
// sections: the value is the binding key, the visible text the key, " --> " and the authority.
void writeBindingOptions(const ConfigSection& servers);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ACCOUNTPAGES_OPTION_LISTS_H_
