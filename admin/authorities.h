// Authorities (the sections of ACCOUNTS): add one, delete one, rename one or change its
// expiration policy (ExpirationRequired). Each is a form page and a storing page ("Do").
// Bindings name authorities by name and are left as they are. The storing pages change the tree
// through the rules of accountdb/authority_rules.h and write the rule's sentence.
#ifndef GATEKEEPER_ADMIN_AUTHORITIES_H_
#define GATEKEEPER_ADMIN_AUTHORITIES_H_

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// AuthAdd: the form with Authority and the checkbox ExpirationRequired (value "1").
void writeAddAuthorityForm(ConfigFile& database, const FormFields& form, const FormFields& query);

// AuthAddDo: checks that Authority is given and storable and that no authority of that name
// exists (ignoring case); then creates it with ExpirationRequired set to the field's number
// (0 when unticked) and saves.
void addAuthority(ConfigFile& database, const FormFields& form, const FormFields& query);

// AuthDel: the form with the select list Authority (12 lines) of all authorities.
void writeDeleteAuthorityForm(ConfigFile& database, const FormFields& form,
                              const FormFields& query);

// AuthDelDo: deletes the authority named Authority with all its users and saves. A name that
// is not there deletes nothing and gets the same answer.
void deleteAuthority(ConfigFile& database, const FormFields& form, const FormFields& query);

// AuthRen: one form per authority, each a table row with the hidden current name Authority,
// NewName and the checkbox ExpirationRequired.
void writeEditAuthorityForms(ConfigFile& database, const FormFields& form,
                             const FormFields& query);

// AuthRenDo: checks that the authority Authority exists, that NewName is given and storable and
// that no other authority has that name; then renames the section (letter case included), sets
// ExpirationRequired and saves.
void changeAuthority(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_AUTHORITIES_H_
