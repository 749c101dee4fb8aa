#include "filter/backup_name.h"

#include <cstdio>

#include "platform/files.h"

namespace gatekeeper {

std::string backupFileName(const std::string& directory, const platform::CalendarTime& utc) {
  char name[64];
  std::snprintf(name, sizeof name, "Portcullis-%4d.%2d.%2d-%2d.%2d.%2d.cfg", utc.year, utc.month,
                utc.day, utc.hour, utc.minute, utc.second);
  return directory + platform::kPathSeparator + name;
}

}  // namespace gatekeeper
