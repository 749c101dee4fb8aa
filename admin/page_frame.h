// The frame around every page of overseer: head and style sheet, banner, menu, login
// information box, content cell and footer.
#ifndef GATEKEEPER_ADMIN_PAGE_FRAME_H_
#define GATEKEEPER_ADMIN_PAGE_FRAME_H_

#include <span>

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// One link of the menu: the page of action, or the authority chooser (action SelectAuthority)
// that continues with the page of postAction.
struct MenuEntry {
  const char* text;
  const char* action;
  const char* postAction;  // nullptr: a plain action link
};

// The menu's links, top to bottom.
std::span<const MenuEntry> frameMenu();

// Writes the whole HTML body of a framed page; the content cell holds what dispatchAction
// writes for the query's Action. Never saves the database.
void writePageFrame(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_PAGE_FRAME_H_
