#include "accountpages/form_checks.h"

#include <string>

#include "accountdb/storable_text.h"
#include "websupport/response_writer.h"

namespace gatekeeper {

namespace {

bool refuseField(std::string_view label) {
  writeLine(std::string(label) + " contains characters that can not be stored !");
  return false;
}

}  // namespace

bool checkStorableName(std::string_view label, std::string_view value) {
  return accountdb::isStorableName(value) || refuseField(label);
}

bool checkStorableBindingHost(std::string_view label, std::string_view host) {
  return accountdb::isStorableBindingHost(host) || refuseField(label);
}

bool checkStorablePassword(std::string_view password) {
  if (accountdb::isStorableText(password)) return true;
  writeLine(password.size() > accountdb::kLongestStorableField
                ? "Password is too long to be stored !"
                : "Password can not contain line breaks !");
  return false;
}

}  // namespace gatekeeper
