// The filter's event log writer: one line per authentication decision.
#ifndef GATEKEEPER_FILTER_EVENT_LOG_H_
#define GATEKEEPER_FILTER_EVENT_LOG_H_

#include <cstdint>
#include <string>

#include "platform/isapi.h"

namespace gatekeeper {

class ConfigSection;

// Formats one event line without its line end:
//   "<id>, <time of day>, <mm>/<dd>/<yyyy>, <description>, <p1>, <p2>, <resource>, <site>"
// month and day right-aligned in two places with a blank. Fields are written as they are,
// nothing quoted (the appender turns a CR or LF into a blank, so an event stays one line).
std::string formatEventLine(int32_t eventId, const std::string& timeAndDate,
                            const char* description, const char* parameter1,
                            const char* parameter2, const std::string& resource,
                            const std::string& site);

// Appends the event's line to the log file named by MAIN/log of the database, unless the event
// is suppressed, no database is given, or the file cannot be opened. Reports nothing: the
// decision never depends on the log. Safe to call from many threads at once (each line is one
// append).
void logEvent(HTTP_FILTER_CONTEXT* pfc, const ConfigSection* database, int32_t eventId,
              const char* description, const char* parameter1, const char* parameter2);

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_EVENT_LOG_H_
