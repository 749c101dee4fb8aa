// Test helper: waiting on conditions, not for a fixed time, when a test holds a database lock
// and shows that another thread or process waits for it. The waiting party is seen blocked on
// the lock file (Linux: its request in /proc/locks); the wait ends at once when the thing that
// must not happen while the lock is held happens instead.
#ifndef GATEKEEPER_WEBSUPPORT_LOCK_WAITER_FOR_TEST_H_
#define GATEKEEPER_WEBSUPPORT_LOCK_WAITER_FOR_TEST_H_

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#ifdef __linux__
#include <sys/stat.h>
#endif

namespace gatekeeper {

// Whether a thread or process is blocked waiting to lock the file at lockPath. Linux lists
// every blocked request in /proc/locks, marked "->", with the file's device and inode;
// elsewhere the waiters cannot be seen and this is always false.
inline bool lockFileHasWaiter(const std::string& lockPath) {
#ifdef __linux__
  struct stat file;
  if (::stat(lockPath.c_str(), &file) != 0) return false;
  const std::string inode = ":" + std::to_string(file.st_ino) + " ";
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    if (line.find(" -> ") != std::string::npos && line.find(inode) != std::string::npos) {
      return true;
    }
  }
#else
  (void)lockPath;
#endif
  return false;
}

// Waits until another party is blocked on the lock file at lockPath or forbidden() holds,
// whichever comes first, and returns forbidden(). Where waiters can be seen the wait has no
// fixed length: it ends when the waiter is seen (at most after a minute, a party that never
// comes). Where they cannot be seen, it ends after unseenWait, or earlier when forbidden()
// holds.
inline bool forbiddenBeforeLockWaiter(const std::string& lockPath,
                                      const std::function<bool()>& forbidden,
                                      std::chrono::milliseconds unseenWait) {
#ifdef __linux__
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  (void)unseenWait;
#else
  const auto deadline = std::chrono::steady_clock::now() + unseenWait;
#endif
  while (!forbidden() && !lockFileHasWaiter(lockPath) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return forbidden();
}

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_LOCK_WAITER_FOR_TEST_H_
