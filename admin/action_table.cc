#include "admin/action_table.h"

#include <string>

#include "admin/authorities.h"
#include "admin/general_options.h"
#include "admin/location_page.h"
#include "admin/log_viewer.h"
#include "admin/logging_options.h"
#include "admin/nt_accounts.h"
#include "admin/reauthenticate.h"
#include "admin/site_bindings.h"
#include "admin/user_management.h"
#include "websupport/action_dispatch.h"

namespace gatekeeper {
namespace {

// The two pages answered before the frame.
void answerReauthenticate(const FormFields&, const FormFields& query) { reauthenticate(query); }
void answerConfig(const FormFields& form, const FormFields&) { saveLocation(form); }

// The pages in the order they are searched. The empty action (no Action field, or an empty
// one) is the configuration-file location page.
constexpr ActionEntry kActions[] = {
    {"Reauthenticate", nullptr, false, Answer::kFirst, answerReauthenticate},
    {"Config", nullptr, true, Answer::kBeforeFrame, answerConfig},
    {"", writeLocationPage, false},
    {"MainScreen", writeGeneralOptions, false},
    {"MainScreenDo", storeGeneralOptions, true},
    {"NTAccAdd", writeAddNtAccountForm, false},
    {"NTAccAddDo", addNtAccount, true},
    {"NTAccDel", writeDeleteNtAccountForm, false},
    {"NTAccDelDo", deleteNtAccount, true},
    {"NTAccPass", writeNtAccountPasswordForm, false},
    {"NTAccPassDo", changeNtAccountPassword, true},
    {"AuthAdd", writeAddAuthorityForm, false},
    {"AuthAddDo", addAuthority, true},
    {"AuthDel", writeDeleteAuthorityForm, false},
    {"AuthDelDo", deleteAuthority, true},
    {"AuthRen", writeEditAuthorityForms, false},
    {"AuthRenDo", changeAuthority, true},
    {"BindAdd", writeAddBindingForm, false},
    {"BindAddDo", addBinding, true},
    {"BindDel", writeDeleteBindingForm, false},
    {"BindDelDo", deleteBinding, true},
    {"SelectAuthority", writeAuthorityChooser, false},
    {"AddUser", onChosenAuthority<writeAddUserForm>, false},
    {"AddUserDo", onChosenAuthority<addUser>, true},
    {"DelUser", onChosenAuthority<writeDeleteUserForm>, false},
    {"DelUserDo", onChosenAuthority<deleteUser>, true},
    {"ChangeUser", onChosenAuthority<writeChangeUserChooser>, false},
    {"ChangeUserDo", onChosenAuthority<changeUser>, true},
    {"EditUser", onChosenAuthority<writeEditUserForm>, false},
    {"ListAuthority", onChosenAuthority<writeUserList>, false},
    {"ViewLog", writeLogViewer, false},
    {"NoLog", writeLoggingOptions, false},
    {"NoLogDo", storeLoggingOptions, true},
};

}  // namespace

std::span<const ActionEntry> actionTable() { return kActions; }

const ActionEntry* requestedAction(const FormFields& query) {
  return findAction(actionTable(), query.field("Action").text());
}

void answerBeforeFrame(const ActionEntry& entry, const FormFields& form, const FormFields& query) {
  runAdmitted(entry, [&] { entry.early(form, query); });
}

void dispatchAction(ConfigFile& database, const FormFields& form, const FormFields& query) {
  const ActionEntry* entry = requestedAction(query);
  if (entry == nullptr || entry->answer != Answer::kInFrame) return;
  runAdmitted(*entry, [&] { entry->handler(database, form, query); });
}

}  // namespace gatekeeper
