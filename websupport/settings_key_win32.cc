// The settings key in the Windows registry.
#include <windows.h>

#include <vector>

#include "websupport/settings_key.h"

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
  HKEY key = nullptr;
  if (path == nullptr ||
      RegOpenKeyExA(rootKey(root), path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  handle_.reset(new Handle{key});
  return true;
}

bool SettingsKey::openForWriting(RegistryRoot root, const char* path) {
  close();
  HKEY key = nullptr;
  if (path == nullptr ||
      RegCreateKeyExA(rootKey(root), path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
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
  if (handle_ == nullptr || valueName == nullptr) return std::nullopt;
  DWORD size = 0;
  if (RegQueryValueExA(handle_->key, valueName, nullptr, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size == 0) {
    return std::nullopt;
  }
  // One byte more than the value holds, zero: a value stored without its terminating zero
  // still ends inside the buffer.
  std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
  if (RegQueryValueExA(handle_->key, valueName, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(buffer.data());
}

bool SettingsKey::writeString(const char* valueName, std::string_view text) {
  if (handle_ == nullptr || !writable_ || valueName == nullptr ||
      text.find('\0') != std::string_view::npos || text.size() >= 0xFFFFFFFFu) {
    return false;
  }
  const std::string stored(text);
  return RegSetValueExA(handle_->key, valueName, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(stored.c_str()),
                        static_cast<DWORD>(stored.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace gatekeeper
