#include "admin/action_table.h"

#include <string>

#include "admin/location_page.h"
#include "websupport/action_dispatch.h"

namespace gatekeeper {
namespace {

// Every page is added here as it is built. The empty action (no Action field, or an empty one)
// is the configuration-file location page; "Reauthenticate" and "Config" are answered before
// the frame is written (admin/handle_request.cc).
constexpr ActionEntry kActions[] = {
    {"", writeLocationPage, false},
};

}  // namespace

std::span<const ActionEntry> actionTable() { return kActions; }

void dispatchAction(ConfigFile& database, const FormFields& form, const FormFields& query) {
  runAction(actionTable(), query.field("Action").text(), database, form, query);
}

}  // namespace gatekeeper
