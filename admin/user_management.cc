#include "admin/user_management.h"

#include "accountdb/database_names.h"
#include "accountpages/option_lists.h"
#include "accountpages/user_pages.h"
#include "platform/names.h"
#include "websupport/action_link.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

// The pages the authority chooser may continue with: those that show an authority's users.
constexpr const char* kChooserTargets[] = {"ListAuthority", "AddUser", "DelUser", "ChangeUser"};

UserAuthority authorityFromForm(ConfigFile& database, const FormFields& form) {
  const std::string& name = form.field("Authority").text();
  ConfigSection* section =
      name.empty() ? nullSection()
                   : database.sectionByName(accountdb::kAccounts)->sectionByName(name.c_str());
  return {section, name};
}

void writeAuthorityHeading(const UserAuthority& authority) {
  writeText("Authority: <b>");
  writeEscaped(authority.name);
  writeLine("</b><BR>");
}

constexpr UserPagesVariant kOverseerUsers = {authorityFromForm, true, writeAuthorityHeading,
                                             false};

}  // namespace

int writeAuthorityChooser(ConfigFile& database, const FormFields&, const FormFields& query) {
  const std::string& postAction = query.field("PostAction").text();
  writeLine("<H3>Select Authority</H3>");
  for (const char* target : kChooserTargets) {
    if (!platform::namesEqual(target, postAction.c_str())) continue;
    writeText("<FORM METHOD=\"POST\" ACTION=\"");
    actionLink(target);
    writeLine("\">");
    writeLine("<SELECT NAME=\"Authority\" SIZE=\"1\">");
    writeSectionOptions(*database.sectionByName(accountdb::kAccounts));
    writeLine("</SELECT>");
    writeLine("<INPUT TYPE=\"submit\" VALUE=\"Next &gt;&gt;\" NAME=\"B1\">");
    writeLine("</FORM>");
    return 1;
  }
  writeText("No user page is named <b>");
  writeEscaped(postAction);
  writeLine("</b> !");
  return 1;
}

int writeAuthorityUsers(ConfigFile& database, const FormFields& form, const FormFields&) {
  return writeUserList(kOverseerUsers, database, form);
}

int writeAddUser(ConfigFile& database, const FormFields& form, const FormFields&) {
  return writeAddUserForm(kOverseerUsers, database, form);
}

int storeNewUser(ConfigFile& database, const FormFields& form, const FormFields&) {
  return addUser(kOverseerUsers, database, form);
}

int writeDeleteUser(ConfigFile& database, const FormFields& form, const FormFields&) {
  return writeDeleteUserForm(kOverseerUsers, database, form);
}

int storeUserDeletion(ConfigFile& database, const FormFields& form, const FormFields&) {
  return deleteUser(kOverseerUsers, database, form);
}

int writeChangeUser(ConfigFile& database, const FormFields& form, const FormFields&) {
  return writeChangeUserChooser(kOverseerUsers, database, form);
}

int writeEditUser(ConfigFile& database, const FormFields& form, const FormFields&) {
  return writeEditUserForm(kOverseerUsers, database, form);
}

int storeChangedUser(ConfigFile& database, const FormFields& form, const FormFields&) {
  return changeUser(kOverseerUsers, database, form);
}

}  // namespace gatekeeper
