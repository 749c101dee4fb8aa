// The settings key in the Windows registry.
#include <windows.h>

#include <vector>

#include "settings/settings_key.h"

namespace gatekeeper {
namespace {

HKEY rootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
  }
  return HKEY_LOCAL_MACHINE;
}

}  // namespace

struct SettingsKey::Handle {
  HKEY key = nullptr;
};

SettingsKey::SettingsKey() = default;

SettingsKey::~SettingsKey() { close(); }

bool SettingsKey::openForReading(RegistryRoot root, const char* path) {
  close();
  lastError_ = 0;
  HKEY key = nullptr;
  const LONG status = path == nullptr ? ERROR_FILE_NOT_FOUND
                                      : RegOpenKeyExA(rootKey(root), path, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) {
    lastError_ = static_cast<int>(status);
    return false;
  }
  handle_.reset(new Handle{key});
  return true;
}

bool SettingsKey::openForWriting(RegistryRoot root, const char* path) {
  close();
  lastError_ = 0;
  HKEY key = nullptr;
  const LONG status =
      path == nullptr ? ERROR_INVALID_PARAMETER
                      : RegCreateKeyExA(rootKey(root), path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    lastError_ = static_cast<int>(status);
    return false;
  }
  handle_.reset(new Handle{key});
  writable_ = true;
  return true;
}

bool SettingsKey::isOpen() const { return handle_ != nullptr; }

void SettingsKey::close() {
  if (handle_ != nullptr) RegCloseKey(handle_->key);
  handle_.reset();
  writable_ = false;
}

std::optional<std::string> SettingsKey::readString(const char* valueName) const {
  lastError_ = 0;
  if (handle_ == nullptr || valueName == nullptr) {
    lastError_ = ERROR_FILE_NOT_FOUND;
    return std::nullopt;
  }
  DWORD size = 0;
  LONG status = RegQueryValueExA(handle_->key, valueName, nullptr, nullptr, nullptr, &size);
  if (status != ERROR_SUCCESS || size == 0) {
    if (status != ERROR_SUCCESS) lastError_ = static_cast<int>(status);
    return std::nullopt;
  }
  // One byte more than the value holds, zero: a value stored without its terminating zero
  // still ends inside the buffer.
  std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
  status = RegQueryValueExA(handle_->key, valueName, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (status != ERROR_SUCCESS) {
    lastError_ = static_cast<int>(status);
    return std::nullopt;
  }
  return std::string(buffer.data());
}

bool SettingsKey::writeString(const char* valueName, std::string_view text) {
  lastError_ = 0;
  if (handle_ == nullptr || !writable_ || valueName == nullptr ||
      text.find('\0') != std::string_view::npos || text.size() >= 0xFFFFFFFFu) {
    return false;
  }
  const std::string stored(text);
  const LONG status = RegSetValueExA(handle_->key, valueName, 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(stored.c_str()),
                                     static_cast<DWORD>(stored.size() + 1));
  if (status != ERROR_SUCCESS) lastError_ = static_cast<int>(status);
  return status == ERROR_SUCCESS;
}

bool SettingsKey::meansMissing(int code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

std::string SettingsKey::location(RegistryRoot root, const char* path) {
  return std::string(root == RegistryRoot::kCurrentUser ? "HKEY_CURRENT_USER\\"
                                                        : "HKEY_LOCAL_MACHINE\\") +
         (path != nullptr ? path : "");
}

}  // namespace gatekeeper
