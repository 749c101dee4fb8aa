// The events that the filter writes to the event log: their ids, the description text written
// with each, and the table of event types that the administration program shows.
#ifndef GATEKEEPER_ACCOUNTDB_EVENT_IDS_H_
#define GATEKEEPER_ACCOUNTDB_EVENT_IDS_H_

#include <cstdint>

namespace gatekeeper::accountdb {

// Event ids, written in decimal. Id 1 is not used.
enum EventId : std::int32_t {
  kEventAuthenticated = 0,
  kEventFilterDisabled = 2,
  kEventUserNotFound = 3,
  kEventInvalidPassword = 4,
  kEventDateFormatError = 5,
  kEventAccountExpired = 6,
  kEventNotMapped = 7,
  kEventMapToMissing = 8,
  kEventNtAccountNotFound = 9,
  kEventAnonymousRequest = 10,
  kEventServerNameMissing = 11,
  kEventSiteNotHandled = 12,
  kEventAuthorityNotFound = 13,
  kEventAccountDisabled = 14,
  kEventDateAfter2037 = 15,
  kEventExpirationDateMissing = 16,
};

// The description text that the filter writes for the event, such as
// "OK Authenticated (UserName UserDB)"; the words in parentheses name the two parameters that
// follow it in the line. "" for an id that is not in use.
const char* eventDescription(std::int32_t id);

// Whether the event's parameter 1 is text that the request chose: the user name as sent, or
// the binding key made of the request's host name and port. false where it comes from the
// database (the user name as stored for a date format error, the MapTo text of an NT account
// not found) or is not used. Parameter 2 is always the database's text or empty.
bool isParameter1FromRequest(std::int32_t id);

// A row of EventTypeTable: an id and the name under which the administration program shows
// that type of event, in a zero-terminated field of 64 bytes.
struct EventType {
  std::int32_t id;
  char name[64];
};

inline constexpr int kEventTypeCount = 16;

// Every event type, in the order in which the filter makes its checks (2, 10, 11, 12, 13, 3,
// 14, 7, 4, 5, 15, 6, 16, 8, 9, 0); the administration program lists them in this order.
extern const EventType EventTypeTable[kEventTypeCount];

// The name of the event type in EventTypeTable; "" for an id that is not in use.
const char* eventTypeName(std::int32_t id);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_EVENT_IDS_H_
