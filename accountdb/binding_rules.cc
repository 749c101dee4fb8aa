#include "accountdb/binding_rules.h"

#include "accountdb/binding_key.h"
#include "accountdb/database_names.h"
#include "accountdb/storing_refusals.h"

namespace gatekeeper::accountdb {
namespace {

Sentence words(std::string lead) { return {std::move(lead), "", "", "", "", 0}; }

Sentence oneName(const char* lead, std::string_view name, const char* tail) {
  return {lead, std::string(name), "", "", tail, 1};
}

std::string noSection(const char* name) {
  return std::string("Internal error - can not add section ") + name + " !";
}

std::string cannotStore(const char* label) {
  return std::string(label) + " contains characters that can not be stored !";
}

}  // namespace

std::string BindingSite::key() const {
  return bindingKey(host, portNumber == 80 ? nullptr : port.c_str());
}

Sentence bindingRefusalSentence(BindingRefusal refusal, const BindingSite& site) {
  switch (refusal) {
    case BindingRefusal::kNone:
      break;
    case BindingRefusal::kInvalidPort:
      return oneName("Invalid TCP port specified (", site.port,
                     "). Please click back button of your browser and correct port value.");
    case BindingRefusal::kEmptyHost:
      return words("Invalid host name specified !");
    case BindingRefusal::kUnstorableHost:
      return words(cannotStore("Host name"));
    case BindingRefusal::kUnstorableKey:
      return words(cannotStore("TCP port"));
    case BindingRefusal::kUnstorableAuthority:
      return words(cannotStore("Authority name"));
    case BindingRefusal::kAlreadyExists:
      return oneName("Binding for ", site.text(), " already exist !");
    case BindingRefusal::kNoMain:
      return words(noSection(kMain));
    case BindingRefusal::kNoServers:
      return words(noSection(kServers));
    case BindingRefusal::kCannotAdd:
      return words("Internal error - can not add the binding !");
    case BindingRefusal::kNotFound:
      return oneName("Binding for ", site.key(), " not found !");
  }
  return words("");
}

Sentence bindingAddedSentence(const BindingSite& site, std::string_view authority) {
  return {"Users connecting to ", site.text(), " will be authenticated in authority: ",
          std::string(authority), " .", 2};
}

Sentence bindingDeletedSentence(std::string_view key) {
  return oneName("Binding for ", key, " deleted.");
}

BindingRefusal checkBindingPort(const BindingSite& site) {
  return site.portNumber <= 0 ? BindingRefusal::kInvalidPort : BindingRefusal::kNone;
}

ConfigValue* findBinding(const ConfigSection& root, const std::string& key) {
  return root.sectionByName(kMain)->sectionByName(kServers)->valueByName(key.c_str());
}

BindingRefusal addBinding(ConfigSection& root, const BindingSite& site,
                          const std::string& authority) {
  if (checkBindingPort(site) != BindingRefusal::kNone) return BindingRefusal::kInvalidPort;
  if (site.host.empty()) return BindingRefusal::kEmptyHost;
  const std::string key = site.key();
  // The host decides whether the key may start with a blank; the port adds only its suffix.
  if (unstorableBindingHostRefusal("", site.host)) return BindingRefusal::kUnstorableHost;
  if (unstorableNameRefusal("", key)) return BindingRefusal::kUnstorableKey;
  if (unstorableNameRefusal("", authority)) return BindingRefusal::kUnstorableAuthority;
  if (!findBinding(root, key)->isPlaceholder()) return BindingRefusal::kAlreadyExists;
  ConfigSection* main = root.getOrCreateSection(kMain);
  if (main == nullptr) return BindingRefusal::kNoMain;
  ConfigSection* servers = main->getOrCreateSection(kServers);
  if (servers == nullptr) return BindingRefusal::kNoServers;
  if (!servers->setString(key.c_str(), authority.c_str())) return BindingRefusal::kCannotAdd;
  return BindingRefusal::kNone;
}

BindingRefusal removeBinding(ConfigSection& root, const std::string& key) {
  if (findBinding(root, key)->isPlaceholder()) return BindingRefusal::kNotFound;
  root.sectionByName(kMain)->sectionByName(kServers)->deleteByName(key.c_str());
  return BindingRefusal::kNone;
}

}  // namespace gatekeeper::accountdb
