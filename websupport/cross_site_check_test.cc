// The cross-site gate of storing actions: which browser headers refuse a request, and that
// requests of the program's own pages and of command-line clients pass.
#include "websupport/cross_site_check.h"

#include <gtest/gtest.h>

#include "websupport/response_writer.h"
#include "websupport/server_variables_for_test.h"

namespace gatekeeper {
namespace {

struct Case {
  const char* https;       // HTTPS, nullptr: unset
  const char* host;        // HTTP_HOST
  const char* fetchSite;   // HTTP_SEC_FETCH_SITE
  const char* origin;      // HTTP_ORIGIN
  const char* referer;     // HTTP_REFERER
  bool refused;
};

TEST(CrossSiteCheckTest, RefusesWhatAnotherSiteSent) {
  const Case cases[] = {
      // No browser headers: curl and scripts.
      {nullptr, "127.0.0.1:8081", nullptr, nullptr, nullptr, false},
      {nullptr, nullptr, nullptr, nullptr, nullptr, false},
      // Fetch metadata.
      {nullptr, "127.0.0.1:8081", "same-origin", nullptr, nullptr, false},
      {nullptr, "127.0.0.1:8081", "none", nullptr, nullptr, false},
      {nullptr, "127.0.0.1:8081", "same-site", nullptr, nullptr, true},
      {nullptr, "127.0.0.1:8081", "cross-site", nullptr, nullptr, true},
      {nullptr, "127.0.0.1:8081", "Same-Origin", nullptr, nullptr, false},
      // Origin against the request's own origin.
      {nullptr, "127.0.0.1:8081", nullptr, "http://127.0.0.1:8081", nullptr, false},
      {nullptr, "Admin.Example:8081", nullptr, "http://admin.example:8081", nullptr, false},
      {nullptr, "127.0.0.1:8081", nullptr, "http://127.0.0.1:8080", nullptr, true},
      {nullptr, "127.0.0.1:8081", nullptr, "http://evil.example", nullptr, true},
      {nullptr, "127.0.0.1:8081", nullptr, "https://127.0.0.1:8081", nullptr, true},
      {nullptr, "127.0.0.1:8081", nullptr, "null", nullptr, true},
      {nullptr, nullptr, nullptr, "http://127.0.0.1:8081", nullptr, true},
      {nullptr, "admin.example", nullptr, "http://admin.example:80", nullptr, false},
      {"on", "admin.example", nullptr, "https://admin.example", nullptr, false},
      {"on", "admin.example:443", nullptr, "https://admin.example", nullptr, false},
      {"off", "admin.example", nullptr, "https://admin.example", nullptr, true},
      {nullptr, "[::1]:8081", nullptr, "http://[::1]:8081", nullptr, false},
      {nullptr, "[::1]:8081", nullptr, "http://[::1]:8080", nullptr, true},
      // Both: each must pass.
      {nullptr, "127.0.0.1:8081", "same-origin", "http://evil.example", nullptr, true},
      {nullptr, "127.0.0.1:8081", "cross-site", "http://127.0.0.1:8081", nullptr, true},
      // Referer only when neither of the others is sent.
      {nullptr, "127.0.0.1:8081", nullptr, nullptr, "http://127.0.0.1:8081/cgi-bin/overseer?Action=", false},
      {nullptr, "127.0.0.1:8081", nullptr, nullptr, "http://127.0.0.1:8080/attack.html", true},
      {nullptr, "127.0.0.1:8081", nullptr, nullptr, "http://user@evil.example/x", true},
      {nullptr, "127.0.0.1:8081", nullptr, nullptr, "http://evil.example/?h=127.0.0.1:8081", true},
      {nullptr, "127.0.0.1:8081", nullptr, nullptr, "not a url", true},
      {nullptr, "127.0.0.1:8081", "same-origin", nullptr, "http://evil.example/", false},
      {nullptr, "127.0.0.1:8081", nullptr, "http://127.0.0.1:8081", "http://evil.example/", false},
  };
  for (const Case& c : cases) {
    ServerVariablesForTest server;
    server.set("HTTPS", c.https);
    server.set("HTTP_HOST", c.host);
    server.set("HTTP_SEC_FETCH_SITE", c.fetchSite);
    server.set("HTTP_ORIGIN", c.origin);
    server.set("HTTP_REFERER", c.referer);
    EXPECT_EQ(sentFromAnotherSite(), c.refused)
        << "host=" << (c.host ? c.host : "-") << " fetch=" << (c.fetchSite ? c.fetchSite : "-")
        << " origin=" << (c.origin ? c.origin : "-") << " referer=" << (c.referer ? c.referer : "-");
  }
}

TEST(CrossSiteCheckTest, RefusalWritesItsOneLine) {
  ServerVariablesForTest server;
  server.set("HTTP_HOST", "127.0.0.1:8081");
  {
    ResponseCapture page;
    EXPECT_TRUE(admitStoringRequest());
    EXPECT_EQ(page.text(), "");
  }
  server.set("HTTP_ORIGIN", "http://evil.example");
  ResponseCapture page;
  EXPECT_FALSE(admitStoringRequest());
  EXPECT_EQ(page.text(), "Request refused - it was sent from another site !\n");
}

}  // namespace
}  // namespace gatekeeper
