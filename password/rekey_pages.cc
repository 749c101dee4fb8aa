#include "password/rekey_pages.h"

#include <span>
#include <string>

#include "accountdb/database_names.h"
#include "accountdb/password_rules.h"
#include "accountdb/value_readers.h"
#include "password/account_status.h"
#include "password/failed_logon.h"
#include "passhash/password_hash.h"
#include "platform/clock.h"
#include "siteframe/site_request.h"
#include "websupport/action_dispatch.h"
#include "websupport/action_link.h"
#include "websupport/form_markup.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper::rekey {
namespace {

using accountdb::readFlag;
using accountdb::readText;

constexpr char kInvalidLogin[] = "Invalid username or password !";

using Page = void (*)(ConfigFile& database, ConfigSection& authority, const FormFields& form);

struct Entry {
  const char* name;
  Page handler;
  bool storing;
};

void writeSubmitParagraph(const char* label) {
  writeText("<p>");
  writeSubmitButton(label);
  writeLine("</p>");
}

// The user section named by User, when Pass is its password (a plain password compared
// exactly, a hash verified by its scheme); otherwise
// reports the failed logon (error log, pause), writes the one refusal for an unknown name and a
// wrong password alike and returns nullptr.
ConfigSection* loggedInUser(ConfigSection& authority, const FormFields& form) {
  const std::string& name = form.field("User").text();
  ConfigSection* user = authority.sectionByName(name.c_str());
  if (user->isPlaceholder() ||
      !passhash::verifyPassword(readText(*user, accountdb::kPassword), form.field("Pass").text())) {
    reportFailedLogon(
        user->isPlaceholder() ? LogonFailure::kUnknownUser : LogonFailure::kWrongPassword, name);
    writeLine(kInvalidLogin);
    return nullptr;
  }
  return user;
}

void writeLoginForm(ConfigFile&, ConfigSection& authority, const FormFields&) {
  writeLine("<h3>Authentication</h3>");
  writeFormStart("edit");
  writeText("<p>Username: ");
  writeTextInput("User", 20);
  writeLine("</p>");
  writeText("<p>Password: ");
  writePasswordInput("Pass", 20);
  writeLine("</p>");
  writeText("<p><I>Enter here your username and password for authority: <b>");
  writeEscaped(authority.name());
  writeLine("</b></I></p>");
  writeSubmitParagraph("Authenticate");
  writeFormEnd();
}

void writeHeading(const ConfigSection& authority, const FormFields& form) {
  writeText("<p><b>User: <I>");
  writeEscaped(form.field("User").text());
  writeText("</I> / authority: <I>");
  writeEscaped(authority.name());
  writeLine("</I></b></p>");
}

void writePasswordForm(const FormFields& form) {
  writeFormStart("editdo");
  writeHiddenInput("User", form.field("User").text());
  writeLine("");
  writeHiddenInput("Pass", form.field("Pass").text());
  writeLine("");
  writeText("<p>New password: ");
  writePasswordInput("Newpass", 20);
  writeLine("</p>");
  writeText("<p>Retype  new password: ");
  writePasswordInput("Newpass1", 20);
  writeLine("</p>");
  writeLine("<p><I>To change your password type it twice.</I></p>");
  writeSubmitParagraph("Change password");
  writeFormEnd();
}

void writeSettingsSummary(const ConfigSection& user) {
  writeText("Account is marked as: <b>");
  writeText(readFlag(user, accountdb::kNoExpiration) ? "Does not expires"
                                                      : "depends on default policy");
  writeLine("</b><BR>");
  writeText("Expire date: <b>");
  writeEscaped(readText(user, accountdb::kExpireDate));
  writeLine("</b><BR>");
  writeText("Account is: <B>");
  writeText(readFlag(user, accountdb::kDisabled) ? "disabled" : "not disabled");
  writeLine("</b><BR>");
  writeLine(readFlag(user, accountdb::kDoNotMap)
                ? "Account was handled by NT authority directly (it cannot be disabled and "
                  "never expires)"
                : "Account was handled by Gatekeeper filter.");
}

void writeStatusPage(ConfigFile&, ConfigSection& authority, const FormFields& form) {
  writeHeading(authority, form);
  const ConfigSection* user = loggedInUser(authority, form);
  if (user == nullptr) return;
  writePasswordForm(form);
  writeLine("<p><b>Account status</b></p>");
  writeAccountStatus(evaluateAccountStatus(*user, authority, platform::currentFileTime()), *user);
  writeLine("<p><b>Account settings</b></p>");
  writeSettingsSummary(*user);
}

void changePassword(ConfigFile& database, ConfigSection& authority, const FormFields& form) {
  writeHeading(authority, form);
  // Checked first, so that no answer tells an unmapped account from an unknown name before the
  // password matched.
  ConfigSection* user = loggedInUser(authority, form);
  if (user == nullptr) return;
  // Unmapped users are the server's own accounts: their password is not kept here.
  if (readFlag(*user, accountdb::kDoNotMap)) {
    writeLine(" Account was handled by NT authority directly and cannot be managed through this "
              "form !");
    return;
  }
  const std::string& newPassword = form.field("Newpass").text();
  if (newPassword != form.field("Newpass1").text()) {
    writeLine("New passwords do not match !");
    return;
  }
  // Stored as the database asks: hashed when its option says so.
  const accountdb::PasswordRefusal refusal =
      accountdb::setUserPassword(*user, accountdb::passwordStorage(database), newPassword);
  if (refusal == accountdb::PasswordRefusal::kSectionInTheWay) {
    // Nothing was changed: saving now would report a change that was never made.
    reportNotSaved(database, accountdb::passwordRefusalText(refusal, newPassword).c_str());
    return;
  }
  if (refusal != accountdb::PasswordRefusal::kNone) {
    writeLine(accountdb::passwordRefusalText(refusal, newPassword));
    return;
  }
  if (checkSaved(database)) writeLine(" Password canged");
}

constexpr Entry kPages[] = {
    {"", writeLoginForm, false},
    {"edit", writeStatusPage, false},
    {"editdo", changePassword, true},
};

void dispatch(ConfigFile& database, ConfigSection& authority, const FormFields& form,
              const FormFields& query) {
  runAction(std::span<const Entry>(kPages), query.field("Action").text(), database, authority,
            form);
}

constexpr SiteFrameStyle kFrame = {
    "Kestrel Gatekeeper (text) manager - account form",
    "Kestrel Gatekeeper version 1.51 - change password utility",
    nullptr,
};

}  // namespace

int handleRequest(const FormFields& form, const FormFields& query, const FormFields&) {
  return handleSiteRequest(kFrame, dispatch, form, query);
}

}  // namespace gatekeeper::rekey
