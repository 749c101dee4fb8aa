#include "platform/thread_priority.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace gatekeeper::platform {
namespace {

int niceOf(long thread) { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread)); }

// Only the calling thread gives way: the threads that serve requests keep their priority.
TEST(ThreadPriorityTest, OnlyTheCallingThreadIsLowered) {
  const long caller = ::syscall(SYS_gettid);
  const int before = niceOf(caller);
  if (before >= 10) GTEST_SKIP() << "this process already runs at a low priority";
  int lowered = before;
  std::thread background([&] {
    lowerThreadPriority();
    lowered = niceOf(::syscall(SYS_gettid));
  });
  background.join();
  EXPECT_GT(lowered, before);
  EXPECT_EQ(niceOf(caller), before);
}

}  // namespace
}  // namespace gatekeeper::platform
