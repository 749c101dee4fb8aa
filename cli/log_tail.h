// Following the filter's event log as it grows: the whole lines appended since the last look,
// through a rotation (the log renamed to <log>.1 and a new file created in its place, as
// logrotate does) and a truncation (copytruncate). The filter opens the log for every line, so
// between two lines the file may be renamed, replaced or removed at any time; a tail holds the
// file open only while it reads, so that it never keeps anyone from renaming or removing it
// (Windows refuses to rename a file that is held open).
#ifndef GATEKEEPER_CLI_LOG_TAIL_H_
#define GATEKEEPER_CLI_LOG_TAIL_H_

#include <cstdint>
#include <functional>
#include <string>

namespace gatekeeper::cli {

class LogTail {
 public:
  using LineSink = std::function<void(const std::string& line)>;

  // Follows the log at path; nothing is read before the first poll.
  explicit LogTail(std::string path);

  // Hands sink every whole line (as accountdb::readLogLine reads it) that the file has gained
  // since the last poll, in file order; the first poll hands every line the file holds. A line
  // its writer has not finished waits for a later poll. When the file at path is no longer the
  // one being read (rotated), the rest of the old file comes first, then the new file from its
  // start; when the file has shrunk below what was read (truncated), it is read again from its
  // start. The old file is found as <log>.1; while no new file is in place, the lines added to
  // it are handed on. A missing file is waited for: nothing is handed until it appears.
  void poll(const LineSink& sink);

 private:
  // Reads the file at path from position_ on when it is the file being followed; false when it
  // is not, or cannot be opened.
  bool readFollowed(const std::string& path, bool wholeLinesOnly, const LineSink& sink);

  std::string path_;
  bool started_ = false;
  std::uint64_t identity_ = 0;
  std::int64_t position_ = 0;
};

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_LOG_TAIL_H_
