#include "admin/user_management.h"

#include "accountdb/database_names.h"
#include "accountpages/option_lists.h"
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

constexpr UserPagesVariant kOverseerUsers = {true, writeAuthorityHeading, false};

}  // namespace

UserPageRequest chosenAuthorityRequest(ConfigFile& database, const FormFields& form) {
  return {kOverseerUsers, authorityFromForm(database, form), database, form};
}

void writeAuthorityChooser(ConfigFile& database, const FormFields&, const FormFields& query) {
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
    return;
  }
  writeText("No user page is named <b>");
  writeEscaped(postAction);
  writeLine("</b> !");
}

}  // namespace gatekeeper
