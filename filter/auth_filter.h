// The filter object: the account database in force, its reload when the file changes, and the
// event log that every decision writes to.
#ifndef GATEKEEPER_FILTER_AUTH_FILTER_H_
#define GATEKEEPER_FILTER_AUTH_FILTER_H_

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "filter/event_log.h"
#include "filter/published.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/isapi.h"

namespace gatekeeper {

class ConfigFile;

// One instance lives as long as the filter library is loaded and serves every request thread.
//
// Decisions: each decision takes the content in force (the database, the path it was read
// from and that file's version) without a lock and without waiting, and decides on it alone,
// so what it sees is one whole version. Its only look at the disk besides the event log is one
// examination of the database file's version.
//
// Reload: the reload reads the file named by the settings key into a new tree beside the one in
// force and swaps it in; then, once the decisions still on the old content have ended, it saves
// that content as a backup and frees it, on a thread of its own. Other requests never wait for
// it: they decide on the content in force until the swap. The request that finds the file's
// version changed reads a small file itself (no larger than the inline limit: it loads in a
// few milliseconds), so that it already decides on the new content; a larger file is read on
// the reload's thread while that request, too, decides on the content in force. At most one
// reload runs at a time.
//
// A load that cannot be used (the file cannot be opened or read, holds nothing, or ends inside
// an open section, as a file caught half-written does) never replaces the content in force: the
// filter keeps deciding on it and tries again when the file's version changes, or once a second
// otherwise. A filter that has never loaded passes requests through and starts a load at most
// once a second until one succeeds.
class AuthFilter {
 public:
  // The current instant; tests pass their own to control the once-a-second retries.
  using Clock = std::function<platform::FileTime()>;

  // The largest database file that the request noticing its change reads itself.
  static constexpr std::uint64_t kInlineLoadLimit = 256 * 1024;

  // Reads the settings key and loads the account database it names, on the calling thread. A
  // missing key, value or file leaves the filter without a database: requests then pass
  // through untouched.
  AuthFilter();
  explicit AuthFilter(Clock clock, std::uint64_t inlineLoadLimit = kInlineLoadLimit);
  // Waits for a reload in progress.
  ~AuthFilter();
  AuthFilter(const AuthFilter&) = delete;
  AuthFilter& operator=(const AuthFilter&) = delete;

  // The authentication notification of one request: start a reload if the file changed, then
  // decide on the content in force.
  DWORD handleAuthentication(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_AUTHENT* credentials);

  // Reloads on the calling thread when no reload is in progress and either the file's version
  // differs from the one of the last attempt, or the last attempt failed at least a second ago.
  // true when this call put new content in force.
  bool reloadIfChanged();
  // Blocks until no reload is in progress (the backup written and the old content freed).
  void waitForReload();

  // Whether a database is in force.
  bool loaded() const;
  // Whether a reload is in progress.
  bool reloading() const;
  // Decisions in progress.
  int readerCount() const;

 private:
  // A database and where it came from: the content in force, or a candidate for it.
  struct Content {
    std::unique_ptr<ConfigFile> database;  // nullptr when it cannot be used
    std::string path;                      // the path read; empty when the value is missing
    platform::FileVersion version;         // the file's version just before it was read
  };
  static Content loadFromSettings();
  // Saves the database under a backup name built from the UTC time, if the settings key names
  // a backup directory. Failures are silent.
  static void saveBackup(ConfigFile& database);

  // With mutex_ held: claims the reload when one is due for the file version seen (none: the
  // file could not be examined); *claimed is the version the attempt will be recorded under.
  bool claimReload(const std::optional<platform::FileVersion>& seen,
                   platform::FileVersion* claimed);
  // What startReload did.
  enum class Start { kNone, kOnItsThread, kClaimedForCaller };
  // Claims a reload when one is due. When the caller may run it and the file is no larger than
  // the inline limit, the claim is left to the caller (kClaimedForCaller: it runs loadAndSwap
  // and then finishReloadInBackground); otherwise the whole reload runs on a thread of its own.
  Start startReload(const std::optional<platform::FileVersion>& seen, bool mayRunInline);
  // The claimed reload: load, swap in, back up and free the old content, release the claim.
  bool reload(const platform::FileVersion& claimed);
  // The first half of a claimed reload: load and put in force. The content it replaced, or
  // nullptr (nothing was in force, or the load could not be used: *usable tells which).
  std::unique_ptr<Content> loadAndSwap(const platform::FileVersion& claimed, bool* usable);
  // The second half: back up and free what was replaced, release the claim.
  void finishReload(std::unique_ptr<Content> replaced);
  // Runs finishReload on a thread of its own (on the caller's when no thread can be started).
  void finishReloadInBackground(std::unique_ptr<Content> replaced);
  // With mutex_ held: whether a failed load is due to be tried again; schedules the next try.
  bool retryDue() const;
  void scheduleRetry();

  const Clock clock_;
  const std::uint64_t inlineLoadLimit_;
  Published<Content> content_;
  EventLogFile eventLog_;
  // Set while a failed load waits for its retry; read without the lock on the request path.
  std::atomic<bool> retryPending_{false};
  std::atomic<platform::FileTime> retryAt_{0};

  mutable std::mutex mutex_;
  std::condition_variable reloadEnded_;
  // Guarded by mutex_.
  bool reloading_ = false;
  // The file whose changes start a reload (the one loaded last), and its version when the
  // last attempt to load began.
  std::string databasePath_;
  platform::FileVersion attemptStamp_;
  std::thread reloader_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_AUTH_FILTER_H_
