// overseer's user pages: the authority chooser and the user pages of accountpages/, working on
// the authority named by the form field Authority.
#ifndef GATEKEEPER_ADMIN_USER_MANAGEMENT_H_
#define GATEKEEPER_ADMIN_USER_MANAGEMENT_H_

#include "accountpages/user_pages.h"
#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// SelectAuthority: the authorities of ACCOUNTS in a drop-down Authority, posted to the user
// page named by the query field PostAction (ListAuthority, AddUser, DelUser or ChangeUser,
// ignoring case). Any other PostAction gets a refusal line instead of the form, so the chooser
// never leads to a storing page.
void writeAuthorityChooser(ConfigFile& database, const FormFields& form, const FormFields& query);

// The request of a user page (accountpages/user_pages.h) on the authority named by the field
// Authority, as the chooser posts it.
UserPageRequest chosenAuthorityRequest(ConfigFile& database, const FormFields& form);

// The page handler of a user page on the authority named by the field Authority. The storing
// pages refuse an authority that does not exist ("Authority <b>NAME</b> not found !") and store
// nothing.
template <void (*page)(const UserPageRequest& request)>
void onChosenAuthority(ConfigFile& database, const FormFields& form, const FormFields&) {
  page(chosenAuthorityRequest(database, form));
}

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_USER_MANAGEMENT_H_
