// ViewLog: the filter's event log as a table, filtered by event type and by date, fifty-one
// lines a page.
#ifndef GATEKEEPER_ADMIN_LOG_VIEWER_H_
#define GATEKEEPER_ADMIN_LOG_VIEWER_H_

#include <cstdio>
#include <string>

#include "accountdb/event_log_reader.h"
#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// Which lines of the log are listed, and how a line is read: accountdb/event_log_reader.h.
using accountdb::LogFilter;
using accountdb::rotatedLogPath;

// The number of lines a page lists after its first: a page from line n shows n to n + 50.
inline constexpr long long kLogPageStep = 50;

// Writes one table row per log line that passes the filter, numbering those lines from 0 in
// file order and writing the lines numbered start to start + kLogPageStep (start may be
// negative: the page then begins before the file). Reads the log from its current position
// line by line (at most 2047 characters a read) and stops right after the last line it writes.
// A line is split at every comma, CR and LF; its first eight fields fill the row's cells, a
// missing field an empty cell. A line whose first field does not read as a number is of
// event 0 (as C's conversion reads it), the continuation pieces of a long line included; a
// line whose third field names no calendar day passes the date filter. Returns
// the number of lines that passed the filter and were read: start + kLogPageStep + 1 when the
// page is complete, fewer when the file ended first (0 when the page ends before the file).
long long writeLogRows(std::FILE* log, const LogFilter& filter, long long start);

// Page handler of ViewLog: fields date, type, Again and record. The lines of the current log
// are numbered first, as above; a page that goes past the current file's last passing line
// goes on with the passing lines of rotatedLogPath, numbered on in that file's order. When
// further rotated files lie beside the log (events.log.2.gz, ...), which the page cannot read,
// a line of its own below the table names them. Writes nothing at all when MAIN/log names no
// file that can be read and no rotated file can be read either.
void writeLogViewer(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_LOG_VIEWER_H_
