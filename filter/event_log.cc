#include "filter/event_log.h"

#include "accountdb/database_names.h"
#include "accountdb/event_line.h"
#include "accountdb/event_suppression.h"
#include "configstore/config_section.h"
#include "filter/server_variable.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace gatekeeper {
namespace {

// How often a writer looks whether the log's path still names the file held open.
constexpr platform::FileTime kLookInterval = platform::kTicksPerSecond;

}  // namespace

bool EventLogFile::appendLine(std::string_view path, std::string_view line,
                              platform::FileTime now) {
  {
    const auto held = file_.read();
    platform::AppendFile* file = held.get();
    if (file != nullptr && file->path() == path && now < nextLook_.load()) {
      return file->appendLine(line);
    }
  }
  if (!replacing_.exchange(true)) {
    reopenIfMoved(path, now);
    replacing_.store(false);
    const auto held = file_.read();
    if (held.get() != nullptr && held.get()->path() == path) return held.get()->appendLine(line);
  }
  // Another writer is opening the log afresh: this line goes through a handle of its own.
  return platform::appendLine(std::string(path), line);
}

void EventLogFile::reopenIfMoved(std::string_view path, platform::FileTime now) {
  {
    const auto held = file_.read();
    platform::AppendFile* file = held.get();
    const bool keep = file != nullptr && file->path() == path &&
                      (now < nextLook_.load() || file->isStillAtItsPath());
    nextLook_.store(now + kLookInterval);
    if (keep) return;
  }
  // The file left behind is closed once the writers still holding it are done.
  file_.publish(std::make_unique<platform::AppendFile>(std::string(path)));
}

const char* eventLogPath(const ConfigSection* database, int32_t eventId) {
  if (database == nullptr || accountdb::isEventSuppressed(*database, eventId)) return nullptr;
  const char* logPath =
      database->sectionByName(accountdb::kMain)->valueByName(accountdb::kLog)->getString();
  return *logPath != '\0' ? logPath : nullptr;
}

EventDestination::EventDestination(const ConfigSection* database) {
  if (database == nullptr) return;
  path_ = database->sectionByName(accountdb::kMain)->valueByName(accountdb::kLog)->getString();
  suppressed_ = accountdb::SuppressedEvents(*database);
}

const char* EventDestination::pathFor(int32_t eventId) const {
  if (path_.empty() || suppressed_.contains(eventId)) return nullptr;
  return path_.c_str();
}

void writeEvent(const char* logPath, int32_t eventId, const char* description,
                const char* parameter1, const char* parameter2, const EventRequestFields& request,
                platform::FileTime now, EventLogFile* file) {
  const std::string line =
      accountdb::formatEventLine(eventId, accountdb::localTimeAndDate(now), description,
                                 parameter1, parameter2, request.resource, request.site);
  if (file != nullptr) {
    file->appendLine(logPath, line, now);
  } else {
    platform::appendLine(logPath, line);
  }
}

void logEvent(HTTP_FILTER_CONTEXT* pfc, const ConfigSection* database, int32_t eventId,
              const char* description, const char* parameter1, const char* parameter2,
              platform::FileTime now, EventLogFile* file) {
  const char* logPath = eventLogPath(database, eventId);
  if (logPath == nullptr) return;
  ServerVariable<kHostBufferSize> resource;
  ServerVariable<kHostBufferSize> site;
  resource.read(pfc, "SCRIPT_NAME");
  site.read(pfc, "SERVER_NAME");
  writeEvent(logPath, eventId, description, parameter1, parameter2,
             EventRequestFields{resource.text, site.text}, now, file);
}

}  // namespace gatekeeper
