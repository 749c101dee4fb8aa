#include "platform/system_error.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/scratch_directory.h"

namespace gatekeeper::platform {
namespace {

TEST(SystemErrorTest, ReadProblemNamesWhyAFileCannotBeRead) {
  ScratchDirectory scratch;
  const std::string readable = scratch.file("readable.cfg");
  std::ofstream(readable) << "x";
  EXPECT_EQ("", readProblem(readable));
  // A missing file and a missing directory both have the system's reason, never an empty one.
  EXPECT_NE("", readProblem(scratch.file("missing.cfg")));
  EXPECT_NE("", readProblem(scratch.file("no-such-dir/x.cfg")));
}

TEST(SystemErrorTest, EveryCodeHasAText) {
  EXPECT_NE("", systemErrorText(2));
  EXPECT_EQ(std::string::npos, systemErrorText(2).find('\n'));
  EXPECT_NE("", systemErrorText(987654));
}

}  // namespace
}  // namespace gatekeeper::platform
