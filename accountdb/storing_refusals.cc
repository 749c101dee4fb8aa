#include "accountdb/storing_refusals.h"

#include "accountdb/storable_text.h"

namespace gatekeeper::accountdb {
namespace {

std::string fieldRefusal(std::string_view label) {
  return std::string(label) + " contains characters that can not be stored !";
}

}  // namespace

std::optional<std::string> unstorableNameRefusal(std::string_view label, std::string_view name) {
  if (isStorableName(name)) return std::nullopt;
  return fieldRefusal(label);
}

std::optional<std::string> unstorableBindingHostRefusal(std::string_view label,
                                                        std::string_view host) {
  if (isStorableBindingHost(host)) return std::nullopt;
  return fieldRefusal(label);
}

const char* unstorablePasswordRefusal(std::string_view password) {
  if (isStorableText(password)) return nullptr;
  return password.size() > kLongestStorableField ? "Password is too long to be stored !"
                                                 : "Password can not contain line breaks !";
}

}  // namespace gatekeeper::accountdb
