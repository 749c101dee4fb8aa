// The filter object: the account database in force, its reload when the file changes, the
// event log that every decision writes to, and the diagnostics it gives its host.
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
#include <vector>

#include "configstore/section_directory.h"
#include "filter/event_log.h"
#include "filter/host_link.h"
#include "filter/published.h"
#include "filter/verified_logons.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/isapi.h"

namespace gatekeeper {

class ConfigFile;

// The status of the response to requests with credentials while the named database cannot be
// loaded.
inline constexpr char kUnavailableStatus[] = "503 Service Unavailable";

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
// otherwise. A filter without content in force starts a load at most once a second until one
// succeeds; meanwhile, where the settings key names no database (a fresh installation), it
// passes requests through, but where it names one that cannot be loaded, it refuses every
// request that carries credentials with "503 Service Unavailable": passing them on would let
// the server's own accounts log on directly to the sites that the database protects.
//
// Passwords kept as hashes: a logon verified once is remembered (VerifiedLogons), so that the
// same user with the same password is not hashed again at every request. Whatever was
// remembered is forgotten when new content is put in force.
//
// Diagnostics go to the host's log (host_link.h), when the host offers one: each failed load
// while nothing is in force (one line per attempt, so at most one a second), a failed load that
// leaves earlier content in force (once for each file version and reason), the load that ends a
// failure, and after every load, and whenever the host names its sites, one warning for each
// site of the host that no binding covers.
class AuthFilter {
 public:
  // The current instant; tests pass their own to control the once-a-second retries.
  using Clock = std::function<platform::FileTime()>;

  // The largest database file that the request noticing its change reads itself.
  static constexpr std::uint64_t kInlineLoadLimit = 256 * 1024;
  // Authorities whose lines take at least this many bytes stay text: decisions find their
  // users through a directory that the server's processes share with the file's shared copy,
  // instead of each process holding a node per user.
  static constexpr std::size_t kLargeAuthorityBytes = 1024 * 1024;

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

  // The sites the host sends to the filter and where diagnostics go from now on; warns at once
  // about the sites that the content in force does not bind. See HostLink for the sink's life.
  void setHost(std::vector<FilterSite> sites, DiagnosticSink sink);
  // The host's log is no longer there: nothing is written to it after this returns.
  void detachHost() noexcept;

  // Reloads on the calling thread when no reload is in progress and either the file's version
  // differs from the one of the last attempt, or the last attempt failed at least a second ago.
  // true when this call put new content in force.
  bool reloadIfChanged();
  // For a process that serves no requests but starts the processes that do (the host calls it
  // from time to time): reloadIfChanged, without a backup of the content replaced (the serving
  // processes write those), so that this process lets go of it and the processes it starts
  // later begin with the content in force.
  void refresh();
  // Blocks until no reload is in progress (the backup written and the old content freed).
  void waitForReload();

  // Whether a database is in force.
  bool loaded() const;
  // Whether requests with credentials are refused: the settings name a database that cannot be
  // loaded and nothing is in force.
  bool refusing() const { return refusing_.load(); }
  // Whether a reload is in progress.
  bool reloading() const;
  // Decisions in progress.
  int readerCount() const;
  // The logons verified against the content in force.
  const VerifiedLogons& verifiedLogons() const { return verifiedLogons_; }

 private:
  // A database and where it came from: the content in force, or a candidate for it.
  struct Content {
    std::unique_ptr<ConfigFile> database;  // nullptr when it cannot be used
    std::string path;                      // the path read; empty when the value is missing
    platform::FileVersion version;         // the file's version just before it was read
    bool configured = false;               // the settings key names a database
    std::string problem;                   // why a named database cannot be used
    EventDestination events;               // where the database's events go, read once
    SectionDirectories directories;        // of the database's large authorities
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
  // Who reloads: a process that serves requests, or one that serves none (refresh): that one
  // writes no backup and no diagnostics, which its serving processes write.
  enum class Reloader { kServing, kIdle };
  // The claimed reload: load, swap in, back up and free the old content, release the claim.
  bool reload(const platform::FileVersion& claimed, Reloader reloader = Reloader::kServing);
  // reloadIfChanged for either kind of process.
  bool reloadOnThisThread(Reloader reloader);
  // The first half of a claimed reload: load and put in force. The content it replaced, or
  // nullptr (nothing was in force, or the load could not be used: *usable tells which).
  std::unique_ptr<Content> loadAndSwap(const platform::FileVersion& claimed, bool* usable,
                                       Reloader reloader = Reloader::kServing);
  // The second half: back up and free what was replaced, release the claim.
  void finishReload(std::unique_ptr<Content> replaced, Reloader reloader = Reloader::kServing);
  // Runs finishReload on a thread of its own (on the caller's when no thread can be started).
  void finishReloadInBackground(std::unique_ptr<Content> replaced);
  // With mutex_ held: whether a failed load is due to be tried again; schedules the next try.
  bool retryDue() const;
  void scheduleRetry();
  // Diagnostics of one load attempt (not with mutex_ held): the failure of a candidate, with
  // whether earlier content stays in force; the success of one.
  void reportFailedLoad(const Content& candidate, bool contentInForce);
  void reportLoad(const ConfigFile& database, const std::string& path);
  // The database file in force could not be examined at a request (a share whose file server
  // went away, a file moved off), or can be again: each change is reported once.
  void reportUnreachable(const std::string& path);
  void reportReachable(const std::string& path);
  // Answers a request that carries credentials while refusing(): the 503 response.
  static DWORD refuseUnavailable(HTTP_FILTER_CONTEXT* pfc);

  const Clock clock_;
  const std::uint64_t inlineLoadLimit_;
  Published<Content> content_;
  EventLogFile eventLog_;
  // Cleared at every swap, once no decision on the content replaced is running any more.
  VerifiedLogons verifiedLogons_;
  // Set while a failed load waits for its retry; read without the lock on the request path.
  std::atomic<bool> retryPending_{false};
  std::atomic<platform::FileTime> retryAt_{0};
  std::atomic<bool> refusing_{false};
  // Set while the file in force cannot be examined; read without the lock on the request path.
  std::atomic<bool> unreachable_{false};
  // Set while a request looks at the file's version.
  std::atomic<bool> looking_{false};
  HostLink host_;

  mutable std::mutex mutex_;
  std::condition_variable reloadEnded_;
  // Guarded by mutex_.
  bool reloading_ = false;
  // The file whose changes start a reload (the one loaded last), and its version when the
  // last attempt to load began.
  std::string databasePath_;
  platform::FileVersion attemptStamp_;
  // The failure last reported while earlier content stayed in force (path, reason and file
  // version), so that an unchanged file is not reported at every retry; whether the last
  // attempt's failure was reported at all, so that its end is.
  std::string lastFailureReported_;
  bool failureReported_ = false;
  std::thread reloader_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_AUTH_FILTER_H_
