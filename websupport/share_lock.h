// The part of the database lock that holds across hosts. The web servers of a farm reach one
// account database through a network share, where an advisory lock (flock, or a byte-range
// lock through a client that does not pass it on to the server) excludes only the processes of
// the host that takes it. This lock is a directory beside the database, the holder, made only
// where none is, which the file server decides through every client (an exclusive create of a
// file is not passed on by all of them: smbnetfs creates the file anew where another host just
// made it): of several hosts that try at once, one makes it. What it holds is named by its
// line, which says who holds the lock:
//
//   host=web1 pid=4242 since=1765245600
//
// (the host name, the process id and the time it was taken, in seconds since 1970 UTC): a
// directory of that name, never a file, so that nothing in the holder is ever open when it
// goes (a FUSE client keeps a removed file that is still open hidden beside its line, and the
// holder could not be removed). The holder removes its line and the directory when it is
// done.
//
// While it holds the lock, the holder writes its line anew every quarter of staleAfter (the new
// one made before the old one goes), so a live holder's line never ages. A holder whose holder is gone is broken (removed) by a
// waiter: one of this host whose process no longer runs at once, and any one whose time is
// older than staleAfter (a host that crashed, or lost the share, while it held the lock). A
// holder without a readable line (its maker died between making the directory and writing the
// line) is judged by its last-write time. Waiters that break a holder take turns through a
// second directory made the same way, the breaker (holder path plus ".break"), and remove the
// holder only while it still holds the line they judged, never one that a quicker waiter made
// meanwhile. A file in the holder's place (a holder has no line there) is judged by its
// last-write time and removed as such. The hosts' clocks must agree (NTP) to well within
// staleAfter.
#ifndef GATEKEEPER_WEBSUPPORT_SHARE_LOCK_H_
#define GATEKEEPER_WEBSUPPORT_SHARE_LOCK_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace gatekeeper {

class ShareLock {
 public:
  struct Timing {
    // How long the constructor waits for a holder to let go before it gives up: below the
    // 30 s that a web server may be set to wait for a CGI program, so that a run kept waiting
    // answers itself.
    std::chrono::milliseconds longestWait{20000};
    // A holder this old is taken for one of a crashed host. Its holder writes its line anew
    // four times as often.
    std::chrono::seconds staleAfter{120};
  };
  enum class Outcome {
    kHeld,
    kBusy,    // another holder kept it for the whole wait
    kFailed,  // the holder cannot be made (no access, no such directory)
  };

  // Takes the lock of the holder at holderPath, waiting at most timing.longestWait.
  ShareLock(const std::string& holderPath, Timing timing);
  // Removes the holder when it still holds this lock's line.
  ~ShareLock();
  ShareLock(const ShareLock&) = delete;
  ShareLock& operator=(const ShareLock&) = delete;

  Outcome outcome() const { return outcome_; }
  // kBusy: the holder's line as last read ("" when it had none); kFailed: the system's
  // reason.
  const std::string& reason() const { return reason_; }

  // Writes the holder's line anew with the time now, when it still holds this lock's line
  // (as the lock does by itself while held).
  void refresh();

  // The line of this process taking the lock now.
  static std::string holderLine();
  // Whether the holder that holds `line` (as read) and was last written at
  // lastWriteTime (a FileTime, 0 when unknown) belongs to a holder that is gone, at `now`.
  static bool isStale(const std::string& line, std::int64_t lastWriteTime, std::int64_t now,
                      std::chrono::seconds staleAfter);

 private:
  // Removes the holder when it still holds `seen`, through the breaker (or removes a stale
  // breaker); false when another waiter is breaking it, or nothing can be made.
  bool breakStale(const std::string& seen);

  // Calls refresh() every quarter of staleAfter until the lock ends.
  void keepFresh();

  const std::string path_;
  const Timing timing_;
  Outcome outcome_ = Outcome::kFailed;
  std::string reason_;
  std::mutex mutex_;
  std::condition_variable ending_;
  bool ended_ = false;   // guarded by mutex_
  std::string line_;     // what this lock wrote last; guarded by mutex_ once held
  std::thread refresher_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_SHARE_LOCK_H_
