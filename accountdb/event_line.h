// One line of the event log: how the filter writes it and how it splits into the fields that
// the log viewer and `gatekeeper log` show.
//
// A line is "<id>, <time of day>, <mm>/<dd>/<yyyy>, <description>, <parameter 1>,
// <parameter 2>, <resource>, <site>": the id in decimal, the local time of day without seconds
// as the system formats it, the local date with month and day right-aligned in two places with
// a blank (" 3/ 7/2001"), then the texts. Written with its line end by the appender; read back
// split at every comma, CR and LF, so the time and the date are two fields.
#ifndef GATEKEEPER_ACCOUNTDB_EVENT_LINE_H_
#define GATEKEEPER_ACCOUNTDB_EVENT_LINE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace gatekeeper::accountdb {

// The local time of day without seconds, ", " and the local date (month/day/year, month and
// day right-aligned in two places) of an instant: the second and third fields of a line. The
// local time zone is read once per process and the text is made once a minute per thread: the
// view stays valid until the next call on the same thread.
std::string_view localTimeAndDate(platform::FileTime now);

// Formats one event line without its line end. The fields that the request chose (resource,
// site, and parameter 1 where isParameter1FromRequest says so) have every comma, control
// character and percent sign written as "%XX" (two upper-case hex digits), so that they cannot
// add a field or a line; the texts from the database and the descriptions are written as they
// are (the appender turns a CR or LF in them into a blank, so an event stays one line). A null
// description or parameter is an empty field. Allocates the line alone, once.
std::string formatEventLine(std::int32_t eventId, std::string_view timeAndDate,
                            const char* description, const char* parameter1,
                            const char* parameter2, std::string_view resource,
                            std::string_view site);

// The fields of a line as its reader splits it: Event ID, Hour, Date, Event description,
// Parameter 1, Parameter 2, Resource, Site (the date and time take two, their comma splits
// them). Every field after the first begins with the blank that follows its comma.
inline constexpr int kLogColumns = 8;
inline constexpr int kLogEventIdField = 0;
inline constexpr int kLogDateField = 2;

// The line split at every comma, CR and LF, fields used as they stand (no blanks trimmed, empty
// fields count). The views point into line. A line that ends in its line end therefore has an
// empty last field (or two, for CR LF); there is always at least one field.
std::vector<std::string_view> splitLogLine(std::string_view line);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_EVENT_LINE_H_
