// The lock that holds across the hosts of a farm: a holder directory made only where none is,
// broken only when its holder is gone.
#include "websupport/share_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/scratch_directory.h"

namespace gatekeeper {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::int64_t kUnixEpoch = 116444736000000000;
constexpr std::int64_t kTicks = platform::kTicksPerSecond;
// No process has this id on Linux (pid_max is at most 2^22) nor on Windows (ids are multiples
// of four).
constexpr std::int64_t kNoSuchProcess = 2147483646;

ShareLock::Timing quick() { return {milliseconds(300), seconds(120)}; }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The line a holder (or breaker) holds: the name of the one entry in it, and a line end.
std::string lineOf(const std::string& holder) {
  std::string line;
  for (const auto& entry : fs::directory_iterator(holder)) {
    EXPECT_TRUE(line.empty()) << "a second line in " << holder;
    line = entry.path().filename().string() + "\n";
  }
  return line;
}

// A holder (or breaker) as another process makes it, with the line or (for "") none.
void writeHolder(const std::string& holder, const std::string& text) {
  fs::create_directory(holder);
  if (!text.empty()) fs::create_directory(holder + "/" + text.substr(0, text.size() - 1));
}

std::string line(const std::string& host, std::int64_t pid, std::int64_t since) {
  return "host=" + host + " pid=" + std::to_string(pid) + " since=" + std::to_string(since) +
         "\n";
}

std::int64_t unixNow() { return (platform::currentFileTime() - kUnixEpoch) / kTicks; }

TEST(ShareLockTest, HolderNamesTheHolderWhileHeldAndGoesAfter) {
  platform::ScratchDirectory dir;
  const std::string holder = dir.file("accounts.cfg.holder");
  {
    ShareLock lock(holder, quick());
    ASSERT_EQ(lock.outcome(), ShareLock::Outcome::kHeld);
    EXPECT_TRUE(fs::is_directory(holder));
    const std::string text = lineOf(holder);
    EXPECT_EQ(text.rfind("host=" + platform::hostName() + " pid=" +
                             std::to_string(platform::currentProcessId()) + " since=",
                         0),
              0u)
        << text;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_FALSE(ShareLock::isStale(text, 0, platform::currentFileTime(), seconds(120)));
  }
  EXPECT_FALSE(fs::exists(holder));
}

TEST(ShareLockTest, ALiveHolderKeepsItForTheWholeWait) {
  platform::ScratchDirectory dir;
  const std::string holder = dir.file("accounts.cfg.holder");
  const std::string other = line("web2.example", 4242, unixNow());
  writeHolder(holder, other);
  const auto start = std::chrono::steady_clock::now();
  ShareLock lock(holder, quick());
  EXPECT_EQ(lock.outcome(), ShareLock::Outcome::kBusy);
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(300));
  EXPECT_EQ(lock.reason(), other.substr(0, other.size() - 1));
  EXPECT_EQ(lineOf(holder), other);  // neither broken nor removed on the way out
}

TEST(ShareLockTest, StaleHolders) {
  const std::int64_t now = platform::currentFileTime();
  const std::int64_t nowSeconds = (now - kUnixEpoch) / kTicks;
  const std::string here = platform::hostName();
  const std::int64_t self = platform::currentProcessId();
  struct Case {
    const char* what;
    std::string line;
    std::int64_t lastWrite;
    bool stale;
  } cases[] = {
      {"this host, a process that runs", line(here, self, nowSeconds - 100), 0, false},
      {"this host, a process that ended", line(here, kNoSuchProcess, nowSeconds), 0, true},
      {"another host, recent", line("web2.example", kNoSuchProcess, nowSeconds - 100), 0, false},
      {"another host, past the limit", line("web2.example", 1, nowSeconds - 121), 0, true},
      {"this host, running but past the limit", line(here, self, nowSeconds - 121), 0, true},
      {"no line, written long ago", "", now - 121 * kTicks, true},
      {"no line, written just now", "", now - 5 * kTicks, false},
      {"no line, time unknown", "", 0, false},
      {"a line without its time", "host=web2 pid=7\n", now - 121 * kTicks, true},
      {"a time that is not a number", "host=web2 pid=7 since=soon\n", now, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShareLock::isStale(c.line, c.lastWrite, now, seconds(120)), c.stale) << c.what;
  }
}

TEST(ShareLockTest, BreaksAHolderThatIsGone) {
  platform::ScratchDirectory dir;
  const std::string holder = dir.file("accounts.cfg.holder");
  const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
  // Each makes the holder; false where this system cannot date it back.
  struct Case {
    const char* what;
    std::function<bool()> make;
  } cases[] = {
      {"a process of this host that ended",
       [&] {
         writeHolder(holder, line(platform::hostName(), kNoSuchProcess, unixNow()));
         return true;
       }},
      {"another host, past the limit",
       [&] {
         writeHolder(holder, line("crashed.example", 1, unixNow() - 3600));
         return true;
       }},
      {"no line, made long ago",
       [&] {
         fs::create_directory(holder);
         std::error_code error;
         fs::last_write_time(holder, longAgo, error);
         return !error;
       }},
      {"a file in the holder's place, written long ago",
       [&] {
         writeFile(holder, line("crashed.example", 1, unixNow() - 3600));
         std::error_code error;
         fs::last_write_time(holder, longAgo, error);
         return !error;
       }},
  };
  for (const Case& c : cases) {
    if (!c.make()) {
      fs::remove_all(holder);
      continue;
    }
    const auto start = std::chrono::steady_clock::now();
    {
      ShareLock lock(holder, {milliseconds(30000), seconds(120)});
      ASSERT_EQ(lock.outcome(), ShareLock::Outcome::kHeld) << c.what;
      EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(10000)) << c.what;
      EXPECT_EQ(lineOf(holder).rfind("host=" + platform::hostName() + " pid=" +
                                         std::to_string(platform::currentProcessId()) + " ",
                                     0),
                0u)
          << c.what;
      EXPECT_FALSE(fs::exists(holder + ".break")) << c.what;
    }
    EXPECT_FALSE(fs::exists(holder)) << c.what;
  }
}

// Whatever a file system client left in the holder (a removed file it kept hidden while open,
// ".fuse_hidden..."), the holder goes when its lock ends or is broken: else nobody could take
// the lock again.
TEST(ShareLockTest, AHolderGoesWithWhatIsLeftInIt) {
  platform::ScratchDirectory dir;
  const std::string holder = dir.file("accounts.cfg.holder");
  {
    ShareLock lock(holder, quick());
    ASSERT_EQ(lock.outcome(), ShareLock::Outcome::kHeld);
    writeFile(holder + "/.fuse_hidden0000002000000001", "host=web1 pid=1 since=1\n");
  }
  EXPECT_FALSE(fs::exists(holder));

  writeHolder(holder, line("crashed.example", 1, unixNow() - 3600));
  writeFile(holder + "/.fuse_hidden0000002000000002", "x");
  {
    ShareLock lock(holder, {milliseconds(30000), seconds(120)});
    EXPECT_EQ(lock.outcome(), ShareLock::Outcome::kHeld);
  }
  EXPECT_FALSE(fs::exists(holder));
}

// A holder without a line yet (its maker writes it now) is no crashed host's.
TEST(ShareLockTest, AFreshHolderWithoutItsLineIsWaitedFor) {
  platform::ScratchDirectory dir;
  const std::string holder = dir.file("accounts.cfg.holder");
  fs::create_directory(holder);
  ShareLock lock(holder, quick());
  EXPECT_EQ(lock.outcome(), ShareLock::Outcome::kBusy);
  EXPECT_EQ(lock.reason(), "");
  EXPECT_TRUE(fs::is_directory(holder));
}

TEST(ShareLockTest, ABreakerThatDiedIsCleanedUpAndOneThatRunsIsWaitedFor) {
  platform::ScratchDirectory dir;
  const std::string holder = dir.file("accounts.cfg.holder");
  const std::string crashed = line("crashed.example", 1, unixNow() - 3600);

  writeHolder(holder, crashed);
  writeHolder(holder + ".break", line(platform::hostName(), kNoSuchProcess, unixNow()));
  {
    ShareLock lock(holder, quick());
    EXPECT_EQ(lock.outcome(), ShareLock::Outcome::kHeld);
  }
  EXPECT_FALSE(fs::exists(holder + ".break"));

  // A breaker of another host at work: the stale holder stays its to remove.
  writeHolder(holder, crashed);
  writeHolder(holder + ".break", line("web3.example", 1, unixNow()));
  ShareLock lock(holder, quick());
  EXPECT_EQ(lock.outcome(), ShareLock::Outcome::kBusy);
  EXPECT_EQ(lineOf(holder), crashed);
}

// A live holder writes its line anew, so that it never looks like a crashed host's; a holder
// that is no longer its own (held past the limit, broken by another host that holds it now) it
// neither writes anew nor removes when it ends.
TEST(ShareLockTest, AHolderKeepsItsLineFreshAndLeavesOneNoLongerItsOwn) {
  platform::ScratchDirectory dir;
  const std::string holder = dir.file("accounts.cfg.holder");
  const std::string next = line("web2.example", 99, unixNow());
  {
    ShareLock lock(holder, quick());
    ASSERT_EQ(lock.outcome(), ShareLock::Outcome::kHeld);
    const std::string first = lineOf(holder);
    const auto start = std::chrono::steady_clock::now();
    while (ShareLock::holderLine() == first &&
           std::chrono::steady_clock::now() - start < seconds(10)) {
      std::this_thread::sleep_for(milliseconds(50));
    }
    lock.refresh();
    const std::string second = lineOf(holder);
    EXPECT_NE(second, first);
    const auto since = [](const std::string& text) {
      return std::stoll(text.substr(text.find("since=") + 6));
    };
    EXPECT_GT(since(second), since(first));
    EXPECT_EQ(second.substr(0, second.find("since=")), first.substr(0, first.find("since=")));

    fs::remove_all(holder);
    writeHolder(holder, next);
    lock.refresh();
    EXPECT_EQ(lineOf(holder), next);
  }
  EXPECT_EQ(lineOf(holder), next);
}

TEST(ShareLockTest, FailsWhereNoHolderCanBeMade) {
  platform::ScratchDirectory dir;
  ShareLock lock(dir.file("no-such-dir") + "/accounts.cfg.holder", quick());
  EXPECT_EQ(lock.outcome(), ShareLock::Outcome::kFailed);
  EXPECT_FALSE(lock.reason().empty());
}

// Holders that take turns: each adds one line to a file that only a holder touches, as a save
// rewrites the database; no line is lost.
TEST(ShareLockTest, TakersTakeTurns) {
  platform::ScratchDirectory dir;
  const std::string holder = dir.file("accounts.cfg.holder");
  const std::string counted = dir.file("counted");
  writeFile(counted, "");
  std::atomic<int> held{0};
  std::vector<std::thread> takers;
  for (int t = 0; t < 4; ++t) {
    takers.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        ShareLock lock(holder, {milliseconds(30000), seconds(120)});
        if (lock.outcome() != ShareLock::Outcome::kHeld) continue;
        ++held;
        const std::string before = readFile(counted);
        writeFile(counted, before + "x");
      }
    });
  }
  for (std::thread& taker : takers) taker.join();
  EXPECT_EQ(held.load(), 100);
  EXPECT_EQ(readFile(counted).size(), 100u);
  EXPECT_FALSE(fs::exists(holder));
}

}  // namespace
}  // namespace gatekeeper
