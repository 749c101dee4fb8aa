// Creating the smallest working account database where none exists yet.
#ifndef GATEKEEPER_ADMIN_NEW_DATABASE_H_
#define GATEKEEPER_ADMIN_NEW_DATABASE_H_

#include <string>

namespace gatekeeper {

enum class NewDatabase {
  kExisting,  // a file is already there (or the path is empty): nothing was written
  kCreated,   // the empty database was written
  kFailed,    // there was no file and none could be written
};

// Unless a file exists at path, writes there the empty sections that every page expects:
// MAIN with SERVERS inside, ACCOUNTS and NTACCOUNTS. Runs under the database lock, so it never
// overwrites a database that another run creates at the same moment.
NewDatabase createDatabaseIfMissing(const std::string& path);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_NEW_DATABASE_H_
