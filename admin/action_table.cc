#include "admin/action_table.h"

#include <string>

#include "admin/location_page.h"
#include "platform/names.h"

namespace gatekeeper {
namespace {

// Every page is added here as it is built. The empty action (no Action field, or an empty one)
// is the configuration-file location page; "Reauthenticate" and "Config" are answered before
// the frame is written (admin/handle_request.cc).
constexpr ActionEntry kActions[] = {
    {"", writeLocationPage},
};

}  // namespace

std::span<const ActionEntry> actionTable() { return kActions; }

void dispatchAction(ConfigFile& database, const FormFields& form, const FormFields& query) {
  const std::string& action = query.field("Action").text();
  for (const ActionEntry& entry : actionTable()) {
    if (platform::namesEqual(entry.name, action.c_str())) {
      entry.handler(database, form, query);
      return;
    }
  }
}

}  // namespace gatekeeper
