// Reading the filter's event log: the one reading shared by the log viewer page and
// `gatekeeper log`. A line is read as C's fgets reads it, at most 2047 characters a read (a
// longer line is read as several), split into its fields as accountdb/event_line.h says, and
// passes a filter by event type and by day. No HTML here: the callers write the fields.
#ifndef GATEKEEPER_ACCOUNTDB_EVENT_LOG_READER_H_
#define GATEKEEPER_ACCOUNTDB_EVENT_LOG_READER_H_

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "accountdb/event_line.h"
#include "platform/clock.h"

namespace gatekeeper::accountdb {

// The most characters one read of a log line takes.
inline constexpr int kLogReadLength = 2047;

// Which lines of the log are listed.
struct LogFilter {
  int type = -1;  // the event id whose lines are listed; negative: every line
  platform::FileTime since = platform::kNotADate;  // lines dated before this day are skipped;
                                                   // kNotADate: no date filter
};

// The event id in a line's first field, read as C reads an integer literal (decimal, "0x"
// hexadecimal, leading-zero octal, blanks before it skipped); false when it holds no number,
// and *id is then 0, as C's conversion gives it.
bool readLogEventId(std::string_view field, long long* id);

// 00:00:00 UTC at the start of the day that text names as month/day/year ("3/7/2001", or
// " 3/ 7/2001" as a line's date field holds it); kNotADate when it does not read as three
// numbers or names no day of the calendar.
platform::FileTime logDay(std::string_view text);

// Whether a line's fields pass the filter. A line whose first field does not read as a number
// (among them the second and later pieces of a line longer than one read, and an empty line)
// is of event 0, the id C's conversion gives it: it is listed with the successful logons and
// with every event. A line whose third field is missing or names no calendar day passes the
// date filter.
bool passesLogFilter(const std::vector<std::string_view>& fields, const LogFilter& filter);

// Reads the next line of the log (at most kLogReadLength characters) into *line, with its
// line end when the read reached it. false at the end of the file. With wholeLinesOnly, a
// line that the file ends in the middle of (its writer has not finished it) is not taken: the
// file is left positioned before it, so that a later read finds it whole, and false is
// returned.
bool readLogLine(std::FILE* log, std::string* line, bool wholeLinesOnly = false);

// The file that logrotate leaves uncompressed beside the log (delaycompress): the log's path
// plus ".1". It holds the lines written before the current file.
std::string rotatedLogPath(const std::string& logPath);

// The rotated files beside the log that are not rotatedLogPath, ordered by rotation number:
// the log's file name, a dot, a number and whatever the rotation added (events.log.2.gz,
// events.log.3.gz). The names are file names, without the directory.
std::vector<std::string> olderRotatedLogs(const std::string& logPath);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_EVENT_LOG_READER_H_
