#include "filter/auth_filter.h"

#include <cstdio>
#include <utility>

#include "configstore/config_file.h"
#include "filter/authenticate_request.h"
#include "filter/backup_name.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "websupport/settings_key.h"

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

AuthFilter::AuthFilter(Clock clock) : clock_(std::move(clock)) {
  Candidate first = loadFromSettings();
  databasePath_ = first.path;
  fileStamp_ = first.version;
  database_ = std::move(first.database);
  loaded_ = database_ != nullptr;
  if (!loaded_) scheduleRetry();
}

AuthFilter::~AuthFilter() = default;

AuthFilter::Candidate AuthFilter::loadFromSettings() {
  Candidate candidate;
  if (!readSetting(kConfigurationFileValue, &candidate.path)) return candidate;
  // The version is taken before the file is read: a save that lands while it loads then
  // differs from it and is picked up by the next request, instead of being taken for the
  // content already loaded. A file that cannot be examined leaves an empty version, which
  // differs from every real one.
  platform::fileVersion(candidate.path, &candidate.version);
  auto database = std::make_unique<ConfigFile>(candidate.path.c_str(), 0);
  // A file that holds nothing or ends inside an open section is being rewritten in place (or
  // was cut short): putting it in force would drop bindings or a user's disabled flag.
  if (database->loadComplete() && database->count() > 0) candidate.database = std::move(database);
  return candidate;
}

platform::FileVersion AuthFilter::readFileVersion(const std::string& path) const {
  platform::FileVersion version;
  if (platform::fileVersion(path, &version)) return version;
  std::lock_guard<std::mutex> lock(mutex_);
  return fileStamp_;
}

bool AuthFilter::retryDue() const { return retryPending_ && clock_() >= retryAt_; }

void AuthFilter::scheduleRetry() {
  retryPending_ = true;
  retryAt_ = clock_() + kRetryInterval;
}

void AuthFilter::saveBackup(ConfigFile& database) {
  std::string directory;
  if (!readSetting(kBackupDirectoryValue, &directory)) return;
  const std::string backupPath = backupFileName(directory, platform::utcNow());
  // The backup holds the state in force until now; the object is discarded afterwards.
  database.saveAs(backupPath.c_str());
}

bool AuthFilter::reloadIfChanged() {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reloading_) return false;
    path = databasePath_;
  }
  const platform::FileVersion version = readFileVersion(path);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Another thread may have claimed or finished a reload since the look above.
    if (reloading_ || path != databasePath_) return false;
    if (version == fileStamp_ && !retryDue()) return false;
    reloading_ = true;
  }

  // New decisions wait from here on; those already admitted finish on the content in force,
  // which the read below does not touch.
  Candidate candidate = loadFromSettings();
  std::unique_ptr<ConfigFile> replaced;
  const bool usable = candidate.database != nullptr;
  if (usable) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return readerCount_ == 0; });
    }
    // No decision runs now and none is admitted until reloading_ is cleared.
    if (database_ != nullptr) saveBackup(*database_);
    replaced = std::move(database_);
    database_ = std::move(candidate.database);
  }

  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (usable) {
      databasePath_ = candidate.path;
      fileStamp_ = candidate.version;
      loaded_ = true;
      retryPending_ = false;
    } else {
      // The content in force stays; this version is not tried again before the retry is due.
      fileStamp_ = version;
      scheduleRetry();
    }
    reloading_ = false;
  }
  changed_.notify_all();
  return usable;
}

void AuthFilter::enterReader() {
  reloadIfChanged();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !reloading_; });
  ++readerCount_;
}

void AuthFilter::leaveReader() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (readerCount_ > 0) --readerCount_;
  if (readerCount_ == 0) changed_.notify_all();
}

bool AuthFilter::loaded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loaded_;
}

bool AuthFilter::reloading() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reloading_;
}

int AuthFilter::readerCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readerCount_;
}

DWORD AuthFilter::handleAuthentication(HTTP_FILTER_CONTEXT* pfc,
                                       HTTP_FILTER_AUTHENT* credentials) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Without a database a request passes through, unless a new attempt to load is due.
    if (!loaded_ && !reloading_ && !retryDue()) return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
  enterReader();
  // Admitted: the database cannot change until leaveReader.
  if (database_ == nullptr) {
    leaveReader();
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
  const DWORD status =
      authenticateRequest(pfc, credentials, *database_, platform::currentFileTime());
  // The decision's last error is what the server reads after the call.
  const DWORD lastError = GetLastError();
  leaveReader();
  SetLastError(lastError);
  return status;
}

}  // namespace gatekeeper
