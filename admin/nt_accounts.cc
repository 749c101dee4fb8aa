#include "admin/nt_accounts.h"

#include <string>

#include "accountdb/database_names.h"
#include "accountpages/form_checks.h"
#include "accountpages/option_lists.h"
#include "websupport/form_markup.h"
#include "admin/result_line.h"
#include "admin/store_section.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {
namespace {

const ConfigSection& ntAccounts(const ConfigFile& database) {
  return *database.sectionByName(accountdb::kNtAccounts);
}

// The two password entries must be equal (case included) and storable; otherwise the page's
// one line is written.
bool checkPasswordEntries(const std::string& password, const std::string& confirmation) {
  if (password != confirmation) {
    writeLine("Password entries do not match !");
    return false;
  }
  return checkStorablePassword(password);
}

void writePasswordRows() {
  writeText("<TR><TD>Password:</TD><TD>");
  writePasswordInput("Pass", 20);
  writeLine("</TD></TR>");
}

}  // namespace

int writeAddNtAccountForm(ConfigFile&, const FormFields&, const FormFields&) {
  writeLine("<p><b>Add NT Account</b></p>");
  writeLine("Every successfuly authenticated user will be mapped to one of these accounts. This "
            "account will be used when system ");
  writeLine("checks file system access rights of the authenticated users.");
  writeFormStart("NTAccAddDo");
  writeLine("<TABLE>");
  writeText("<TR><TD>Username:</TD><TD>");
  writeTextInput("User", 20);
  writeLine("</TD></TR>");
  writePasswordRows();
  writeText("<TR><TD>Password (Confirm):</TD><TD>");
  writePasswordInput("Pass2", 20);
  writeLine("</TD></TR>");
  writeLine("</TABLE>");
  writeSubmitAndFormEnd("Submit");
  return 1;
}

int addNtAccount(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& user = form.field("User").text();
  const std::string& password = form.field("Pass").text();
  if (user.empty()) {
    writeLine("User name not specified !");
    return 1;
  }
  if (!checkStorableName("User name", user)) return 1;
  if (!checkPasswordEntries(password, form.field("Pass2").text())) return 1;
  if (!ntAccounts(database).sectionByName(user.c_str())->isPlaceholder()) {
    writeLine("Account allready exist !");
    return 1;
  }
  ConfigSection* accounts = sectionToStoreIn(database, accountdb::kNtAccounts);
  if (accounts == nullptr) return 1;
  ConfigSection* account = accounts->getOrCreateSection(user.c_str());
  if (account == nullptr) {
    writeLine("Internal error - can not add section for new NT account !");
    return 1;
  }
  account->setString(accountdb::kPassword, password.c_str());
  if (checkSaved(database)) {
    writeText("NT Account ");
    writeBoldName(user);
    writeLine(" added successfuly. ");
  }
  return 1;
}

int writeDeleteNtAccountForm(ConfigFile& database, const FormFields&, const FormFields&) {
  writeLine("<p><b>Delete NT Account</b></p>");
  writeLine("<I>Warning ! All users mapped to this account will not be able to log on unless you "
            "change mapping ");
  writeLine("for each of them</I>");
  writeFormStart("NTAccDelDo");
  writeText("<P>Username: ");
  writeSectionSelect("NTAccount", 1, ntAccounts(database));
  writeLine("</P>");
  writeSubmitAndFormEnd("Submit");
  return 1;
}

int deleteNtAccount(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& name = form.field("NTAccount").text();
  ConfigSection& accounts = *database.sectionByName(accountdb::kNtAccounts);
  deleteSectionNamed(accounts, name);
  if (checkSaved(database)) writeLine("Account deleted.");
  return 1;
}

int writeNtAccountPasswordForm(ConfigFile& database, const FormFields&, const FormFields&) {
  writeLine("<p><b>Change NT Account password</b></p>");
  writeFormStart("NTAccPassDo");
  writeLine("<TABLE>");
  writeText("<TR><TD>Username: </TD><TD>");
  writeSectionSelect("User", 1, ntAccounts(database));
  writeLine("</TD></TR>");
  writePasswordRows();
  writeText("<TR><TD>Password:</TD><TD>");
  writePasswordInput("Pass2", 20);
  writeLine("</TD></TR>");
  writeLine("</TABLE>");
  writeSubmitAndFormEnd("Submit");
  return 1;
}

int changeNtAccountPassword(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& user = form.field("User").text();
  const std::string& password = form.field("Pass").text();
  ConfigSection* account = database.sectionByName(accountdb::kNtAccounts)->sectionByName(user.c_str());
  if (account->isPlaceholder()) {
    writeLine("User name not found !<BR>");
    return 1;
  }
  if (!checkPasswordEntries(password, form.field("Pass2").text())) return 1;
  // Get or create: an existing Password value keeps its name and gets its first string item
  // replaced; a missing one is created as "password".
  if (!account->setString(accountdb::kPasswordWrittenByChange, password.c_str())) {
    writeLine("Internal error - can not store the password !");
    return 1;
  }
  if (checkSaved(database)) {
    writeText("Password of NT Account ");
    writeBoldName(user);
    writeLine(" changed successfuly. ");
  }
  return 1;
}

}  // namespace gatekeeper
