#include "accountpages/user_pages.h"

#include <memory>
#include <string_view>

#include "accountdb/database_names.h"
#include "accountdb/expiry_date.h"
#include "accountdb/password_rules.h"
#include "accountdb/user_entry.h"
#include "accountdb/user_rules.h"
#include "accountdb/value_readers.h"
#include "accountpages/option_lists.h"
#include "accountpages/sentence_markup.h"
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
void writeHiddenFields(const UserPageRequest& request, const std::string* user) {
  if (request.variant.authorityTravels) writeHiddenInput("Authority", request.authority.name);
  if (user != nullptr) writeHiddenInput("User", *user);
  writeLine("");
}

void writeHeading(const char* heading) {
  writeText("<H3>");
  writeText(heading);
  writeLine("</H3>");
}

// Writes the page's one result line for a refusal of the rules; true when there is none.
bool admitted(accountdb::UserRefusal refusal, const UserPageRequest& request) {
  if (refusal == accountdb::UserRefusal::kNone) return true;
  const accountdb::Sentence sentence =
      accountdb::refusalSentence(refusal, userField(request.form), request.authority.name,
                                 request.form.field("Pass").text());
  if (refusal == accountdb::UserRefusal::kAlreadyExists) {
    writeSentence(sentence, "<B>", "</B>", "<B>", "</b>");
  } else {
    writeSentence(sentence, "<b>", "</b>");
  }
  writeLine("");
  return false;
}

// Saves the database and writes the page's one result line for the change stored by the rules
// (a failed save is reported instead); true when saved.
bool savedChange(accountdb::UserChange change, const UserPageRequest& request) {
  if (!checkSaved(request.database)) return false;
  writeSentence(
      accountdb::changeSentence(change, userField(request.form), request.authority.name), "<b>",
      "</b>", "<B>", "</B>");
  return true;
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

void writeRowButton(const UserPageRequest& request, const std::string& user, const char* action,
                    const char* label) {
  writeText("<TD BGCOLOR=\"#E0E0E0\">");
  writeFormStart(action);
  writeHiddenFields(request, &user);
  writeSubmitButton(label);
  writeText("</FORM></TD>");
}

// The user list box of the choosers: the authority's users, none selected.
void writeUserSelect(const UserAuthority& authority, bool dropDown) {
  writeSectionSelect("User", dropDown ? 1 : 12, *authority.section);
}

void writeChooser(const UserPageRequest& request, const char* heading, const char* action,
                  bool dropDown, const char* button) {
  writeHeading(heading);
  writeFormStart(action);
  writeHiddenFields(request, nullptr);
  writeUserSelect(request.authority, dropDown);
  writeSubmitButton(button);
  writeFormEnd();
}

// The add form (user is nullptr) or the edit form of a user, its boxes filled from the stored
// values. The two differ in a few texts, kept here side by side.
void writeUserForm(const UserPageRequest& request, const std::string* userName) {
  ConfigFile& database = request.database;
  const bool editing = userName != nullptr;
  const ConfigSection& user =
      editing ? *accountdb::findUser(*request.authority.section, *userName) : *nullSection();
  writeHeading(editing ? "User" : "Add user");
  writeFormStart(editing ? "ChangeUserDo" : "AddUserDo");
  writeHiddenFields(request, userName);
  if (editing) {
    writeText("<P>Username: ");
    writeEscaped(*userName);
    writeLine("</P>");
  } else {
    writeLine("<P>Username: <INPUT TYPE=\"text\" NAME=\"User\" SIZE=\"20\"></P>");
  }
  // A form never shows a hash; where an empty field keeps the stored password it shows none.
  writeText("<P>Password: ");
  if (editing && accountdb::emptyPasswordKeepsStored(accountdb::passwordStorage(database), user)) {
    writeTextInput("Pass", 20);
    writeText(" <I>leave empty to keep the password</I>");
  } else {
    writeTextInput("Pass", 20, readText(user, accountdb::kPassword));
  }
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
  const char* warning = accountdb::expiryWarningText(
      accountdb::judgeExpiryDate(readText(user, accountdb::kExpireDate)));
  if (warning == nullptr) return;
  writeText("<BR><I><B>Warning:</B> ");
  writeText(warning);
  writeText("</I>");
}

}  // namespace

void writeUserList(const UserPageRequest& request) {
  request.variant.writeListHeading(request.authority);
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
  const ConfigSection& users = *request.authority.section;
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
    writeRowButton(request, name, "EditUser", "Edit");
    writeRowButton(request, name, "DelUserDo", "Delete");
    writeLine("</TR>");
  }
  writeLine("</TABLE>");
}

void writeAddUserForm(const UserPageRequest& request) { writeUserForm(request, nullptr); }

void addUser(const UserPageRequest& request) {
  if (!admitted(accountdb::addUser(*request.authority.section, userField(request.form),
                                   userEntryFromForm(request.form),
                                   accountdb::passwordStorage(request.database)),
                request)) {
    return;
  }
  if (savedChange(accountdb::UserChange::kAdded, request)) writeLine("");
}

void writeDeleteUserForm(const UserPageRequest& request) {
  writeChooser(request, "Delete User", "DelUserDo", request.variant.deleteChooserDropDown,
               "Delete");
}

void deleteUser(const UserPageRequest& request) {
  if (!admitted(accountdb::removeUser(*request.authority.section, userField(request.form)),
                request)) {
    return;
  }
  if (savedChange(accountdb::UserChange::kDeleted, request)) writeLine("");
}

void writeChangeUserChooser(const UserPageRequest& request) {
  writeChooser(request, "User", "EditUser", false, "Submit");
}

void writeEditUserForm(const UserPageRequest& request) {
  writeUserForm(request, &userField(request.form));
}

void changeUser(const UserPageRequest& request) {
  ConfigSection* user = nullptr;
  if (!admitted(accountdb::replaceUser(*request.authority.section, userField(request.form),
                                       userEntryFromForm(request.form), &user,
                                       accountdb::passwordStorage(request.database)),
                request)) {
    return;
  }
  if (savedChange(accountdb::UserChange::kChanged, request)) {
    writeExpiryWarning(*user);
    writeLine("");
  }
}

}  // namespace gatekeeper
