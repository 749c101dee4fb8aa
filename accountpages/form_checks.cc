#include "accountpages/form_checks.h"

#include <optional>
#include <string>

#include "accountdb/storing_refusals.h"
#include "websupport/response_writer.h"

namespace gatekeeper {

namespace {

bool refuse(const std::optional<std::string>& refusal) {
  if (!refusal) return true;
  writeLine(*refusal);
  return false;
}

}  // namespace

bool checkStorableName(std::string_view label, std::string_view value) {
  return refuse(accountdb::unstorableNameRefusal(label, value));
}

bool checkStorableBindingHost(std::string_view label, std::string_view host) {
  return refuse(accountdb::unstorableBindingHostRefusal(label, host));
}

bool checkStorablePassword(std::string_view password) {
  const char* refusal = accountdb::unstorablePasswordRefusal(password);
  if (refusal == nullptr) return true;
  writeLine(refusal);
  return false;
}

}  // namespace gatekeeper
