#include "platform/environment.h"

#include <gtest/gtest.h>

namespace gatekeeper::platform {
namespace {

TEST(EnvironmentTest, SetReadAndRemove) {
  ASSERT_TRUE(setEnvironmentVariable("GATEKEEPER_ENV_TEST", "one two"));
  EXPECT_EQ(environmentVariable("GATEKEEPER_ENV_TEST"), "one two");
  ASSERT_TRUE(setEnvironmentVariable("GATEKEEPER_ENV_TEST", nullptr));
  EXPECT_EQ(environmentVariable("GATEKEEPER_ENV_TEST"), std::nullopt);
}

TEST(EnvironmentTest, NamesMatchIgnoringCase) {
  ASSERT_TRUE(setEnvironmentVariable("GATEKEEPER_ENV_CASE", "x"));
  EXPECT_EQ(environmentVariable("gatekeeper_env_case"), "x");
  EXPECT_EQ(environmentVariable("Gatekeeper_Env_Case"), "x");
  EXPECT_EQ(environmentVariable("GATEKEEPER_ENV_CAS"), std::nullopt);
  setEnvironmentVariable("GATEKEEPER_ENV_CASE", nullptr);
}

TEST(EnvironmentTest, RefusesNamesTheEnvironmentCannotHold) {
  EXPECT_FALSE(setEnvironmentVariable("", "x"));
  EXPECT_FALSE(setEnvironmentVariable("A=B", "x"));
  EXPECT_EQ(environmentVariable(""), std::nullopt);
}

}  // namespace
}  // namespace gatekeeper::platform
