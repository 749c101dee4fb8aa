// The filter object: the account database in memory, its reload when the file changes, and
// the admission of decisions around a reload.
#ifndef GATEKEEPER_FILTER_AUTH_FILTER_H_
#define GATEKEEPER_FILTER_AUTH_FILTER_H_

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/files.h"
#include "platform/isapi.h"

namespace gatekeeper {

class ConfigFile;

// One instance lives as long as the filter library is loaded and serves every request thread.
//
// Admission: decisions run concurrently as readers of the database; a reload is exclusive.
// Guarantees: at most one reload at a time; no decision runs while the database is destroyed
// and replaced; a request arriving during a reload waits for it and then decides on the new
// content; the request that notices the change reloads before its own decision. Waiting uses a
// condition variable, not polling.
class AuthFilter {
 public:
  // Reads the settings key and loads the account database it names. A missing key, value or
  // file leaves the filter inert: every request then passes through untouched.
  AuthFilter();
  ~AuthFilter();
  AuthFilter(const AuthFilter&) = delete;
  AuthFilter& operator=(const AuthFilter&) = delete;

  // The authentication notification of one request: reload if the file changed, then decide.
  DWORD handleAuthentication(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_AUTHENT* credentials);

  // Reloads the database when the file's version (last-write time, and which file object it
  // is) differs from the stamp of the last load and no reload is in progress: waits for running decisions to end, saves the state
  // held so far as a backup, then loads the file named by the settings key afresh. true when
  // this call reloaded.
  bool reloadIfChanged();
  // Runs reloadIfChanged, waits while a reload is in progress, then admits one decision.
  void enterReader();
  // Ends one decision (never below zero).
  void leaveReader();

  bool loaded() const;
  int readerCount() const;

 private:
  // Loads the database named by the settings key; returns the new database or nullptr. *path
  // becomes the path read (unchanged when the value is missing) and *stamp that file's
  // version (unchanged when it cannot be read).
  std::unique_ptr<ConfigFile> loadFromSettings(std::string* path, platform::FileVersion* stamp);
  // Saves the database held so far under a backup name built from the UTC time, if the
  // settings key names a backup directory. Failures are silent.
  void saveBackup();
  // The file's version, or the stored stamp when it cannot be read.
  platform::FileVersion readFileVersion(const std::string& path) const;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_.
  bool reloading_ = false;
  int readerCount_ = 0;
  bool loaded_ = false;
  platform::FileVersion fileStamp_;
  std::string databasePath_;
  // Replaced only while reloading_ is set and readerCount_ is 0; read by admitted decisions.
  std::unique_ptr<ConfigFile> database_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_AUTH_FILTER_H_
