#include "accountdb/event_suppression.h"

#include <algorithm>
#include <charconv>
#include <cstring>
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

SuppressedEvents::SuppressedEvents(const ConfigSection& database) {
  const ConfigValue* events =
      database.sectionByName(kMain)->sectionByName(kDontLog)->valueByName(kEvent);
  for (int32_t i = 1; i <= events->count(); ++i) {
    const ValueItem* item = events->itemByIndex(i);
    const char* name = item->name();
    if (name == nullptr || item->getInt() <= 0) continue;
    // Only a name that is an id as std::to_string writes it is ever asked for.
    std::int32_t id = 0;
    const char* end = name + std::strlen(name);
    const auto [stop, error] = std::from_chars(name, end, id);
    if (error == std::errc() && stop == end && std::to_string(id) == name) ids_.push_back(id);
  }
  std::sort(ids_.begin(), ids_.end());
}

bool SuppressedEvents::contains(std::int32_t id) const {
  return std::binary_search(ids_.begin(), ids_.end(), id);
}

}  // namespace gatekeeper::accountdb
