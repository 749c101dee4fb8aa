#include "accountdb/event_suppression.h"

#include <string>

#include "accountdb/database_names.h"

namespace gatekeeper::accountdb {

bool isEventSuppressed(const ConfigSection& database, std::int32_t id) {
  const ValueItem* item = database.sectionByName(kMain)
                              ->sectionByName(kDontLog)
                              ->valueByName(kEvent)
                              ->itemByName(std::to_string(id).c_str());
  return item->getInt() > 0;  // 0 for an item that is not an int item
}

}  // namespace gatekeeper::accountdb
