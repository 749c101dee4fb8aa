#include "cli/log_tail.h"

#include <utility>

#include "accountdb/event_log_reader.h"
#include "platform/files.h"

namespace gatekeeper::cli {

LogTail::LogTail(std::string path) : path_(std::move(path)) {}

LogTail::~LogTail() { close(); }

bool LogTail::open() {
  // The identity is taken before and after opening: a rotation in between would otherwise pair
  // the old file with the new one's identity, and the new file would never be read.
  for (int attempt = 0; attempt < 3; ++attempt) {
    platform::FileVersion before;
    if (!platform::fileVersion(path_, &before)) return false;
    std::FILE* file = std::fopen(path_.c_str(), "r");
    if (file == nullptr) return false;
    platform::FileVersion after;
    if (platform::fileVersion(path_, &after) && after.identity == before.identity) {
      file_ = file;
      identity_ = after.identity;
      return true;
    }
    std::fclose(file);
  }
  return false;
}

void LogTail::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

void LogTail::readWholeLines(const LineSink& sink) {
  std::string line;
  while (accountdb::readLogLine(file_, &line, true)) sink(line);
}

void LogTail::readToEnd(const LineSink& sink) {
  std::string line;
  while (accountdb::readLogLine(file_, &line)) sink(line);
}

void LogTail::poll(const LineSink& sink) {
  if (file_ == nullptr && !open()) return;
  readWholeLines(sink);
  platform::FileVersion now;
  if (!platform::fileVersion(path_, &now)) return;  // renamed, the new file not made yet
  if (now.identity != identity_) {
    // Nobody appends to the renamed file any more: what is left of it, finished or not, is
    // its last line.
    readToEnd(sink);
    close();
    if (open()) readWholeLines(sink);
    return;
  }
  const long position = std::ftell(file_);
  if (position >= 0 && now.size < static_cast<std::uint64_t>(position)) {
    std::fseek(file_, 0, SEEK_SET);
    readWholeLines(sink);
  }
}

}  // namespace gatekeeper::cli
