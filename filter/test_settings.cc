#include "filter/test_settings.h"

#include <gtest/gtest.h>

#include "platform/environment.h"
#include "websupport/settings_key.h"

// Removing a value is not something the system ever does, so the helper reaches the store
// directly: the registry on Windows, the value file elsewhere.
#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

namespace gatekeeper {

TestSettings::TestSettings(const platform::ScratchDirectory& scratch) {
#ifndef _WIN32
  previousRoot_ = platform::environmentVariable("GATEKEEPER_REGISTRY");
  std::filesystem::create_directories(scratch.file("registry"));
  platform::setEnvironmentVariable("GATEKEEPER_REGISTRY", scratch.file("registry").c_str());
#else
  (void)scratch;
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

void TestSettings::set(const char* valueName, const std::string& text) {
  SettingsKey key;
  ASSERT_TRUE(key.openForWriting());
  ASSERT_TRUE(key.writeString(valueName, text));
}

void TestSettings::remove(const char* valueName) {
#ifdef _WIN32
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsPath, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, valueName);
    RegCloseKey(key);
  }
#else
  const auto root = platform::environmentVariable("GATEKEEPER_REGISTRY");
  if (!root) return;
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(*root) / "HKEY_LOCAL_MACHINE" / "Software" /
                              "Kestrel" / "Gatekeeper (Text)" / valueName,
                          ignored);
#endif
}

void TestSettings::clear() {
  remove(kConfigurationFileValue);
  remove(kBackupDirectoryValue);
}

}  // namespace gatekeeper
