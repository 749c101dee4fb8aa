// The filter's event log writer: one line per authentication decision, in the form of
// accountdb/event_line.h, appended to the file named by MAIN/log.
#ifndef GATEKEEPER_FILTER_EVENT_LOG_H_
#define GATEKEEPER_FILTER_EVENT_LOG_H_

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "accountdb/event_suppression.h"
#include "filter/published.h"
#include "platform/append_file.h"
#include "platform/clock.h"
#include "platform/isapi.h"

namespace gatekeeper {

class ConfigSection;

// The request's own fields of an event line, as read from its server variables: SCRIPT_NAME
// and SERVER_NAME, each empty when it cannot be read into a 260-byte buffer.
struct EventRequestFields {
  std::string_view resource;
  std::string_view site;
};

// The event log kept open between lines, shared by every request thread of the filter. Lines
// go to the file held open while the log's path stays the same; a line for another path opens
// that one. At most once a second (by the instants given) one writer looks whether the path
// still names the file held, and opens it afresh when it does not, so a log that was moved
// away or deleted (rotated) is followed. Writers never wait on each other or on a reopening.
class EventLogFile {
 public:
  EventLogFile() = default;
  EventLogFile(const EventLogFile&) = delete;
  EventLogFile& operator=(const EventLogFile&) = delete;

  // Appends one whole line (platform::appendLine's form) to the file at path; false when it
  // cannot be written.
  bool appendLine(std::string_view path, std::string_view line, platform::FileTime now);

 private:
  // With replacing_ claimed: puts in force a file open at path, unless the one held is at
  // path and either no look is due or the look finds it still there.
  void reopenIfMoved(std::string_view path, platform::FileTime now);

  Published<platform::AppendFile> file_;
  std::atomic<bool> replacing_{false};
  std::atomic<platform::FileTime> nextLook_{0};
};

// Appends the event's line to the log file named by MAIN/log of the database, unless the event
// is suppressed, no database is given, or the file cannot be opened. now is the current
// instant (its local time is written). The line goes through file when given, else through a
// file opened and closed for it. Reports nothing: the decision never depends on the log. Safe
// to call from many threads at once (each line is one append).
void logEvent(HTTP_FILTER_CONTEXT* pfc, const ConfigSection* database, int32_t eventId,
              const char* description, const char* parameter1, const char* parameter2,
              platform::FileTime now, EventLogFile* file = nullptr);

// logEvent in two steps, for a caller that has read the request's fields already. The first
// gives the path of the log an event goes to, nullptr when nothing is to be written (no
// database, the event suppressed, no log path): a suppressed event costs this lookup alone.
const char* eventLogPath(const ConfigSection* database, int32_t eventId);
// eventLogPath read once from a database (its log path and the events it switches off), for the
// filter's decisions on content that does not change: pathFor(id) answers as
// eventLogPath(database, id) does for the database as it was read.
class EventDestination {
 public:
  EventDestination() = default;  // no database: nothing is written
  explicit EventDestination(const ConfigSection* database);
  const char* pathFor(int32_t eventId) const;

 private:
  std::string path_;
  accountdb::SuppressedEvents suppressed_;
};
void writeEvent(const char* logPath, int32_t eventId, const char* description,
                const char* parameter1, const char* parameter2, const EventRequestFields& request,
                platform::FileTime now, EventLogFile* file);

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_EVENT_LOG_H_
