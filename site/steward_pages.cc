#include "site/steward_pages.h"

#include <string>

#include "siteframe/site_request.h"
#include "websupport/action_dispatch.h"
#include "websupport/action_link.h"
#include "websupport/direct_logon.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"

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

void writeSiteHeading(const UserAuthority&) {
  writeText("Administration of users for <b>");
  writeEscaped(serverText("SERVER_NAME"));
  writeLine("</b><BR>");
}

// No Authority field travels; the delete chooser is a one-line drop-down.
constexpr UserPagesVariant kSiteUsers = {false, writeSiteHeading, true};

constexpr ActionEntry kActions[] = {
    {"", writeUserList, false},
    {"AddUser", writeAddUserForm, false},
    {"AddUserDo", addUser, true},
    {"DelUser", writeDeleteUserForm, false},
    {"DelUserDo", deleteUser, true},
    {"ChangeUser", writeChangeUserChooser, false},
    {"EditUser", writeEditUserForm, false},
    {"ChangeUserDo", changeUser, true},
};

// The pages work on the site's authority as the frame found it; its section's name in the
// messages.
void dispatch(ConfigFile& database, ConfigSection& authority, const FormFields& form,
              const FormFields& query) {
  const UserPageRequest request = {kSiteUsers, {&authority, authority.name()}, database, form};
  runAction(actionTable(), query.field("Action").text(), request);
}

constexpr SiteFrameStyle kFrame = {
    "Kestrel Gatekeeper (text) manager - WEB site edition",
    "Gatekeeper version 1.51 - authority manager",
    writeMenu,
};

}  // namespace

std::span<const ActionEntry> actionTable() { return kActions; }

int handleRequest(const FormFields& form, const FormFields& query, const FormFields&) {
  if (!admitDirectLogon()) return 0;
  return handleSiteRequest(kFrame, dispatch, form, query);
}

}  // namespace gatekeeper::steward
