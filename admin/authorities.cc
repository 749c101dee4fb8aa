#include "admin/authorities.h"

#include <string>

#include "accountdb/authority_rules.h"
#include "accountdb/database_names.h"
#include "accountdb/value_readers.h"
#include "accountpages/option_lists.h"
#include "websupport/form_markup.h"
#include "admin/result_line.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {
namespace {

const ConfigSection& authorities(const ConfigFile& database) {
  return *database.sectionByName(accountdb::kAccounts);
}

// The expiration policy as the add and edit pages explain it, in italics.
void writePolicyExplanation(const char* checkboxName) {
  writeText("<I>If ");
  writeText(checkboxName);
  writeLine(" is not checked users with empty expiration date will ne allowed to log on.<BR>");
  writeLine("If check bos is checked expiration date is required for all users in the authority "
            "except:<BR>");
  writeLine(" - Users not mapped to NT account <BR>");
  writeLine(" - Users with &quot;Account does not expire&quot; checked</I>");
}

using accountdb::AuthorityChange;
using accountdb::AuthorityRefusal;

// The page's one result line: the rule's sentence with the authority's name in bold.
void writeResult(const accountdb::Sentence& sentence) {
  writeText(sentence.lead);
  if (sentence.names > 0) writeBoldName(sentence.first);
  writeLine(sentence.middle + sentence.tail);
}

void writeEditRow(const ConfigSection& authority) {
  const char* name = authority.name() != nullptr ? authority.name() : "";
  writeFormStart("AuthRenDo");
  writeText("<TR><TD>");
  writeHiddenInput("Authority", name);
  writeTextInput("NewName", 30, name);
  writeText("</TD><TD>");
  writeCheckbox(accountdb::kExpirationRequired, "1",
                accountdb::readFlag(authority, accountdb::kExpirationRequired));
  writeText("Expiration required</TD><TD>");
  writeSubmitButton("Change");
  writeLine("</TD></TR>");
  writeFormEnd();
}

}  // namespace

void writeAddAuthorityForm(ConfigFile&, const FormFields&, const FormFields&) {
  writeLine("<p><b>Add new Authority</b></p>");
  writeFormStart("AuthAddDo");
  writeText("<P>Authority name: ");
  writeTextInput("Authority", 20);
  writeText(" ");
  writeSubmitButton("Submit");
  writeLine("</P>");
  writeText("<P>");
  writeCheckbox(accountdb::kExpirationRequired, "1", false);
  writeLine(" Require expiration date.<BR>");
  writePolicyExplanation("this check box");
  writeLine("</P>");
  writeFormEnd();
}

void addAuthority(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& name = form.field("Authority").text();
  const AuthorityRefusal refusal = accountdb::addAuthority(
      database, name, form.field(accountdb::kExpirationRequired).number());
  if (refusal != AuthorityRefusal::kNone) {
    writeResult(accountdb::authorityRefusalSentence(refusal, name, name));
  } else if (checkSaved(database)) {
    writeResult(accountdb::authorityChangeSentence(AuthorityChange::kAdded, name));
  }
}

void writeDeleteAuthorityForm(ConfigFile& database, const FormFields&, const FormFields&) {
  writeLine("<p><b>Delete Authority</b></p>");
  writeLine("<I>Warning ! Bindings to this authority will not work - you can create new "
            "authority with the same name at later time to restore user resolution.</I>");
  writeFormStart("AuthDelDo");
  writeLine("<P>Authority to delete:<BR>");
  writeSectionSelect("Authority", 12, authorities(database));
  writeLine("</P>");
  writeSubmitAndFormEnd("Submit");
}

void deleteAuthority(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& name = form.field("Authority").text();
  // A name that is not there deletes nothing and is confirmed all the same.
  accountdb::removeAuthority(database, name);
  if (checkSaved(database)) {
    writeResult(accountdb::authorityChangeSentence(AuthorityChange::kDeleted, name));
  }
}

void writeEditAuthorityForms(ConfigFile& database, const FormFields&, const FormFields&) {
  writeLine("<p><b>Rename (Edit) Authority</b></p>");
  writeLine("<I>Warning ! Renaming authority may cause some bindings to not work.</I><BR>");
  writePolicyExplanation("&quot;Expiration required&quot; check box");
  writeLine("<TABLE WIDTH=\"100%\">");
  writeLine("<TR><TD WIDTH=\"33%\" CLASS=\"outset\">Name: </TD>"
            "<TD WIDTH=\"33%\" CLASS=\"outset\">Expiration policy</TD>"
            "<TD WIDTH=\"34%\" CLASS=\"outset\"></TD></TR>");
  const ConfigSection& accounts = authorities(database);
  for (int32_t slot = 1; slot <= accounts.count(); ++slot) {
    const ConfigSection* authority = accounts.sectionByIndex(slot);
    if (!authority->isPlaceholder()) writeEditRow(*authority);
  }
  writeLine("</TABLE>");
}

void changeAuthority(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& name = form.field("Authority").text();
  const std::string& newName = form.field("NewName").text();
  const AuthorityRefusal refusal = accountdb::changeAuthority(
      database, name, newName, form.field(accountdb::kExpirationRequired).number());
  if (refusal != AuthorityRefusal::kNone) {
    writeResult(accountdb::authorityRefusalSentence(refusal, name, newName));
  } else if (checkSaved(database)) {
    writeResult(accountdb::authorityChangeSentence(AuthorityChange::kChanged, name));
  }
}

}  // namespace gatekeeper
