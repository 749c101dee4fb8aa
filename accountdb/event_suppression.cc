#include "accountdb/event_suppression.h"

#include <string>

#include "accountdb/database_names.h"

namespace gatekeeper::accountdb {

bool isEventSuppressed(const ConfigSection& database, std::int32_t id) {
  const ConfigValue* events =
      database.sectionByName(kMain)->sectionByName(kDontLog)->valueByName(kEvent);
  const std::string itemName = std::to_string(id);
  // Any item of that name counts, not only the first: a file merged from two sources may hold
  // a string item before the int item that suppresses.
  for (int32_t i = 1; i <= events->count(); ++i) {
    const ValueItem* item = events->itemByIndex(i);
    if (item->nameEquals(itemName.c_str()) && item->getInt() > 0) return true;
  }
  return false;
}

}  // namespace gatekeeper::accountdb
