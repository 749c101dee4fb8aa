#include "accountdb/event_ids.h"

namespace gatekeeper::accountdb {

const EventType EventTypeTable[kEventTypeCount] = {
    {kEventFilterDisabled, "Filter disabled"},
    {kEventAnonymousRequest, "Anonymous request"},
    {kEventServerNameMissing, "Required header not found"},
    {kEventSiteNotHandled, "Site not handled"},
    {kEventAuthorityNotFound, "Authority not found"},
    {kEventUserNotFound, "User not found"},
    {kEventAccountDisabled, "Account disabled"},
    {kEventNotMapped, "Not mapped user log on"},
    {kEventInvalidPassword, "Invalid password"},
    {kEventDateFormatError, "Date format error"},
    {kEventDateAfter2037, "Date greater than 2037"},
    {kEventAccountExpired, "Account expired"},
    {kEventExpirationDateMissing, "Expiration date not found"},
    {kEventMapToMissing, "Map to not specified"},
    {kEventNtAccountNotFound, "NT account not found"},
    {kEventAuthenticated, "Authentication success"},
};

const char* eventDescription(std::int32_t id) {
  switch (id) {
    case kEventAuthenticated:
      return "OK Authenticated (UserName UserDB)";
    case kEventFilterDisabled:
      return "Filter disabled";
    case kEventUserNotFound:
      return "User not found (UserName UserDB)";
    case kEventInvalidPassword:
      return "Invalid password (UserName UserDB)";
    case kEventDateFormatError:
      return "Account expire date error (UserName UserDB)";
    case kEventAccountExpired:
      return "Account expired (UserName UserDB)";
    case kEventNotMapped:
      return "Mapping disabled - passing through (UserName UserDB)";
    case kEventMapToMissing:
      return "MapTo not specified (UserName UserDB)";
    case kEventNtAccountNotFound:
      return "MapTo Account not found";
    case kEventAnonymousRequest:
      return "Anonymous request";
    case kEventServerNameMissing:
      return "SERVER_NAME Header not found !";
    case kEventSiteNotHandled:
      return "Site not handled (Binding)";
    case kEventAuthorityNotFound:
      return "User data base for this site not found (Binding UserDB)";
    case kEventAccountDisabled:
      return "Account disabled (UserName UserDB)";
    case kEventDateAfter2037:
      return "Expiration date > 2037 not supported (UserName UserDB)";
    case kEventExpirationDateMissing:
      return "Expiration date not found (UserName UserDB)";
  }
  return "";
}

bool isParameter1FromRequest(std::int32_t id) {
  switch (id) {
    case kEventAuthenticated:
    case kEventUserNotFound:
    case kEventInvalidPassword:
    case kEventAccountExpired:
    case kEventNotMapped:
    case kEventMapToMissing:
    case kEventSiteNotHandled:
    case kEventAuthorityNotFound:
    case kEventAccountDisabled:
    case kEventDateAfter2037:
    case kEventExpirationDateMissing:
      return true;
  }
  return false;
}

const char* eventTypeName(std::int32_t id) {
  for (const EventType& type : EventTypeTable) {
    if (type.id == id) return type.name;
  }
  return "";
}

}  // namespace gatekeeper::accountdb
