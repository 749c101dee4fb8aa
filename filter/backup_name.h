// The name of a backup of the account database.
#ifndef GATEKEEPER_FILTER_BACKUP_NAME_H_
#define GATEKEEPER_FILTER_BACKUP_NAME_H_

#include <string>

#include "platform/clock.h"

namespace gatekeeper {

// directory, the platform's path separator, then "Portcullis-%4d.%2d.%2d-%2d.%2d.%2d.cfg" from
// the UTC year, month, day, hour, minute and second, padded with blanks (not zeros), so that
// 09:05:03 on 7 March 2001 gives "Portcullis-2001. 3. 7- 9. 5. 3.cfg".
std::string backupFileName(const std::string& directory, const platform::CalendarTime& utc);

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_BACKUP_NAME_H_
