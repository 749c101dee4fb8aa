#include "websupport/share_lock.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

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

// The entry of a holder (or breaker) directory that carries a line: a directory named by the
// line without its line end. No file is kept in the holder, so that nothing there can be open
// when it goes (a FUSE client keeps a removed file that is open, hidden in the directory,
// which then cannot be removed).
std::string entryOf(const std::string& directory, const std::string& line) {
  const std::size_t end = line.find_last_not_of("\r\n");
  return directory + platform::kPathSeparator + line.substr(0, end == std::string::npos ? 0 : end + 1);
}

// The names in a directory; nullopt when it cannot be listed (gone, or not a directory).
std::optional<std::vector<std::string>> entriesOf(const std::string& directory) {
  std::error_code error;
  std::filesystem::directory_iterator entries(directory, error);
  if (error) return std::nullopt;
  std::vector<std::string> names;
  for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    if (error) return std::nullopt;
    names.push_back(entries->path().filename().string());
  }
  return names;
}

// What a holder (or breaker) says: its line; "" where it is there without a line (its maker is
// writing it, or died before it did; a file in the holder's place); nullopt where it is gone.
// While a holder writes its line anew it has two for a moment: the later one counts.
std::optional<std::string> readHolder(const std::string& directory) {
  const std::optional<std::vector<std::string>> names = entriesOf(directory);
  if (!names) {
    if (lastWriteTimeOf(directory) != 0) return std::string();
    return std::nullopt;
  }
  std::string line;
  for (const std::string& name : *names) {
    if (name.rfind("host=", 0) == 0 && name > line) line = name;
  }
  return line.empty() ? line : line + "\n";
}

// Makes the holder (or breaker) directory at path with line in it. A directory whose line
// cannot be made is removed again: kFailed, with the system's reason in *failure.
platform::NewFileResult take(const std::string& path, const std::string& line,
                             std::string* failure) {
  platform::NewFileResult made = platform::createNewDirectory(path);
  if (made == platform::NewFileResult::kCreated &&
      platform::createNewDirectory(entryOf(path, line)) != platform::NewFileResult::kCreated) {
    made = platform::NewFileResult::kFailed;
    *failure = platform::systemErrorText(platform::lastSystemError());
    platform::removeDirectory(entryOf(path, line));
    platform::removeDirectory(path);
  } else if (made == platform::NewFileResult::kFailed) {
    *failure = platform::systemErrorText(platform::lastSystemError());
  }
  return made;
}

// Removes a holder (or breaker) with all it holds; a file in the holder's place is removed as
// such. A file system client may show an entry a moment after it went: what remains is
// removed again for a while. false when the holder stays.
bool removeHolder(const std::string& path) {
  if (platform::removeFile(path)) return true;
  for (int attempt = 0; attempt < 40; ++attempt) {
    for (const std::string& name : entriesOf(path).value_or(std::vector<std::string>())) {
      const std::string entry = path + platform::kPathSeparator + name;
      if (!platform::removeDirectory(entry)) platform::removeFile(entry);
    }
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
        isStale(*seen, lastWriteTimeOf(path_), platform::currentFileTime(),
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
  // The new line before the old one goes, so that the holder never looks empty.
  if (platform::createNewDirectory(entryOf(path_, renewed)) != platform::NewFileResult::kCreated) {
    return;
  }
  platform::removeDirectory(entryOf(path_, line_));
  line_ = renewed;
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
             isStale(*other, lastWriteTimeOf(breaker), platform::currentFileTime(),
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
