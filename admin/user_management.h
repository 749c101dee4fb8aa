// overseer's user pages: the authority chooser and the user pages of accountpages/, working on
// the authority named by the form field Authority.
#ifndef GATEKEEPER_ADMIN_USER_MANAGEMENT_H_
#define GATEKEEPER_ADMIN_USER_MANAGEMENT_H_

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// SelectAuthority: the authorities of ACCOUNTS in a drop-down Authority, posted to the user
// page named by the query field PostAction (ListAuthority, AddUser, DelUser or ChangeUser,
// ignoring case). Any other PostAction gets a refusal line instead of the form, so the chooser
// never leads to a storing page.
void writeAuthorityChooser(ConfigFile& database, const FormFields& form, const FormFields& query);

// The user pages (accountpages/user_pages.h) on the authority named by the field Authority.
// The storing ones refuse an authority that does not exist ("Authority <b>NAME</b> not
// found !") and store nothing.
void writeAuthorityUsers(ConfigFile& database, const FormFields& form, const FormFields& query);
void writeAddUser(ConfigFile& database, const FormFields& form, const FormFields& query);
void storeNewUser(ConfigFile& database, const FormFields& form, const FormFields& query);
void writeDeleteUser(ConfigFile& database, const FormFields& form, const FormFields& query);
void storeUserDeletion(ConfigFile& database, const FormFields& form, const FormFields& query);
void writeChangeUser(ConfigFile& database, const FormFields& form, const FormFields& query);
void writeEditUser(ConfigFile& database, const FormFields& form, const FormFields& query);
void storeChangedUser(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_USER_MANAGEMENT_H_
