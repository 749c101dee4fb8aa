// The filter object: the account database in memory, its reload when the file changes, and
// the admission of decisions around a reload.
#ifndef GATEKEEPER_FILTER_AUTH_FILTER_H_
#define GATEKEEPER_FILTER_AUTH_FILTER_H_

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/isapi.h"

namespace gatekeeper {

class ConfigFile;

// One instance lives as long as the filter library is loaded and serves every request thread.
//
// Admission: decisions run concurrently as readers of the database; a reload is exclusive.
// Guarantees: at most one reload at a time; no decision runs while the database is replaced; a
// request arriving during a reload waits for it and then decides on the content in force after
// it; the request that notices the change reloads before its own decision. Waiting uses a
// condition variable, not polling.
//
// A load that cannot be used (the file cannot be opened or read, holds nothing, or ends inside
// an open section, as a file caught half-written does) never replaces the content in force: the
// filter keeps deciding on it and tries again when the file's version changes, or once a second
// otherwise. A filter that has never loaded passes requests through and tries to load at most
// once a second until a load succeeds.
class AuthFilter {
 public:
  // The current instant; tests pass their own to control the once-a-second retries.
  using Clock = std::function<platform::FileTime()>;

  // Reads the settings key and loads the account database it names. A missing key, value or
  // file leaves the filter without a database: requests then pass through untouched.
  AuthFilter();
  explicit AuthFilter(Clock clock);
  ~AuthFilter();
  AuthFilter(const AuthFilter&) = delete;
  AuthFilter& operator=(const AuthFilter&) = delete;

  // The authentication notification of one request: reload if the file changed, then decide.
  DWORD handleAuthentication(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_AUTHENT* credentials);

  // Reloads when no reload is in progress and either the file's version (last-write time,
  // which file object it is, size) differs from the stamp of the last attempt, or the last
  // attempt failed at least a second ago. Reads the file named by the settings key into a new
  // tree while running decisions go on; if it can be used, waits for them to end, saves the
  // state held so far as a backup and puts the new tree in force. true when this call replaced
  // the database.
  bool reloadIfChanged();
  // Runs reloadIfChanged, waits while a reload is in progress, then admits one decision.
  void enterReader();
  // Ends one decision (never below zero).
  void leaveReader();

  // Whether a database is in force.
  bool loaded() const;
  // Whether a reload is in progress.
  bool reloading() const;
  int readerCount() const;

 private:
  // The database read afresh from the file that the settings key names.
  struct Candidate {
    std::unique_ptr<ConfigFile> database;  // nullptr when it cannot be used
    std::string path;                      // the path read; empty when the value is missing
    platform::FileVersion version;         // the file's version just before it was read
  };
  static Candidate loadFromSettings();
  // Saves the database under a backup name built from the UTC time, if the settings key names
  // a backup directory. Failures are silent.
  static void saveBackup(ConfigFile& database);
  // The file's version, or the stored stamp when it cannot be read.
  platform::FileVersion readFileVersion(const std::string& path) const;
  // With mutex_ held: whether a failed load is due to be tried again; schedules the next try.
  bool retryDue() const;
  void scheduleRetry();

  const Clock clock_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_.
  bool reloading_ = false;
  int readerCount_ = 0;
  bool loaded_ = false;
  // The file whose changes start a reload (the one loaded last), and its version when the
  // last attempt to load began.
  std::string databasePath_;
  platform::FileVersion fileStamp_;
  // Set when the last attempt to load failed; the next try is due at retryAt_.
  bool retryPending_ = false;
  platform::FileTime retryAt_ = 0;
  // Replaced only while reloading_ is set and readerCount_ is 0; read by admitted decisions.
  std::unique_ptr<ConfigFile> database_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_AUTH_FILTER_H_
