// ViewLog: the filter's event log as a table, filtered by event type and by date, fifty-one
// lines a page.
#ifndef GATEKEEPER_ADMIN_LOG_VIEWER_H_
#define GATEKEEPER_ADMIN_LOG_VIEWER_H_

#include <cstdio>

#include "configstore/config_file.h"
#include "platform/clock.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// Which lines of the log are listed.
struct LogFilter {
  int type = -1;  // the event id whose lines are listed; negative: every line
  platform::FileTime since = platform::kNotADate;  // lines dated before this day are skipped;
                                                   // kNotADate: no date filter
};

// The number of lines a page lists after its first: a page from line n shows n to n + 50.
inline constexpr long long kLogPageStep = 50;

// Writes one table row per log line that passes the filter, numbering those lines from 0 in
// file order and writing the lines numbered start to start + kLogPageStep. Reads the log from
// its current position line by line (at most 2047 characters a read) and stops right after
// the last line it writes. A line is split at every comma, CR and LF; its first eight fields
// fill the row's cells, a missing field an empty cell. A line whose first field does not read
// as a number is of no event type; a line whose third field names no calendar day passes the
// date filter.
void writeLogRows(std::FILE* log, const LogFilter& filter, long long start);

// Page handler of ViewLog: fields date, type, Again and record. Writes nothing at all when
// MAIN/log names no file that can be read.
int writeLogViewer(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_LOG_VIEWER_H_
