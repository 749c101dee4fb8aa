// steward in-process: its frame and menu on the site authority, and what it never offers.
#include "site/steward_pages.h"

#include <gtest/gtest.h>

#include "site/site_test_support.h"

namespace gatekeeper {
namespace {

class StewardTest : public SiteTest {
 protected:
  StewardTest() : SiteTest("/cgi/steward") {
    servers().setString("alpha", "Staff");
    authority("Staff");
    save();
  }
};

TEST_F(StewardTest, FrameWithTheMenuOfTheUserPages) {
  const std::string page = run(steward::handleRequest, nullptr);
  EXPECT_EQ(code_, 0);
  EXPECT_EQ(page.rfind("Content-Type: text/html\n\n<html>\n", 0), 0u);
  EXPECT_NE(page.find("<title>Kestrel Gatekeeper (text) manager - WEB site edition</title>"),
            std::string::npos);
  EXPECT_NE(page.find("<i>Gatekeeper version 1.51 - authority manager</i>"), std::string::npos);
  EXPECT_NE(page.find("CLASS=\"inset\">\nMenu<BR>\n"
                      "<a href=\"/cgi/steward?Action=\">User list</a><BR>\n"
                      "<a href=\"/cgi/steward?Action=AddUser\">Add new user</a><BR>\n"
                      "<a href=\"/cgi/steward?Action=DelUser\">Delete user</a><BR>\n"
                      "<a href=\"/cgi/steward?Action=ChangeUser\">Change user</a><BR>\n</td>"),
            std::string::npos);
}

TEST_F(StewardTest, OverseersAuthorityPagesAreNotOffered) {
  for (const char* action : {"SelectAuthority", "ListAuthority", "AuthAdd", "MainScreen"}) {
    EXPECT_EQ(contentCell(run(steward::handleRequest, action)), "") << action;
    for (const steward::ActionEntry& entry : steward::actionTable()) {
      EXPECT_STRCASENE(entry.name, action);
    }
  }
}

}  // namespace
}  // namespace gatekeeper
