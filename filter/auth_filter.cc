#include "filter/auth_filter.h"

#include <cstdio>
#include <optional>
#include <utility>

#include "configstore/config_file.h"
#include "filter/authenticate_request.h"
#include "filter/backup_name.h"
#include "filter/site_bindings.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/system_error.h"
#include "platform/thread_priority.h"
#include "settings/settings_key.h"

namespace gatekeeper {
namespace {

// How long a failed load waits before it is tried again when the file has not changed.
constexpr platform::FileTime kRetryInterval = platform::kTicksPerSecond;

// Reads one string value of the settings key; false when the key or the value is missing.
bool readSetting(const char* valueName, std::string* value) {
  SettingsKey key;
  if (!key.openForReading()) return false;
  const std::optional<std::string> text = key.readString(valueName);
  if (!text) return false;
  *value = *text;
  return true;
}

}  // namespace

AuthFilter::AuthFilter() : AuthFilter(platform::currentFileTime) {}

AuthFilter::AuthFilter(Clock clock, std::uint64_t inlineLoadLimit)
    : clock_(std::move(clock)), inlineLoadLimit_(inlineLoadLimit) {
  Content first = loadFromSettings();
  databasePath_ = first.path;
  attemptStamp_ = first.version;
  if (first.database != nullptr) {
    content_.publish(std::make_unique<Content>(std::move(first)));
  } else {
    refusing_.store(first.configured);
    scheduleRetry();
    reportFailedLoad(first, false);
  }
}

AuthFilter::~AuthFilter() {
  waitForReload();
  if (reloader_.joinable()) reloader_.join();
}

AuthFilter::Content AuthFilter::loadFromSettings() {
  Content candidate;
  if (!readSetting(kConfigurationFileValue, &candidate.path)) return candidate;
  candidate.configured = true;
  // The version is taken before the file is read: a save that lands while it loads then
  // differs from it and is picked up by the next request, instead of being taken for the
  // content already loaded. A file that cannot be examined leaves an empty version, which
  // differs from every real one.
  platform::fileVersion(candidate.path, &candidate.version);
  auto database = std::make_unique<ConfigFile>(candidate.path.c_str(), 0);
  // A file that holds nothing or ends inside an open section is being rewritten in place (or
  // was cut short): putting it in force would drop bindings or a user's disabled flag.
  if (!database->loadComplete(kLargeAuthorityBytes)) {
    candidate.problem = platform::readProblem(candidate.path);
    if (candidate.problem.empty()) candidate.problem = "ends inside an open section";
  } else if (database->count() == 0) {
    candidate.problem = "holds no sections";
  } else {
    candidate.events = EventDestination(database.get());
    candidate.directories = SectionDirectories::ofLoadedTree(*database);
    candidate.database = std::move(database);
  }
  return candidate;
}

bool AuthFilter::retryDue() const { return retryPending_.load() && clock_() >= retryAt_.load(); }

void AuthFilter::scheduleRetry() {
  retryAt_.store(clock_() + kRetryInterval);
  retryPending_.store(true);
}

void AuthFilter::saveBackup(ConfigFile& database) {
  std::string directory;
  if (!readSetting(kBackupDirectoryValue, &directory)) return;
  const std::string backupPath = backupFileName(directory, platform::utcNow());
  // The backup holds the state in force until now; the object is discarded afterwards.
  database.saveAs(backupPath.c_str());
}

bool AuthFilter::claimReload(const std::optional<platform::FileVersion>& seen,
                             platform::FileVersion* claimed) {
  if (reloading_) return false;
  // A file that cannot be examined counts as unchanged since the last attempt.
  *claimed = seen.value_or(attemptStamp_);
  if (*claimed == attemptStamp_ && !retryDue()) return false;
  reloading_ = true;
  return true;
}

bool AuthFilter::reloadIfChanged() { return reloadOnThisThread(Reloader::kServing); }

void AuthFilter::refresh() { reloadOnThisThread(Reloader::kIdle); }

bool AuthFilter::reloadOnThisThread(Reloader reloader) {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reloading_) return false;
    path = databasePath_;
  }
  platform::FileVersion version;
  const bool examined = platform::fileVersion(path, &version);
  platform::FileVersion claimed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path != databasePath_ ||
        !claimReload(examined ? std::optional(version) : std::nullopt, &claimed)) {
      return false;
    }
  }
  return reload(claimed, reloader);
}

AuthFilter::Start AuthFilter::startReload(const std::optional<platform::FileVersion>& seen,
                                          bool mayRunInline) {
  std::lock_guard<std::mutex> lock(mutex_);
  platform::FileVersion claimed;
  if (!claimReload(seen, &claimed)) return Start::kNone;
  if (mayRunInline && seen && seen->size <= inlineLoadLimit_) return Start::kClaimedForCaller;
  try {
    // The thread of the previous reload has released its claim: it is ending, if not gone.
    if (reloader_.joinable()) reloader_.join();
    // Started under the lock, so that the next claimer sees reloader_ assigned.
    reloader_ = std::thread([this, claimed] {
      bool usable = false;
      std::unique_ptr<Content> replaced = loadAndSwap(claimed, &usable);
      // The backup and the freeing give way to the requests.
      platform::lowerThreadPriority();
      finishReload(std::move(replaced));
    });
  } catch (...) {
    reloading_ = false;  // no thread: a later request tries again
    return Start::kNone;
  }
  return Start::kOnItsThread;
}

bool AuthFilter::reload(const platform::FileVersion& claimed, Reloader reloader) {
  bool usable = false;
  finishReload(loadAndSwap(claimed, &usable, reloader), reloader);
  return usable;
}

std::unique_ptr<AuthFilter::Content> AuthFilter::loadAndSwap(
    const platform::FileVersion& claimed, bool* usable, Reloader reloader) {
  // Decisions go on meanwhile on the content in force, which the read below does not touch.
  Content candidate = loadFromSettings();
  *usable = candidate.database != nullptr;
  if (!*usable) {
    // Only the reload, which this thread holds, changes what is in force.
    const bool inForce = content_.read().get() != nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // The content in force stays; this version is not tried again before the retry is due.
      attemptStamp_ = claimed;
      scheduleRetry();
      if (!inForce) refusing_.store(candidate.configured);
    }
    if (reloader == Reloader::kServing) reportFailedLoad(candidate, inForce);
    return nullptr;
  }
  const std::string path = candidate.path;
  const platform::FileVersion version = candidate.version;
  // In force until the next reload, which cannot start before this one has ended.
  const ConfigFile& database = *candidate.database;
  // Returns once no decision holds the old content any more.
  std::unique_ptr<Content> replaced =
      content_.publish(std::make_unique<Content>(std::move(candidate)));
  // No decision on the old content runs any more, so none remembers a logon after this: what
  // was verified against it goes with it.
  verifiedLogons_.clear();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    databasePath_ = path;
    attemptStamp_ = version;
    retryPending_.store(false);
    refusing_.store(false);
  }
  if (reloader == Reloader::kServing) reportLoad(database, path);
  return replaced;
}

void AuthFilter::reportFailedLoad(const Content& candidate, bool contentInForce) {
  if (!candidate.configured) return;  // nothing to load: a fresh installation
  const std::string failure =
      "the account database " + candidate.path + " cannot be loaded: " + candidate.problem;
  if (!contentInForce) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failureReported_ = true;
    }
    host_.report(Severity::kError,
                 failure + "; requests with credentials are refused (503) until it loads");
    return;
  }
  const platform::FileVersion& v = candidate.version;
  const std::string key = candidate.path + '\n' + candidate.problem + '\n' +
                          std::to_string(v.lastWriteTime) + ' ' + std::to_string(v.identity) +
                          ' ' + std::to_string(v.size);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (key == lastFailureReported_) return;
    lastFailureReported_ = key;
    failureReported_ = true;
  }
  host_.report(Severity::kWarning, failure + "; the content loaded before stays in force");
}

void AuthFilter::reportLoad(const ConfigFile& database, const std::string& path) {
  bool endsAFailure = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    endsAFailure = failureReported_;
    failureReported_ = false;
    lastFailureReported_.clear();
  }
  if (endsAFailure) {
    host_.report(Severity::kNotice, "the account database " + path + " is loaded and in force");
  }
  for (const std::string& warning : unboundSiteWarnings(database, host_.sites(), path)) {
    host_.report(Severity::kWarning, warning);
  }
}

void AuthFilter::reportUnreachable(const std::string& path) {
  // The reason is taken before the flag: the one request that reports it names what it saw.
  const std::string reason = platform::readProblem(path);
  if (unreachable_.exchange(true)) return;
  host_.report(Severity::kWarning,
               "the account database " + path + " cannot be examined" +
                   (reason.empty() ? std::string() : ": " + reason) +
                   "; the content loaded before stays in force until it can be");
}

void AuthFilter::reportReachable(const std::string& path) {
  if (!unreachable_.exchange(false)) return;
  host_.report(Severity::kNotice, "the account database " + path +
                                      " can be examined again; changes to it are followed");
}

void AuthFilter::setHost(std::vector<FilterSite> sites, DiagnosticSink sink) {
  host_.attach(std::move(sites), std::move(sink));
  const auto held = content_.read();
  if (held.get() == nullptr) return;
  for (const std::string& warning :
       unboundSiteWarnings(*held.get()->database, host_.sites(), held.get()->path)) {
    host_.report(Severity::kWarning, warning);
  }
}

void AuthFilter::detachHost() noexcept { host_.detach(); }

DWORD AuthFilter::refuseUnavailable(HTTP_FILTER_CONTEXT* pfc) {
  if (pfc->ServerSupportFunction != nullptr) {
    pfc->ServerSupportFunction(pfc, SF_REQ_SEND_RESPONSE_HEADER,
                               const_cast<char*>(kUnavailableStatus), 0, 0);
  }
  SetLastError(ERROR_BAD_CONFIGURATION);
  return SF_STATUS_REQ_ERROR;
}

void AuthFilter::finishReload(std::unique_ptr<Content> replaced, Reloader reloader) {
  if (replaced != nullptr) {
    if (reloader == Reloader::kServing) saveBackup(*replaced->database);
    // The file's text, the sections kept as its text and the name indexes go back to the
    // system at once (they live in blocks of their own). The few objects made since the load
    // (sections parsed on first use) return to the C heap's pools, where the next ones reuse
    // them: trimming those pools would hold the pools' locks, and so stall the requests that
    // allocate from them, for as long as it takes.
    replaced.reset();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reloading_ = false;
  }
  reloadEnded_.notify_all();
}

void AuthFilter::finishReloadInBackground(std::unique_ptr<Content> replaced) {
  if (replaced != nullptr) {
    std::unique_lock<std::mutex> lock(mutex_);
    try {
      if (reloader_.joinable()) reloader_.join();
      // The thread owns what was replaced from here on.
      Content* handedOver = replaced.get();
      reloader_ = std::thread([this, handedOver] {
        platform::lowerThreadPriority();
        finishReload(std::unique_ptr<Content>(handedOver));
      });
      replaced.release();
      return;
    } catch (...) {
      // No thread: the backup is written here.
    }
  }
  finishReload(std::move(replaced));
}

void AuthFilter::waitForReload() {
  std::unique_lock<std::mutex> lock(mutex_);
  reloadEnded_.wait(lock, [this] { return !reloading_; });
}

bool AuthFilter::loaded() const { return content_.read().get() != nullptr; }

bool AuthFilter::reloading() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reloading_;
}

int AuthFilter::readerCount() const { return static_cast<int>(content_.readerCount()); }

DWORD AuthFilter::handleAuthentication(HTTP_FILTER_CONTEXT* pfc,
                                       HTTP_FILTER_AUTHENT* credentials) {
  platform::FileVersion claimed;
  {
    const auto held = content_.read();
    const Content* content = held.get();
    if (content == nullptr) {
      // Without a database a request may start the load that is due; it passes through, unless
      // the named database cannot be loaded and it carries credentials.
      if (retryPending_.load() && clock_() >= retryAt_.load()) startReload(std::nullopt, false);
      const bool carriesCredentials =
          (credentials->pszUser != nullptr && credentials->cbUserBuff > 0 &&
           credentials->pszUser[0] != '\0') ||
          (credentials->pszPassword != nullptr && credentials->cbPasswordBuff > 0 &&
           credentials->pszPassword[0] != '\0');
      if (refusing_.load() && carriesCredentials) return refuseUnavailable(pfc);
      return SF_STATUS_REQ_NEXT_NOTIFICATION;
    }
    // The one look at the database file; a file that cannot be examined counts as unchanged.
    // One request looks at a time: while a look hangs (a share whose file server stopped
    // answering blocks it until the client gives up), the others decide on the content in
    // force instead of hanging behind it.
    if (looking_.exchange(true, std::memory_order_acquire)) {
      return authenticateRequest(pfc, credentials, *content->database,
                                 platform::currentFileTime(), &eventLog_, &verifiedLogons_,
                                 &content->events, &content->directories);
    }
    platform::FileVersion version;
    Start start = Start::kNone;
    const bool examined = platform::fileVersion(content->path, &version);
    looking_.store(false, std::memory_order_release);
    if (!examined) {
      if (!unreachable_.load(std::memory_order_relaxed)) reportUnreachable(content->path);
      if (retryPending_.load()) start = startReload(std::nullopt, false);
    } else {
      if (unreachable_.load(std::memory_order_relaxed)) reportReachable(content->path);
      if (version != content->version || retryPending_.load()) {
        start = startReload(version, true);
        claimed = version;
      }
    }
    if (start != Start::kClaimedForCaller) {
      return authenticateRequest(pfc, credentials, *content->database,
                                 platform::currentFileTime(), &eventLog_, &verifiedLogons_,
                                 &content->events, &content->directories);
    }
  }
  // A small file: this request reads it and decides on what is in force then. It holds no
  // content meanwhile, so the swap does not wait for it.
  bool usable = false;
  finishReloadInBackground(loadAndSwap(claimed, &usable));
  const auto held = content_.read();
  if (held.get() == nullptr) return SF_STATUS_REQ_NEXT_NOTIFICATION;
  return authenticateRequest(pfc, credentials, *held.get()->database,
                             platform::currentFileTime(), &eventLog_, &verifiedLogons_,
                             &held.get()->events, &held.get()->directories);
}

}  // namespace gatekeeper
