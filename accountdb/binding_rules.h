// The rules for adding and deleting site bindings (the values of MAIN/SERVERS), shared by
// overseer's binding pages and the command line. As with the user rules
// (accountdb/user_rules.h), a rule checks in a fixed order, changes the tree or refuses without
// changing anything, and its result is worded as a Sentence that each program presents in its
// own form; a rule never saves. A binding is added or deleted, never changed in place.
#ifndef GATEKEEPER_ACCOUNTDB_BINDING_RULES_H_
#define GATEKEEPER_ACCOUNTDB_BINDING_RULES_H_

#include <string>
#include <string_view>

#include "accountdb/user_rules.h"
#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// A site as a person names it: the host, the port as typed, and the number the port text reads
// as (its leading decimal number, 0 when it has none).
struct BindingSite {
  std::string host;
  std::string port;
  int portNumber = 0;

  // The binding key: the host, plus "|" and the port as typed unless the port reads as 80
  // ("8080x" gives "|8080x", "080" nothing).
  std::string key() const;
  // "host:port", as the results name the site.
  std::string text() const { return host + ":" + port; }
};

// Why a change of a binding is refused.
enum class BindingRefusal {
  kNone,
  kInvalidPort,          // "Invalid TCP port specified (PORT). Please click back button of
                         // your browser and correct port value."
  kEmptyHost,            // "Invalid host name specified !"
  kUnstorableHost,       // "Host name contains characters that can not be stored !"
  kUnstorableKey,        // "TCP port contains characters that can not be stored !"
  kUnstorableAuthority,  // "Authority name contains characters that can not be stored !"
  kAlreadyExists,        // "Binding for HOST:PORT already exist !"
  kNoMain,               // "Internal error - can not add section MAIN !"
  kNoServers,            // "Internal error - can not add section SERVERS !"
  kCannotAdd,            // "Internal error - can not add the binding !"
  kNotFound,             // "Binding for KEY not found !" (only where a caller asks for one)
};

// The sentence of a refusal about site.
Sentence bindingRefusalSentence(BindingRefusal refusal, const BindingSite& site);

// "Users connecting to HOST:PORT will be authenticated in authority: AUTHORITY ."
Sentence bindingAddedSentence(const BindingSite& site, std::string_view authority);

// "Binding for KEY deleted."
Sentence bindingDeletedSentence(std::string_view key);

// The port of site reads as a positive number (else kInvalidPort).
BindingRefusal checkBindingPort(const BindingSite& site);

// Adds a binding of site to the authority, in this order: the port reads as a positive number,
// the host is not empty, the host is storable (isStorableBindingHost: no "|", so that one
// site's host cannot spell another site's key), the key and the authority are storable names,
// no binding has the key (ignoring case); then MAIN and MAIN/SERVERS are created when missing
// (kNoMain, kNoServers when a value node holds their place) and the binding stored (kCannotAdd
// when a section of MAIN/SERVERS holds the key). The authority is not looked up: a binding may
// name an authority that is added later.
BindingRefusal addBinding(ConfigSection& root, const BindingSite& site,
                          const std::string& authority);

// The binding of that key (ignoring case), or the placeholder value.
ConfigValue* findBinding(const ConfigSection& root, const std::string& key);

// Removes the binding of that key (ignoring case). kNotFound, removing nothing, when there is
// none (a section of that name is no binding and stays).
BindingRefusal removeBinding(ConfigSection& root, const std::string& key);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_BINDING_RULES_H_
