// The sections that overseer's storing pages write into: MAIN, MAIN/SERVERS, ACCOUNTS and
// NTACCOUNTS. A database without one of them still takes the change: the section is created.
#ifndef GATEKEEPER_ADMIN_STORE_SECTION_H_
#define GATEKEEPER_ADMIN_STORE_SECTION_H_

#include "configstore/config_section.h"

namespace gatekeeper {

// The section name in parent, created when there is none. nullptr, after writing the page's
// result line "Internal error - can not add section <name> !", when a value node of that name
// is in the way (or parent is a placeholder); the page then stores nothing.
ConfigSection* sectionToStoreIn(ConfigSection& parent, const char* name);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_STORE_SECTION_H_
