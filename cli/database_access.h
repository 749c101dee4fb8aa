// How gatekeeper reaches the account database: the file named on the command line or by the
// settings key (as the CGI programs find it), the database lock, the load and the one save.
// Every failure writes one line to standard error naming the file or key and the system's
// reason, and the caller ends with status 1.
#ifndef GATEKEEPER_CLI_DATABASE_ACCESS_H_
#define GATEKEEPER_CLI_DATABASE_ACCESS_H_

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "configstore/config_file.h"
#include "websupport/database_lock.h"

namespace gatekeeper::cli {

// The database's path: named when given (--database), else the settings key's value
// "Configuration File". nullopt, after the line on err, when the key or the value is missing,
// cannot be read or is empty.
std::optional<std::string> locateDatabase(const std::optional<std::string>& named,
                                          std::ostream& err);

// Takes the database lock that the CGI programs take; nullptr, after the line on err, when it
// cannot be held.
std::unique_ptr<DatabaseLock> lockDatabase(const std::string& path, std::ostream& err);

// Loads the database as the pages do; false after the line on err.
bool loadDatabase(ConfigFile& database, std::ostream& err);

// Saves the database (atomically, keeping its owner, group and mode); false after the line
// on err, which says that the change was not stored.
bool saveDatabase(ConfigFile& database, std::ostream& err);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_DATABASE_ACCESS_H_
