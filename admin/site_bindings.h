// Site bindings (the values of MAIN/SERVERS): the binding key of a site, its host alone on
// port 80 and otherwise host "|" port, names the authority that authenticates the site. A
// binding is added or deleted, never changed in place. The storing pages change the tree through
// the rules of accountdb/binding_rules.h and write the rule's sentence.
#ifndef GATEKEEPER_ADMIN_SITE_BINDINGS_H_
#define GATEKEEPER_ADMIN_SITE_BINDINGS_H_

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// BindAdd: the form with Host, Port (preset to 80) and the select list Authority.
void writeAddBindingForm(ConfigFile& database, const FormFields& form, const FormFields& query);

// BindAddDo: checks, in this order, that Port reads as a positive number, that Host is given
// and storable (with the port suffix), that Authority is storable, and that no binding has the
// key (ignoring case); then adds the binding and saves. The key's suffix is the Port text as
// sent when it does not read as 80 ("8080x" gives "|8080x", "080" none).
void addBinding(ConfigFile& database, const FormFields& form, const FormFields& query);

// BindDel: the form with the select list Host (12 lines) of all bindings.
void writeDeleteBindingForm(ConfigFile& database, const FormFields& form,
                            const FormFields& query);

// BindDelDo: deletes the binding whose key is Host (ignoring case) and saves. A key that is not
// there deletes nothing and gets the same answer.
void deleteBinding(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_SITE_BINDINGS_H_
