#include "websupport/share_lock.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace gatekeeper {

namespace {

// FileTime of 1970-01-01 00:00:00 UTC.
constexpr std::int64_t kUnixEpoch = 116444736000000000;

// Polls of a busy lock start short, for the common wait behind one page, and grow to this.
constexpr int kLongestPollMs = 100;

// What a holder line says.
struct Holder {
  std::string host;
  std::int64_t pid = 0;
  std::int64_t since = 0;  // seconds since 1970 UTC
};

// The value after "key=" up to the next blank or line end; nullopt when the key is missing.
std::optional<std::string_view> field(std::string_view line, std::string_view key) {
  for (size_t at = 0; at < line.size();) {
    const size_t end = std::min(line.find_first_of(" \t\r\n", at), line.size());
    const std::string_view word = line.substr(at, end - at);
    if (word.size() > key.size() && word.substr(0, key.size()) == key &&
        word[key.size()] == '=') {
      return word.substr(key.size() + 1);
    }
    at = end + 1;
  }
  return std::nullopt;
}

std::optional<std::int64_t> number(std::optional<std::string_view> text) {
  if (!text || text->empty() || text->size() > 18 ||
      text->find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  return std::strtoll(std::string(*text).c_str(), nullptr, 10);
}

std::optional<Holder> parseHolder(std::string_view line) {
  const auto host = field(line, "host");
  const auto pid = number(field(line, "pid"));
  const auto since = number(field(line, "since"));
  if (!host || !pid || !since) return std::nullopt;
  return Holder{std::string(*host), *pid, *since};
}

std::int64_t lastWriteTimeOf(const std::string& path) {
  std::int64_t time = 0;
  return platform::lastWriteTime(path, &time) ? time : 0;
}

// The file in a holder (or breaker) directory that holds its line.
std::string lineFileOf(const std::string& directory) {
  return directory + platform::kPathSeparator + "line";
}

// What a holder (or breaker) directory says: its line; "" where the directory is there without
// a readable line (its maker is writing it, or died before it did); nullopt where it is gone.
std::optional<std::string> readHolder(const std::string& directory) {
  std::string text;
  if (platform::readFileContents(lineFileOf(directory), &text)) return text;
  if (lastWriteTimeOf(directory) != 0) return std::string();
  return std::nullopt;
}

// When a holder directory or its line was last written (0 when unknown).
std::int64_t holderWriteTime(const std::string& directory) {
  return std::max(lastWriteTimeOf(directory), lastWriteTimeOf(lineFileOf(directory)));
}

// Makes the holder (or breaker) directory at path and writes line in it. A directory whose
// line cannot be written is removed again: kFailed, with the system's reason in *failure.
platform::NewFileResult take(const std::string& path, const std::string& line,
                             std::string* failure) {
  platform::NewFileResult made = platform::createNewDirectory(path);
  if (made == platform::NewFileResult::kCreated &&
      platform::createNewFile(lineFileOf(path), line) != platform::NewFileResult::kCreated) {
    made = platform::NewFileResult::kFailed;
    *failure = platform::systemErrorText(platform::lastSystemError());
    platform::removeFile(lineFileOf(path));
    platform::removeDirectory(path);
  } else if (made == platform::NewFileResult::kFailed) {
    *failure = platform::systemErrorText(platform::lastSystemError());
  }
  return made;
}

// Removes a holder (or breaker) directory with its line; a holder file of the kind that held
// the line itself is removed as such. A reader on this host that has the line open as it goes
// keeps the directory for a moment (a FUSE client hides such a file until it is closed): the
// directory is removed again for a while. false when it stays.
bool removeHolder(const std::string& path) {
  if (platform::removeFile(path)) return true;
  platform::removeFile(lineFileOf(path));
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (platform::removeDirectory(path) || lastWriteTimeOf(path) == 0) return true;
    platform::sleepMilliseconds(25);
  }
  return false;
}

}  // namespace

std::string ShareLock::holderLine() {
  const std::string host = platform::hostName();
  const std::int64_t since = (platform::currentFileTime() - kUnixEpoch) / platform::kTicksPerSecond;
  return "host=" + (host.empty() ? std::string("unknown") : host) +
         " pid=" + std::to_string(platform::currentProcessId()) +
         " since=" + std::to_string(since) + "\n";
}

bool ShareLock::isStale(const std::string& line, std::int64_t lastWriteTime, std::int64_t now,
                        std::chrono::seconds staleAfter) {
  const std::int64_t limit = staleAfter.count() * platform::kTicksPerSecond;
  const std::optional<Holder> holder = parseHolder(line);
  if (!holder) return lastWriteTime != 0 && now - lastWriteTime > limit;
  const std::string host = platform::hostName();
  if (!host.empty() && holder->host == host && !platform::processRuns(holder->pid)) return true;
  return now - (kUnixEpoch + holder->since * platform::kTicksPerSecond) > limit;
}

ShareLock::ShareLock(const std::string& holderPath, Timing timing)
    : path_(holderPath), timing_(timing) {
  const auto deadline = std::chrono::steady_clock::now() + timing_.longestWait;
  int pollMs = 5;
  while (true) {
    line_ = holderLine();
    switch (take(path_, line_, &reason_)) {
      case platform::NewFileResult::kCreated:
        outcome_ = Outcome::kHeld;
        reason_.clear();
        try {
          refresher_ = std::thread([this] { keepFresh(); });
        } catch (...) {
          // No thread: the file keeps its first time, which covers any hold of a page.
        }
        return;
      case platform::NewFileResult::kFailed:
        outcome_ = Outcome::kFailed;
        return;
      case platform::NewFileResult::kExists:
        break;
    }
    const std::optional<std::string> seen = readHolder(path_);
    if (seen &&
        isStale(*seen, holderWriteTime(path_), platform::currentFileTime(),
                timing_.staleAfter) &&
        breakStale(*seen)) {
      continue;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      outcome_ = Outcome::kBusy;
      reason_ = seen ? *seen : std::string();
      while (!reason_.empty() && (reason_.back() == '\n' || reason_.back() == '\r')) {
        reason_.pop_back();
      }
      return;
    }
    platform::sleepMilliseconds(pollMs);
    pollMs = std::min(2 * pollMs, kLongestPollMs);
  }
}

ShareLock::~ShareLock() {
  if (outcome_ != Outcome::kHeld) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
  }
  ending_.notify_all();
  if (refresher_.joinable()) refresher_.join();
  // A holder broken as stale (this process held it past staleAfter) leaves the next one's file.
  const std::optional<std::string> held = readHolder(path_);
  if (held && *held == line_) removeHolder(path_);
}

void ShareLock::keepFresh() {
  const auto interval = std::chrono::duration_cast<std::chrono::milliseconds>(timing_.staleAfter) / 4;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!ending_.wait_for(lock, interval, [this] { return ended_; })) {
    lock.unlock();
    refresh();
    lock.lock();
  }
}

void ShareLock::refresh() {
  if (outcome_ != Outcome::kHeld) return;
  const std::string renewed = holderLine();
  std::lock_guard<std::mutex> lock(mutex_);
  const std::optional<std::string> held = readHolder(path_);
  if (!held || *held != line_ || renewed == line_) return;
  // Written anew, never in place, so that a waiter never reads half a line. Meanwhile the
  // directory is there without a line, which its time (changed by the removal) shows fresh.
  platform::removeFile(lineFileOf(path_));
  if (platform::createNewFile(lineFileOf(path_), renewed) == platform::NewFileResult::kCreated) {
    line_ = renewed;
  }
}

bool ShareLock::breakStale(const std::string& seen) {
  const std::string breaker = path_ + ".break";
  std::string failure;
  switch (take(breaker, holderLine(), &failure)) {
    case platform::NewFileResult::kCreated:
      break;
    case platform::NewFileResult::kExists: {
      // Another waiter breaks it now, or died doing so: its breaker goes when stale.
      const std::optional<std::string> other = readHolder(breaker);
      return other &&
             isStale(*other, holderWriteTime(breaker), platform::currentFileTime(),
                     timing_.staleAfter) &&
             removeHolder(breaker);
    }
    case platform::NewFileResult::kFailed:
      return false;
  }
  // While this process holds the breaker, no other waiter removes the holder, and no new
  // holder can make one while the stale one exists: it is the one judged.
  const std::optional<std::string> now = readHolder(path_);
  if (now && *now == seen) removeHolder(path_);
  removeHolder(breaker);
  return true;
}

}  // namespace gatekeeper
