#include "filter/event_log.h"

#include <cstdio>

#include "accountdb/database_names.h"
#include "accountdb/event_suppression.h"
#include "configstore/config_section.h"
#include "filter/server_variable.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace gatekeeper {
namespace {

// The local time of day as the platform formats it without seconds, then ", " and the local
// date as month/day/year with month and day right-aligned in two places.
std::string localTimeAndDate() {
  const platform::CalendarTime now = platform::localNow();
  char date[32];
  std::snprintf(date, sizeof date, "%2u/%2u/%4u", static_cast<unsigned>(now.month),
                static_cast<unsigned>(now.day), static_cast<unsigned>(now.year));
  return platform::formatTimeOfDay(now) + ", " + date;
}

void appendField(std::string* line, const char* text) {
  *line += ", ";
  *line += text != nullptr ? text : "";
}

}  // namespace

std::string formatEventLine(int32_t eventId, const std::string& timeAndDate,
                            const char* description, const char* parameter1,
                            const char* parameter2, const std::string& resource,
                            const std::string& site) {
  std::string line = std::to_string(eventId);
  appendField(&line, timeAndDate.c_str());
  appendField(&line, description);
  appendField(&line, parameter1);
  appendField(&line, parameter2);
  appendField(&line, resource.c_str());
  appendField(&line, site.c_str());
  return line;
}

void logEvent(HTTP_FILTER_CONTEXT* pfc, const ConfigSection* database, int32_t eventId,
              const char* description, const char* parameter1, const char* parameter2) {
  if (database == nullptr || accountdb::isEventSuppressed(*database, eventId)) return;
  const char* logPath =
      database->sectionByName(accountdb::kMain)->valueByName(accountdb::kLog)->getString();
  if (*logPath == '\0') return;

  std::string resource;
  std::string site;
  readServerVariable(pfc, "SCRIPT_NAME", kHostBufferSize, &resource);
  readServerVariable(pfc, "SERVER_NAME", kHostBufferSize, &site);
  platform::appendLine(logPath, formatEventLine(eventId, localTimeAndDate(), description,
                                                parameter1, parameter2, resource, site));
}

}  // namespace gatekeeper
