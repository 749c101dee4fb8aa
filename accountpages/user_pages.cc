#include "accountpages/user_pages.h"

#include <memory>
#include <string_view>

#include "accountdb/database_names.h"
#include "accountdb/expiry_date.h"
#include "accountdb/user_entry.h"
#include "accountdb/value_readers.h"
#include "accountpages/form_checks.h"
#include "accountpages/option_lists.h"
#include "platform/names.h"
#include "websupport/action_link.h"
#include "websupport/form_markup.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {
namespace {

using accountdb::readFlag;
using accountdb::readText;

const std::string& userField(const FormFields& form) { return form.field("User").text(); }

// The hidden fields that name what a form works on: Authority where it travels, and the user
// when there is one.
void writeHiddenFields(const UserPagesVariant& variant, const UserAuthority& authority,
                       const std::string* user) {
  if (variant.authorityTravels) writeHiddenInput("Authority", authority.name);
  if (user != nullptr) writeHiddenInput("User", *user);
  writeLine("");
}

void writeHeading(const char* heading) {
  writeText("<H3>");
  writeText(heading);
  writeLine("</H3>");
}

// "<before><name><middle><authority><after>": the one-line result of a storing page.
void writeResult(const char* before, std::string_view user, const char* middle,
                 const UserAuthority& authority, const char* after) {
  writeText(before);
  writeEscaped(user);
  writeText(middle);
  writeEscaped(authority.name);
  writeText(after);
}

void writeAlreadyExists(std::string_view user, const UserAuthority& authority) {
  writeResult("User <B>", user, "</B> already exist in authority <B>", authority, "</b>\n");
}

// false, after writing "Authority <b>NAME</b> not found !", when there is no such authority.
bool checkAuthorityFound(const UserAuthority& authority) {
  if (!authority.section->isPlaceholder()) return true;
  writeText("Authority <b>");
  writeEscaped(authority.name);
  writeLine("</b> not found !");
  return false;
}

// The checks that adding and changing share, in their order; each failure writes the page's
// one result line.
bool admitUserEntry(const UserAuthority& authority, const FormFields& form) {
  if (!checkAuthorityFound(authority)) return false;
  const std::string& user = userField(form);
  if (user.empty()) {
    writeLine("User name can not be empty !");
    return false;
  }
  return checkStorableName("User name", user) &&
         checkStorablePassword(form.field("Pass").text());
}

accountdb::UserEntry userEntryFromForm(const FormFields& form) {
  accountdb::UserEntry entry;
  entry.password = form.field("Pass").text();
  entry.mapped = platform::namesEqual(form.field("MapTo").text().c_str(), "ON");
  entry.ntAccount = form.field("NTAcc").text();
  entry.expireDate = form.field("Expire").text();
  entry.noExpiration = form.field("noexpiration").number();
  entry.disabled = form.field("disabled").number();
  return entry;
}

void writeListCell(std::string_view text) {
  writeText("<TD BGCOLOR=\"#E0E0E0\">");
  writeEscaped(text);
  writeText("</TD>");
}

void writeRowButton(const UserPagesVariant& variant, const UserAuthority& authority,
                    const std::string& user, const char* action, const char* label) {
  writeText("<TD BGCOLOR=\"#E0E0E0\">");
  writeFormStart(action);
  writeHiddenFields(variant, authority, &user);
  writeSubmitButton(label);
  writeText("</FORM></TD>");
}

// The user list box of the choosers: the authority's users, none selected.
void writeUserSelect(const UserAuthority& authority, bool dropDown) {
  writeSectionSelect("User", dropDown ? 1 : 12, *authority.section);
}

void writeChooser(const UserPagesVariant& variant, ConfigFile& database, const FormFields& form,
                  const char* heading, const char* action, bool dropDown, const char* button) {
  const UserAuthority authority = variant.findAuthority(database, form);
  writeHeading(heading);
  writeFormStart(action);
  writeHiddenFields(variant, authority, nullptr);
  writeUserSelect(authority, dropDown);
  writeSubmitButton(button);
  writeFormEnd();
}

// The add form (user is nullptr) or the edit form of a user, its boxes filled from the stored
// values. The two differ in a few texts, kept here side by side.
void writeUserForm(const UserPagesVariant& variant, ConfigFile& database,
                   const UserAuthority& authority, const std::string* userName) {
  const bool editing = userName != nullptr;
  const ConfigSection& user =
      editing ? *accountdb::findUser(*authority.section, *userName) : *nullSection();
  writeHeading(editing ? "User" : "Add user");
  writeFormStart(editing ? "ChangeUserDo" : "AddUserDo");
  writeHiddenFields(variant, authority, userName);
  if (editing) {
    writeText("<P>Username: ");
    writeEscaped(*userName);
    writeLine("</P>");
  } else {
    writeLine("<P>Username: <INPUT TYPE=\"text\" NAME=\"User\" SIZE=\"20\"></P>");
  }
  writeText("<P>Password: ");
  writeTextInput("Pass", 20, readText(user, accountdb::kPassword));
  writeLine("</P>");
  writeLine("<P><I>Please pay attention to the appropriate account selection. If you are adding user that will manage this authority - leave authentication");
  writeLine("task to the IIS by unchecking MapTo checkbox.</I></P>");
  writeText("<P>");
  writeCheckbox("MapTo", "ON", !readFlag(user, accountdb::kDoNotMap));
  writeLine("Map to NT Account: <SELECT NAME=\"NTAcc\" SIZE=\"1\">");
  writeSectionOptions(*database.sectionByName(accountdb::kNtAccounts),
                      readText(user, accountdb::kMapTo));
  writeLine("</SELECT></P>");
  writeText("<P>");
  writeCheckbox("noexpiration", "1", readFlag(user, accountdb::kNoExpiration));
  writeLine("Account does not expire. Ignored for non-mapped accounts.</P>");
  writeLine(editing
                ? "<P><I>After date specified account will be disabled. Ignored for non-mapped accounts</I></P>"
                : "<P><I>After date specified account will be disabled. Ignored for non-mapped accounts.</I></P>");
  writeText(editing ? "<P>Expiration:" : "<P>Expiration (mm/dd/yyyy):");
  writeText(" ");
  writeTextInput("Expire", 20, readText(user, accountdb::kExpireDate));
  writeLine(editing ? " If this value is empty access will be granted only if:<BR>"
                    : "If this value is empty access will be granted only if:<BR>");
  writeLine("- account does not expire<BR>");
  writeLine("- Expiration required was not checked in the authority options</P>");
  writeText("<P>");
  writeCheckbox("disabled", "1", readFlag(user, accountdb::kDisabled));
  writeLine("Account disabled.</P>");
  writeText("<P>");
  writeSubmitButton("Submit");
  writeLine("</P>");
  writeFormEnd();
}

void writeExpiryWarning(const ConfigSection& user) {
  switch (accountdb::judgeExpiryDate(readText(user, accountdb::kExpireDate))) {
    case accountdb::ExpiryDateWarning::kUnreadable:
      writeText("<BR><I><B>Warning:</B> Date format specified can not be recognized - user authentication will fail if expiration is enabled !</I>");
      break;
    case accountdb::ExpiryDateWarning::kAfterLastYear:
      writeText("<BR><I><B>Warning:</B> Dates after year 2037 not supported - user authentication will fail if expiration is enabled !</I>");
      break;
    case accountdb::ExpiryDateWarning::kNone:
      break;
  }
}

}  // namespace

int writeUserList(const UserPagesVariant& variant, ConfigFile& database, const FormFields& form) {
  const UserAuthority authority = variant.findAuthority(database, form);
  variant.writeListHeading(authority);
  writeLine("List of registered users:<BR>");
  writeLine("<TABLE BORDER=\"0\" WIDTH=\"100%\" CELLSPACING=\"1\">");
  writeText("<TR>");
  for (const char* header : {"Username", "Mapped to NT Account ", "NT account", "Expire date",
                             "Disabled", "Edit", "Delete"}) {
    writeText("<TD BGCOLOR=\"#C0C0C0\" CLASS=\"outset\">");
    writeText(header);
    writeText("</TD>");
  }
  writeLine("</TR>");
  const ConfigSection& users = *authority.section;
  for (int32_t slot = 1; slot <= users.count(); ++slot) {
    const ConfigSection* user = users.sectionByIndex(slot);
    if (user->isPlaceholder()) continue;
    const std::string name = user->name() != nullptr ? user->name() : "";
    writeText("<TR>");
    writeListCell(name);
    writeListCell(readFlag(*user, accountdb::kDoNotMap) ? "No" : "Yes");
    writeListCell(readText(*user, accountdb::kMapTo));
    writeListCell(readText(*user, accountdb::kExpireDate));
    writeListCell(readFlag(*user, accountdb::kDisabled) ? "Yes" : "No");
    writeRowButton(variant, authority, name, "EditUser", "Edit");
    writeRowButton(variant, authority, name, "DelUserDo", "Delete");
    writeLine("</TR>");
  }
  writeLine("</TABLE>");
  return 1;
}

int writeAddUserForm(const UserPagesVariant& variant, ConfigFile& database,
                     const FormFields& form) {
  writeUserForm(variant, database, variant.findAuthority(database, form), nullptr);
  return 1;
}

int addUser(const UserPagesVariant& variant, ConfigFile& database, const FormFields& form) {
  const UserAuthority authority = variant.findAuthority(database, form);
  if (!admitUserEntry(authority, form)) return 1;
  const std::string& name = userField(form);
  if (!accountdb::findUser(*authority.section, name)->isPlaceholder() ||
      accountdb::isAuthorityValueName(*authority.section, name)) {
    writeAlreadyExists(name, authority);
    return 1;
  }
  accountdb::writeUserEntry(*authority.section->getOrCreateSection(name.c_str()),
                            userEntryFromForm(form));
  if (checkSaved(database)) {
    writeResult("User <b>", name, "</b> added to authority <B>", authority, "</B>\n");
  }
  return 1;
}

int writeDeleteUserForm(const UserPagesVariant& variant, ConfigFile& database,
                        const FormFields& form) {
  writeChooser(variant, database, form, "Delete User", "DelUserDo",
               variant.deleteChooserDropDown, "Delete");
  return 1;
}

int deleteUser(const UserPagesVariant& variant, ConfigFile& database, const FormFields& form) {
  const UserAuthority authority = variant.findAuthority(database, form);
  if (!checkAuthorityFound(authority)) return 1;
  const std::string& name = userField(form);
  ConfigSection* user = accountdb::findUser(*authority.section, name);
  if (!user->isPlaceholder()) authority.section->removeObject(user);
  if (checkSaved(database)) {
    writeResult("User <b>", name, "</b> deleted from authority <B>", authority, "</B>\n");
  }
  return 1;
}

int writeChangeUserChooser(const UserPagesVariant& variant, ConfigFile& database,
                           const FormFields& form) {
  writeChooser(variant, database, form, "User", "EditUser", false, "Submit");
  return 1;
}

int writeEditUserForm(const UserPagesVariant& variant, ConfigFile& database,
                      const FormFields& form) {
  writeUserForm(variant, database, variant.findAuthority(database, form), &userField(form));
  return 1;
}

int changeUser(const UserPagesVariant& variant, ConfigFile& database, const FormFields& form) {
  const UserAuthority authority = variant.findAuthority(database, form);
  if (!admitUserEntry(authority, form)) return 1;
  const std::string& name = userField(form);
  ConfigSection& users = *authority.section;
  if (accountdb::isAuthorityValueName(users, name)) {
    writeAlreadyExists(name, authority);
    return 1;
  }
  // The entry is replaced whole, in the slot of the old one, so the user keeps its place.
  ConfigSection* user = nullptr;
  if (accountdb::findUser(users, name)->isPlaceholder()) {
    user = users.getOrCreateSection(name.c_str());
  } else {
    const int32_t slot = users.indexOfName(name.c_str());
    users.setAtIndex(slot, new ConfigSection(name.c_str()));
    user = users.sectionByIndex(slot);
  }
  accountdb::writeUserEntry(*user, userEntryFromForm(form));
  if (checkSaved(database)) {
    writeResult("User <b>", name, "</b> changed in authority <B>", authority, "</B>");
    writeExpiryWarning(*user);
    writeLine("");
  }
  return 1;
}

}  // namespace gatekeeper
