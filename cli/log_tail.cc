#include "cli/log_tail.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "accountdb/event_log_reader.h"
#include "platform/files.h"

namespace gatekeeper::cli {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

LogTail::LogTail(std::string path) : path_(std::move(path)) {}

bool LogTail::readFollowed(const std::string& path, bool wholeLinesOnly, const LineSink& sink) {
  platform::FileVersion before;
  if (!platform::fileVersion(path, &before) || before.identity != identity_) return false;
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
  if (!file) return false;
  // Replaced between the look and the open: the next poll finds the new file.
  platform::FileVersion after;
  if (!platform::fileVersion(path, &after) || after.identity != identity_) return false;
  if (after.size < static_cast<std::uint64_t>(position_)) position_ = 0;  // truncated
  if (!platform::seekStream(file.get(), position_)) return false;
  std::string line;
  while (accountdb::readLogLine(file.get(), &line, wholeLinesOnly)) sink(line);
  if (const std::int64_t position = platform::streamPosition(file.get()); position >= 0) position_ = position;
  return true;
}

void LogTail::poll(const LineSink& sink) {
  platform::FileVersion now;
  const bool present = platform::fileVersion(path_, &now);
  if (started_ && (!present || now.identity != identity_)) {
    // Rotated: what is left of the old file is read where the rotation put it. Until a new file
    // is in place the old one may still gain lines; after that, nobody appends to it, and what
    // is left of it, finished or not, is its last line.
    readFollowed(accountdb::rotatedLogPath(path_), !present, sink);
    if (!present) return;
  }
  if (!present) return;
  if (!started_ || now.identity != identity_) {
    started_ = true;
    identity_ = now.identity;
    position_ = 0;
  }
  readFollowed(path_, true, sink);
}

}  // namespace gatekeeper::cli
