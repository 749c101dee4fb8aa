#include <gtest/gtest.h>

#include <string>

#include "passhash/apr1.h"

namespace gatekeeper::passhash {
namespace {

// Values written by Apache's htpasswd -nbm.
TEST(Apr1Test, MatchesHtpasswd) {
  const std::pair<const char*, const char*> cases[] = {
      {"pass", "$apr1$GEfolTuE$4PoH.JSHOrX3IJynjnXRn/"},
      {"correct horse", "$apr1$7nLxizlM$eFbYBt9KwFxrur/ebGR191"},
      {"", "$apr1$x6NGR5BT$4m1p5P6NUh5.pF4Qz.Php0"},
      {"a password longer than sixteen bytes", "$apr1$pDtBBJqv$JSPMAjAp257gg0vAdKgcp/"},
  };
  for (const auto& [password, stored] : cases) {
    const std::string_view salt = std::string_view(stored).substr(6, 8);
    EXPECT_EQ(apr1Crypt(password, salt), stored) << password;
  }
}

TEST(Apr1Test, SaltIsCutAtEightCharacters) {
  EXPECT_EQ(apr1Crypt("pass", "GEfolTuEextra"), "$apr1$GEfolTuE$4PoH.JSHOrX3IJynjnXRn/");
  EXPECT_NE(apr1Crypt("pass", "GEfolTu"), apr1Crypt("pass", "GEfolTuE"));
}

}  // namespace
}  // namespace gatekeeper::passhash
