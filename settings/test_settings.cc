#include "settings/test_settings.h"

#include <filesystem>

#include "platform/environment.h"
#include "settings/settings_key.h"

// Removing values or the key is not something the system ever does, so the helper reaches the
// store directly: the registry on Windows, the directory tree elsewhere.
#ifdef _WIN32
#include <windows.h>
#endif

namespace gatekeeper {
namespace {

#ifndef _WIN32
std::filesystem::path keyDirectory() {
  const std::string root = platform::environmentVariable("GATEKEEPER_REGISTRY").value_or("");
  return std::filesystem::path(root) / "HKEY_LOCAL_MACHINE" / "Software" / "Kestrel" /
         "Gatekeeper (Text)";
}
#endif

}  // namespace

TestSettings::TestSettings() {
#ifndef _WIN32
  previousRoot_ = platform::environmentVariable("GATEKEEPER_REGISTRY");
  std::filesystem::create_directories(registryRoot());
  platform::setEnvironmentVariable("GATEKEEPER_REGISTRY", registryRoot().c_str());
#endif
  clear();
}

TestSettings::~TestSettings() {
  clear();
#ifndef _WIN32
  platform::setEnvironmentVariable("GATEKEEPER_REGISTRY",
                                   previousRoot_ ? previousRoot_->c_str() : nullptr);
#endif
}

bool TestSettings::store(const char* valueName, const std::string& text) {
  SettingsKey key;
  return key.openForWriting() && key.writeString(valueName, text);
}

std::optional<std::string> TestSettings::read(const char* valueName) {
  SettingsKey key;
  key.openForReading();
  return key.readString(valueName);
}

void TestSettings::remove(const char* valueName) {
#ifdef _WIN32
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsPath, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, valueName);
    RegCloseKey(key);
  }
#else
  std::error_code ignored;
  std::filesystem::remove(keyDirectory() / valueName, ignored);
#endif
}

void TestSettings::clear() {
  remove(kConfigurationFileValue);
  remove(kBackupDirectoryValue);
}

void TestSettings::removeKey() {
#ifdef _WIN32
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsPath);
#else
  std::error_code ignored;
  std::filesystem::remove_all(keyDirectory(), ignored);
#endif
}

}  // namespace gatekeeper
