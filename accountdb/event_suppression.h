// Which events the administrator has switched off: MAIN/DONTLOG/Event holds one item per event
// id, named by the id in decimal.
#ifndef GATEKEEPER_ACCOUNTDB_EVENT_SUPPRESSION_H_
#define GATEKEEPER_ACCOUNTDB_EVENT_SUPPRESSION_H_

#include <cstdint>
#include <vector>

#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// Whether the event is kept out of the log: its item in MAIN/DONTLOG/Event of the database's
// root is an int item greater than 0. An item of 0, a negative one, a string item or none at
// all lets the event be logged.
bool isEventSuppressed(const ConfigSection& database, std::int32_t id);

// The events a database switches off, read once, for a reader that asks of every event it logs
// while the database stays as it is (the filter, on every request). contains(id) answers as
// isEventSuppressed(database, id) does for the database as it was read.
class SuppressedEvents {
 public:
  SuppressedEvents() = default;
  explicit SuppressedEvents(const ConfigSection& database);
  bool contains(std::int32_t id) const;

 private:
  std::vector<std::int32_t> ids_;  // sorted
};

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_EVENT_SUPPRESSION_H_
