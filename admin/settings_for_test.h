// Test helper: a settings key of the test's own. Outside Windows the registry is a directory
// tree, so each test gets a fresh, empty root (no key at all). On Windows the tests share the
// registry of the test machine (Wine's prefix); there the key can be created and changed but
// not removed, so the tests of a missing key or value run only outside Windows.
#ifndef GATEKEEPER_ADMIN_SETTINGS_FOR_TEST_H_
#define GATEKEEPER_ADMIN_SETTINGS_FOR_TEST_H_

#include <filesystem>
#include <optional>
#include <string>

#include "platform/environment.h"
#include "platform/scratch_directory.h"
#include "websupport/settings_key.h"

namespace gatekeeper {

class SettingsForTest {
 public:
  SettingsForTest() {
#ifndef _WIN32
    std::filesystem::create_directory(registryRoot());
    platform::setEnvironmentVariable("GATEKEEPER_REGISTRY", registryRoot().c_str());
#endif
  }
  ~SettingsForTest() {
#ifndef _WIN32
    platform::setEnvironmentVariable("GATEKEEPER_REGISTRY", nullptr);
#endif
  }
  SettingsForTest(const SettingsForTest&) = delete;
  SettingsForTest& operator=(const SettingsForTest&) = delete;

  // The directory standing for the registry outside Windows.
  std::string registryRoot() const { return scratch_.file("registry"); }
  // A scratch directory for databases and the like.
  std::string file(const std::string& name) const { return scratch_.file(name); }

  // Stores a value under the settings key, creating the key.
  static bool store(const char* valueName, const std::string& text) {
    SettingsKey key;
    return key.openForWriting() && key.writeString(valueName, text);
  }
  static std::optional<std::string> read(const char* valueName) {
    SettingsKey key;
    key.openForReading();
    return key.readString(valueName);
  }

 private:
  platform::ScratchDirectory scratch_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_SETTINGS_FOR_TEST_H_
