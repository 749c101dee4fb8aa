#include "platform/process.h"

#include <gtest/gtest.h>

namespace gatekeeper::platform {
namespace {

TEST(ProcessTest, TellsRunningProcessesFromEndedOnes) {
  EXPECT_GT(currentProcessId(), 0);
  EXPECT_TRUE(processRuns(currentProcessId()));
  // No process has these ids: Linux's pid_max is at most 2^22, Windows ids are multiples of
  // four, and 0 and negative ids name no process.
  for (std::int64_t id : {std::int64_t{2147483646}, std::int64_t{0}, std::int64_t{-5},
                          std::int64_t{1} << 40}) {
    EXPECT_FALSE(processRuns(id)) << id;
  }
}

TEST(ProcessTest, NamesThisHost) {
  const std::string name = hostName();
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(name.find_first_of(" \t\r\n"), std::string::npos) << name;
}

}  // namespace
}  // namespace gatekeeper::platform
