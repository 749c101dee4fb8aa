#include "site/steward_pages.h"

#include "site/site_request.h"
#include "websupport/action_dispatch.h"
#include "websupport/action_link.h"
#include "websupport/response_writer.h"

namespace gatekeeper::steward {
namespace {

struct MenuEntry {
  const char* text;
  const char* action;
};

constexpr MenuEntry kMenu[] = {
    {"User list", ""},
    {"Add new user", "AddUser"},
    {"Delete user", "DelUser"},
    {"Change user", "ChangeUser"},
};

void writeMenu() {
  writeLine("Menu<BR>");
  for (const MenuEntry& entry : kMenu) {
    writeText("<a href=\"");
    actionLink(entry.action);
    writeText("\">");
    writeText(entry.text);
    writeLine("</a><BR>");
  }
}

void dispatch(ConfigFile& database, ConfigSection& authority, const FormFields& form,
              const FormFields& query) {
  runAction(actionTable(), query.field("Action").text(), database, authority, form, query);
}

constexpr SiteFrameStyle kFrame = {
    "Kestrel Gatekeeper (text) manager - WEB site edition",
    "Gatekeeper version 1.51 - authority manager",
    writeMenu,
};

}  // namespace

// The user pages (list, add, delete, change) join this table from the shared user pages.
std::span<const ActionEntry> actionTable() { return {}; }

int handleRequest(const FormFields& form, const FormFields& query, const FormFields&) {
  return handleSiteRequest(kFrame, dispatch, form, query);
}

}  // namespace gatekeeper::steward
