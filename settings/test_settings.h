// Test helper: the settings key set up for one test. Outside Windows the registry is a
// directory tree, so each helper points GATEKEEPER_REGISTRY at a fresh, empty root of its own
// (no key at all) and restores the variable afterwards. On Windows the tests share the
// registry of the test machine (Wine's prefix): the helper removes the system's two values
// before and after the test, so tests using it must not run in parallel (RESOURCE_LOCK
// settings_key).
#ifndef GATEKEEPER_SETTINGS_TEST_SETTINGS_H_
#define GATEKEEPER_SETTINGS_TEST_SETTINGS_H_

#include <optional>
#include <string>

#include "platform/scratch_directory.h"

namespace gatekeeper {

class TestSettings {
 public:
  TestSettings();
  ~TestSettings();
  TestSettings(const TestSettings&) = delete;
  TestSettings& operator=(const TestSettings&) = delete;

  // The directory standing for the registry outside Windows.
  std::string registryRoot() const { return scratch_.file("registry"); }
  // A file in the helper's scratch directory, for databases and the like.
  std::string file(const std::string& name) const { return scratch_.file(name); }

  // Stores a string value under the system's settings key, creating the key; true on success.
  static bool store(const char* valueName, const std::string& text);
  // The value as the programs read it; nullopt when absent.
  static std::optional<std::string> read(const char* valueName);
  // Removes one value of the key ("Configuration File", "Backup directory"), or both.
  static void remove(const char* valueName);
  static void clear();
  // Removes the whole key, so that opening it fails.
  static void removeKey();

 private:
  platform::ScratchDirectory scratch_;
  std::optional<std::string> previousRoot_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_SETTINGS_TEST_SETTINGS_H_
