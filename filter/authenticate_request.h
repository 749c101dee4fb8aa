// The authentication decision: what happens to one request's Basic credentials.
#ifndef GATEKEEPER_FILTER_AUTHENTICATE_REQUEST_H_
#define GATEKEEPER_FILTER_AUTHENTICATE_REQUEST_H_

#include <cstdint>

#include "platform/isapi.h"

namespace gatekeeper {

class ConfigSection;
class EventDestination;
class SectionDirectories;
class EventLogFile;
class VerifiedLogons;

// The status text of the deny response.
inline constexpr char kDenyStatus[] = "401 Access Denied";

// Decides one request against the loaded account database and returns the notification
// status: SF_STATUS_REQ_NEXT_NOTIFICATION (site not handled: credentials untouched),
// SF_STATUS_REQ_HANDLED_NOTIFICATION (credentials left as sent, or replaced by the mapped
// account's), or SF_STATUS_REQ_ERROR (refused; the thread's last error says why where set, and
// bad credentials also get the deny response). Writes exactly one event (unless suppressed)
// before any response is requested. A refusal for the user's own credentials or account (not
// found, disabled, wrong password, expiry) is also reported to the server for its error log
// (SF_REQ_REPORT_FAILED_LOGON, not asked of IIS), after the event and before the response; the
// server's answer to that report changes nothing, not even the last error. Only reads the
// database; nowUtc is the current instant in 100 ns ticks since 1601 (the expiry check's clock
// and the event's time). The event goes through eventLog when given (the filter's log kept
// open), else through a file opened for it.
// A user's Password that is a hash (passhash::schemeOf) is verified by its scheme, through
// verifiedLogons when given, so that a logon verified before is not hashed again; a plain one
// is compared exactly, case included, and never goes through verifiedLogons.
// Events go where events says when given (read from this database), else where
// eventLogPath finds. An authority kept as text that directories covers (the database's, see
// section_directory.h) is searched through its directory: the decision is the same, reading
// the one user's lines. The caller keeps the database alive and unchanged for the duration of
// the call.
DWORD authenticateRequest(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_AUTHENT* credentials,
                          const ConfigSection& database, int64_t nowUtc,
                          EventLogFile* eventLog = nullptr,
                          VerifiedLogons* verifiedLogons = nullptr,
                          const EventDestination* events = nullptr,
                          const SectionDirectories* directories = nullptr);

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_AUTHENTICATE_REQUEST_H_
