// A file kept open for appending whole lines, for logs written on every request.
#ifndef GATEKEEPER_PLATFORM_APPEND_FILE_H_
#define GATEKEEPER_PLATFORM_APPEND_FILE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace gatekeeper::platform {

// Holds one file open for appending. Every append goes to the end of the file in a single
// write, so lines from concurrent writers (threads or processes) never interleave. The file
// stays shared: other programs may read, rename or delete it while it is open.
class AppendFile {
 public:
  // Opens the file for appending, creating it when missing; isOpen() tells whether it worked.
  // POSIX: a new file gets mode 0640 (less under a narrower umask); a symbolic link at path is
  // not followed (the open fails, its target is left untouched), nor does a FIFO without a
  // reader hold the caller.
  explicit AppendFile(const std::string& path);
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  bool isOpen() const;
  const std::string& path() const { return path_; }

  // Appends the bytes in one write; false when the file is not open or the write is short.
  bool append(std::string_view bytes);
  // Appends one whole line as platform::appendLine does (CR and LF inside written as blanks,
  // then the platform's text-mode line end).
  bool appendLine(std::string_view line);

  // Whether the path this file was opened by still names the file held open: false once the
  // file has been renamed, deleted or replaced there (a rotated log), or cannot be examined.
  bool isStillAtItsPath() const;

 private:
  struct Handle;
  std::string path_;
  std::unique_ptr<Handle> handle_;
  std::uint64_t identity_ = 0;
};

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_APPEND_FILE_H_
