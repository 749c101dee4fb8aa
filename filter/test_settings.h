// Test helper: the settings key that the filter reads, set up per test. Outside Windows the
// registry root (GATEKEEPER_REGISTRY) points into the test's scratch directory for the
// helper's life; on Windows the real key is used and its two values are removed afterwards,
// so tests using this helper must not run in parallel with each other.
#ifndef GATEKEEPER_FILTER_TEST_SETTINGS_H_
#define GATEKEEPER_FILTER_TEST_SETTINGS_H_

#include <optional>
#include <string>

#include "platform/scratch_directory.h"

namespace gatekeeper {

class TestSettings {
 public:
  explicit TestSettings(const platform::ScratchDirectory& scratch);
  ~TestSettings();
  TestSettings(const TestSettings&) = delete;
  TestSettings& operator=(const TestSettings&) = delete;

  // Writes a string value of the settings key (creating the key).
  void set(const char* valueName, const std::string& text);
  // Removes one value, or both ("Configuration File" and "Backup directory").
  void remove(const char* valueName);
  void clear();

 private:
  std::optional<std::string> previousRoot_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_TEST_SETTINGS_H_
