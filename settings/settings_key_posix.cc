// The settings key as a directory tree: a key is a directory below the registry root, a value
// a file in it holding the value's bytes.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/system_error.h"
#include "settings/settings_key.h"

namespace gatekeeper {
namespace {

constexpr char kDefaultRegistryRoot[] = "/var/lib/kestrel-gatekeeper/registry";

const char* rootKeyName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::kCurrentUser:
      return "HKEY_CURRENT_USER";
  }
  return "HKEY_LOCAL_MACHINE";
}

// Whether a key or value name can be one entry of a directory: not empty, not "." or "..",
// and without "/" (which would lead out of the key).
bool isEntryName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// The directories from the registry root down to the key, each one entry longer; empty when
// the path holds a name that cannot be a directory entry.
std::vector<std::string> keyDirectories(RegistryRoot root, const char* path) {
  std::string directory = platform::environmentVariable("GATEKEEPER_REGISTRY").value_or("");
  if (directory.empty()) directory = kDefaultRegistryRoot;
  directory += '/';
  directory += rootKeyName(root);
  std::vector<std::string> chain{directory};
  std::string_view rest = path != nullptr ? path : "";
  while (true) {
    const std::size_t separator = rest.find('\\');
    const std::string_view name = rest.substr(0, separator);
    if (!isEntryName(name)) return {};
    directory += '/';
    directory += name;
    chain.push_back(directory);
    if (separator == std::string_view::npos) return chain;
    rest.remove_prefix(separator + 1);
  }
}

int openDirectory(const std::string& directory) {
  return ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

struct SettingsKey::Handle {
  int fd = -1;
  std::string directory;
};

SettingsKey::SettingsKey() = default;

SettingsKey::~SettingsKey() { close(); }

bool SettingsKey::openForReading(RegistryRoot root, const char* path) {
  close();
  lastError_ = 0;
  const std::vector<std::string> chain = keyDirectories(root, path);
  if (chain.empty()) {
    lastError_ = ENOENT;  // no directory can stand for such a key: it cannot exist
    return false;
  }
  const int fd = openDirectory(chain.back());
  if (fd < 0 || ::faccessat(fd, ".", R_OK | X_OK, 0) != 0) {
    lastError_ = platform::lastSystemError();
    if (fd >= 0) ::close(fd);
    return false;
  }
  handle_.reset(new Handle{fd, chain.back()});
  return true;
}

bool SettingsKey::openForWriting(RegistryRoot root, const char* path) {
  close();
  lastError_ = 0;
  const std::vector<std::string> chain = keyDirectories(root, path);
  if (chain.empty()) {
    lastError_ = EINVAL;
    return false;
  }
  // The registry root itself is created too, as the predefined keys always exist on Windows.
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(chain.front()).parent_path(), ignored);
  for (const std::string& directory : chain) {
    if (::mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
      lastError_ = platform::lastSystemError();
      return false;
    }
  }
  const int fd = openDirectory(chain.back());
  if (fd < 0 || ::faccessat(fd, ".", R_OK | W_OK | X_OK, 0) != 0) {
    lastError_ = platform::lastSystemError();
    if (fd >= 0) ::close(fd);
    return false;
  }
  handle_.reset(new Handle{fd, chain.back()});
  writable_ = true;
  return true;
}

bool SettingsKey::isOpen() const { return handle_ != nullptr; }

void SettingsKey::close() {
  if (handle_ != nullptr) ::close(handle_->fd);
  handle_.reset();
  writable_ = false;
}

std::optional<std::string> SettingsKey::readString(const char* valueName) const {
  lastError_ = 0;
  if (handle_ == nullptr || valueName == nullptr || !isEntryName(valueName)) {
    lastError_ = ENOENT;
    return std::nullopt;
  }
  const int fd = ::openat(handle_->fd, valueName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    lastError_ = platform::lastSystemError();
    return std::nullopt;
  }
  std::string bytes;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      lastError_ = platform::lastSystemError();
      ::close(fd);
      return std::nullopt;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (bytes.empty()) return std::nullopt;
  return bytes.substr(0, bytes.find('\0'));
}

bool SettingsKey::writeString(const char* valueName, std::string_view text) {
  lastError_ = 0;
  if (handle_ == nullptr || !writable_ || valueName == nullptr || !isEntryName(valueName) ||
      text.find('\0') != std::string_view::npos) {
    return false;
  }
  std::string bytes(text);
  bytes += '\0';
  // Every program of the system reads the settings, whichever account it runs under.
  if (platform::replaceFile(handle_->directory + "/" + valueName, bytes,
                            platform::NewFileAccess::kEveryoneReads)) {
    return true;
  }
  lastError_ = platform::lastSystemError();
  return false;
}

bool SettingsKey::meansMissing(int code) { return code == ENOENT || code == ENOTDIR; }

std::string SettingsKey::location(RegistryRoot root, const char* path) {
  const std::vector<std::string> chain = keyDirectories(root, path);
  return chain.empty() ? std::string(rootKeyName(root)) + "\\" + (path != nullptr ? path : "")
                       : chain.back();
}

}  // namespace gatekeeper
