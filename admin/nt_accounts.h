// The NT accounts that users are mapped to (NTACCOUNTS): add one, delete one, change the
// password of one. Each is a form page and a storing page ("Do").
#ifndef GATEKEEPER_ADMIN_NT_ACCOUNTS_H_
#define GATEKEEPER_ADMIN_NT_ACCOUNTS_H_

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// NTAccAdd: the form with User, Pass and Pass2.
void writeAddNtAccountForm(ConfigFile& database, const FormFields& form, const FormFields& query);

// NTAccAddDo: checks, in this order, that User is given and storable, that Pass and Pass2 are
// equal (case included) and storable, and that no account of that name exists (ignoring case);
// then adds the section with its Password and saves. The first failing check is the page's
// only line and nothing changes.
void addNtAccount(ConfigFile& database, const FormFields& form, const FormFields& query);

// NTAccDel: the form with the select list NTAccount of all NT accounts.
void writeDeleteNtAccountForm(ConfigFile& database, const FormFields& form,
                              const FormFields& query);

// NTAccDelDo: deletes the account named NTAccount (ignoring case) and saves. A name that is not
// there deletes nothing and gets the same answer. Users mapped to it keep their mapping.
void deleteNtAccount(ConfigFile& database, const FormFields& form, const FormFields& query);

// NTAccPass: the form with the select list User, Pass and Pass2.
void writeNtAccountPasswordForm(ConfigFile& database, const FormFields& form,
                                const FormFields& query);

// NTAccPassDo: checks that the account User exists and that Pass and Pass2 are equal and
// storable; then sets its password (creating the value "password" when it has none) and saves.
void changeNtAccountPassword(ConfigFile& database, const FormFields& form,
                             const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_NT_ACCOUNTS_H_
