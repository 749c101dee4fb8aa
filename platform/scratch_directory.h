// Test helper: a fresh, empty directory for one test, removed with everything in it when the
// object goes away.
#ifndef GATEKEEPER_PLATFORM_SCRATCH_DIRECTORY_H_
#define GATEKEEPER_PLATFORM_SCRATCH_DIRECTORY_H_

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace gatekeeper::platform {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("gatekeeper-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of a file inside the directory, as a narrow text.
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The whole content of a file read in binary mode; empty when it cannot be read.
inline std::string readWholeFile(const std::string& path) {
  std::string contents;
  readFileContents(path, &contents);
  return contents;
}

inline void writeWholeFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
}

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_SCRATCH_DIRECTORY_H_
