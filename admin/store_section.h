// The sections that overseer's storing pages write into (MAIN, MAIN/SERVERS, ACCOUNTS and
// NTACCOUNTS; a missing one is created, so the change is still taken) or delete from.
#ifndef GATEKEEPER_ADMIN_STORE_SECTION_H_
#define GATEKEEPER_ADMIN_STORE_SECTION_H_

#include <string>

#include "configstore/config_section.h"

namespace gatekeeper {

// The section name in parent, created when there is none. nullptr, after writing the page's
// result line "Internal error - can not add section <name> !", when a value node of that name
// is in the way (or parent is a placeholder); the page then stores nothing.
ConfigSection* sectionToStoreIn(ConfigSection& parent, const char* name);

// Removes the section name from parent (an NT account, an authority). A value node of that name
// is no such item and stays; a name that is not there removes nothing.
void deleteSectionNamed(ConfigSection& parent, const std::string& name);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_STORE_SECTION_H_
