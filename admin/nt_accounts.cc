#include "admin/nt_accounts.h"

#include <string>

#include "accountdb/database_names.h"
#include "accountdb/nt_account_rules.h"
#include "accountpages/option_lists.h"
#include "websupport/form_markup.h"
#include "admin/result_line.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {
namespace {

const ConfigSection& ntAccounts(const ConfigFile& database) {
  return *database.sectionByName(accountdb::kNtAccounts);
}

// Writes the page's one result line for a refusal of the rules; true when there is none.
bool admitted(accountdb::NtAccountRefusal refusal, const std::string& password) {
  if (refusal == accountdb::NtAccountRefusal::kNone) return true;
  writeLine(accountdb::ntAccountRefusalSentence(refusal, password).plain());
  return false;
}

// Writes the page's result line for a change stored by the rules, the name in bold.
void writeChanged(accountdb::NtAccountChange change, const std::string& name) {
  const accountdb::Sentence sentence = accountdb::ntAccountChangeSentence(change, name);
  writeText(sentence.lead);
  if (sentence.names > 0) writeBoldName(sentence.first);
  writeLine(sentence.tail);
}

void writePasswordRows() {
  writeText("<TR><TD>Password:</TD><TD>");
  writePasswordInput("Pass", 20);
  writeLine("</TD></TR>");
}

}  // namespace

void writeAddNtAccountForm(ConfigFile&, const FormFields&, const FormFields&) {
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
}

void addNtAccount(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& user = form.field("User").text();
  const std::string& password = form.field("Pass").text();
  if (!admitted(accountdb::addNtAccount(database, user, password, form.field("Pass2").text()),
                password)) {
    return;
  }
  if (checkSaved(database)) writeChanged(accountdb::NtAccountChange::kAdded, user);
}

void writeDeleteNtAccountForm(ConfigFile& database, const FormFields&, const FormFields&) {
  writeLine("<p><b>Delete NT Account</b></p>");
  writeLine("<I>Warning ! All users mapped to this account will not be able to log on unless you "
            "change mapping ");
  writeLine("for each of them</I>");
  writeFormStart("NTAccDelDo");
  writeText("<P>Username: ");
  writeSectionSelect("NTAccount", 1, ntAccounts(database));
  writeLine("</P>");
  writeSubmitAndFormEnd("Submit");
}

void deleteNtAccount(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& name = form.field("NTAccount").text();
  accountdb::removeNtAccount(database, name);
  if (checkSaved(database)) writeChanged(accountdb::NtAccountChange::kDeleted, name);
}

void writeNtAccountPasswordForm(ConfigFile& database, const FormFields&, const FormFields&) {
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
}

void changeNtAccountPassword(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& user = form.field("User").text();
  const std::string& password = form.field("Pass").text();
  const accountdb::NtAccountRefusal refusal =
      accountdb::changeNtAccountPassword(database, user, password, form.field("Pass2").text());
  if (refusal == accountdb::NtAccountRefusal::kNotFound) {
    writeLine("User name not found !<BR>");
    return;
  }
  if (!admitted(refusal, password)) return;
  if (checkSaved(database)) writeChanged(accountdb::NtAccountChange::kPasswordChanged, user);
}

}  // namespace gatekeeper
