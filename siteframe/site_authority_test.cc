// Site resolution: the binding key from SERVER_NAME and SERVER_PORT, the bound authority, and
// the absence of any fallback.
#include "siteframe/site_authority.h"

#include <gtest/gtest.h>

#include "siteframe/site_test_support.h"

namespace gatekeeper {
namespace {

class SiteAuthorityTest : public SiteTest {
 protected:
  SiteAuthorityTest() : SiteTest("/cgi/steward") {
    servers().setString("ALPHA", "Staff");        // stored in capitals, port 80
    servers().setString("beta|8080", "Guests");
    servers().setString("gamma", "Removed");      // its authority was deleted
    authority("Staff");
    authority("Guests");
  }
  void request(const char* host, const char* port) {
    server_.set("SERVER_NAME", host);
    server_.set("SERVER_PORT", port);
  }
};

TEST_F(SiteAuthorityTest, KeyTakesThePortUnlessItIsExactly80) {
  const struct {
    const char* host;
    const char* port;
    const char* key;
  } cases[] = {
      {"alpha", "80", "alpha"},
      {"alpha", "8080", "alpha|8080"},
      {"alpha", "080", "alpha|080"},
      {"alpha", "443", "alpha|443"},
      {"Alpha.Example", "80", "Alpha.Example"},  // as sent
      {"alpha", nullptr, "alpha|"},              // no port: no key of the host alone
  };
  for (const auto& c : cases) {
    request(c.host, c.port);
    EXPECT_EQ(siteBindingKey(), c.key) << c.host << " " << (c.port ? c.port : "(unset)");
  }
}

TEST_F(SiteAuthorityTest, FindsTheBoundAuthorityWithoutFallback) {
  const struct {
    const char* host;
    const char* port;
    const char* authority;  // nullptr: none
  } cases[] = {
      {"alpha", "80", "Staff"},    // binding stored as ALPHA
      {"ALPHA", "80", "Staff"},
      {"alpha", "8080", nullptr},  // the binding of the host alone does not serve 8080
      {"alpha", nullptr, nullptr},
      {"beta", "8080", "Guests"},
      {"beta", "80", nullptr},
      {"gamma", "80", nullptr},    // binding to a deleted authority
      {"delta", "80", nullptr},    // no binding
  };
  for (const auto& c : cases) {
    request(c.host, c.port);
    const ConfigSection* found = siteAuthority(database());
    const std::string where = std::string(c.host) + ":" + (c.port ? c.port : "(unset)");
    if (c.authority == nullptr) {
      EXPECT_TRUE(found->isPlaceholder()) << where;
    } else {
      ASSERT_FALSE(found->isPlaceholder()) << where;
      EXPECT_STREQ(found->name(), c.authority) << where;
    }
  }
}

TEST_F(SiteAuthorityTest, DatabaseWithoutBindingsHasNoSiteAuthority) {
  ConfigFile empty(settings_.file("empty.cfg").c_str(), 1);
  empty.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
  EXPECT_TRUE(siteAuthority(empty)->isPlaceholder());
  // A binding naming a value of ACCOUNTS rather than an authority section finds nothing.
  servers().setString("alpha", "Stray");
  database().sectionByName("ACCOUNTS")->setInt("Stray", 1);
  EXPECT_TRUE(siteAuthority(database())->isPlaceholder());
}

}  // namespace
}  // namespace gatekeeper
