#include "admin/action_table.h"

#include <string>

#include "admin/authorities.h"
#include "admin/general_options.h"
#include "admin/location_page.h"
#include "admin/nt_accounts.h"
#include "admin/site_bindings.h"
#include "websupport/action_dispatch.h"

namespace gatekeeper {
namespace {

// Every page is added here as it is built. The empty action (no Action field, or an empty one)
// is the configuration-file location page; "Reauthenticate" and "Config" are answered before
// the frame is written (admin/handle_request.cc).
constexpr ActionEntry kActions[] = {
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
};

}  // namespace

std::span<const ActionEntry> actionTable() { return kActions; }

void dispatchAction(ConfigFile& database, const FormFields& form, const FormFields& query) {
  runAction(actionTable(), query.field("Action").text(), database, form, query);
}

}  // namespace gatekeeper
