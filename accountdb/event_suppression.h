// Which events the administrator has switched off: MAIN/DONTLOG/Event holds one item per event
// id, named by the id in decimal.
#ifndef GATEKEEPER_ACCOUNTDB_EVENT_SUPPRESSION_H_
#define GATEKEEPER_ACCOUNTDB_EVENT_SUPPRESSION_H_

#include <cstdint>

#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// Whether the event is kept out of the log: its item in MAIN/DONTLOG/Event of the database's
// root is an int item greater than 0. An item of 0, a negative one, a string item or none at
// all lets the event be logged.
bool isEventSuppressed(const ConfigSection& database, std::int32_t id);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_EVENT_SUPPRESSION_H_
