#include "filter/auth_filter.h"

#include <cstdio>

#include "configstore/config_file.h"
#include "filter/authenticate_request.h"
#include "filter/backup_name.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "websupport/settings_key.h"

namespace gatekeeper {
namespace {

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

AuthFilter::AuthFilter() {
  database_ = loadFromSettings(&databasePath_, &fileStamp_);
  loaded_ = database_ != nullptr;
}

AuthFilter::~AuthFilter() = default;

std::unique_ptr<ConfigFile> AuthFilter::loadFromSettings(std::string* path,
                                                         platform::FileVersion* stamp) {
  const bool named = readSetting(kConfigurationFileValue, path);
  // The stamp is taken before the file is read: a save that lands while it loads then differs
  // from the stamp and is picked up by the next request, instead of being taken for the
  // content already loaded.
  platform::fileVersion(*path, stamp);
  if (!named) return nullptr;
  auto database = std::make_unique<ConfigFile>(path->c_str(), 0);
  if (!database->load()) return nullptr;
  return database;
}

platform::FileVersion AuthFilter::readFileVersion(const std::string& path) const {
  platform::FileVersion version;
  if (platform::fileVersion(path, &version)) return version;
  std::lock_guard<std::mutex> lock(mutex_);
  return fileStamp_;
}

void AuthFilter::saveBackup() {
  std::string directory;
  if (database_ == nullptr || !readSetting(kBackupDirectoryValue, &directory)) return;
  const std::string backupPath = backupFileName(directory, platform::utcNow());
  // The backup holds the state in force until now; the object is discarded afterwards.
  database_->saveAs(backupPath.c_str());
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
    std::unique_lock<std::mutex> lock(mutex_);
    // Another thread may have claimed or finished a reload since the look above.
    if (reloading_ || version == fileStamp_ || path != databasePath_) return false;
    reloading_ = true;
    changed_.wait(lock, [this] { return readerCount_ == 0; });
  }

  // No decision runs now and none is admitted until reloading_ is cleared.
  saveBackup();
  database_.reset();
  std::string newPath = databasePath_;
  platform::FileVersion stamp = version;
  database_ = loadFromSettings(&newPath, &stamp);

  {
    std::lock_guard<std::mutex> lock(mutex_);
    databasePath_ = newPath;
    loaded_ = database_ != nullptr;
    fileStamp_ = stamp;
    reloading_ = false;
  }
  changed_.notify_all();
  return true;
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

int AuthFilter::readerCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readerCount_;
}

DWORD AuthFilter::handleAuthentication(HTTP_FILTER_CONTEXT* pfc,
                                       HTTP_FILTER_AUTHENT* credentials) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!loaded_ && !reloading_) return SF_STATUS_REQ_NEXT_NOTIFICATION;
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
