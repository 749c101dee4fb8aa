#include "server_variable_copy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(ServerVariableCopy, CopiesTheValueAndItsTerminatorAndReportsTheSizeUsed) {
  char buffer[16];
  memset(buffer, '#', sizeof(buffer));
  DWORD size = sizeof(buffer);
  EXPECT_TRUE(copyServerVariable("8080", 4, buffer, &size));
  EXPECT_STREQ("8080", buffer);
  EXPECT_EQ(5u, size);
  EXPECT_EQ('#', buffer[5]);

  size = 5;  // exactly the value and its terminator
  EXPECT_TRUE(copyServerVariable("intr", 4, buffer, &size));
  EXPECT_STREQ("intr", buffer);

  size = 1;
  EXPECT_TRUE(copyServerVariable("", 0, buffer, &size));
  EXPECT_STREQ("", buffer);
  EXPECT_EQ(1u, size);
}

TEST(ServerVariableCopy, TooSmallBufferFailsWithTheNeededSizeAndStaysUntouched) {
  char buffer[8];
  memset(buffer, '#', sizeof(buffer));
  DWORD size = 4;  // the value fits but its terminator does not
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(copyServerVariable("8080", 4, buffer, &size));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_EQ(5u, size);
  EXPECT_EQ(std::string(8, '#'), std::string(buffer, 8));

  size = 0;  // the usual way to ask for the size first
  EXPECT_FALSE(copyServerVariable("localhost", 9, nullptr, &size));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_EQ(10u, size);

  size = 100;  // no buffer at all, however large the size claimed
  EXPECT_FALSE(copyServerVariable("localhost", 9, nullptr, &size));
  EXPECT_EQ(10u, size);
}

TEST(ServerVariableCopy, MissingSizeIsAnInvalidParameter) {
  char buffer[8];
  EXPECT_FALSE(copyServerVariable("x", 1, buffer, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

}  // namespace
