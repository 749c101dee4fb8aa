// steward in-process: its frame and menu on the site authority, and what it never offers.
#include "site/steward_pages.h"

#include <gtest/gtest.h>

#include "siteframe/site_test_support.h"
#include "websupport/error_log.h"

namespace gatekeeper {
namespace {

class StewardTest : public SiteTest {
 protected:
  StewardTest() : SiteTest("/cgi/steward") {
    servers().setString("alpha", "Staff");
    authority("Staff").getOrCreateSection("bob")->setString("Password", "staff bob");
    // Another authority with a user of the same name: never touched from this site.
    authority("Other").getOrCreateSection("bob")->setString("Password", "other bob");
    database().getOrCreateSection("NTACCOUNTS")->getOrCreateSection("web");
    save();
  }
  std::string page(const char* action, const FormFields& form = FormFields()) {
    return contentCell(run(steward::handleRequest, action, form));
  }
  // The stored password of user in authority, or "(none)" when there is no such user.
  std::string stored(const char* authorityName, const char* user) {
    const std::unique_ptr<ConfigFile> loaded = reload();
    const ConfigSection* section =
        loaded->sectionByName("ACCOUNTS")->sectionByName(authorityName)->sectionByName(user);
    return section->isPlaceholder() ? "(none)" : section->valueByName("Password")->getString();
  }
  static FormFields userForm(const char* user, const char* pass) {
    return fields({{"User", user}, {"Pass", pass}, {"MapTo", "ON"}, {"NTAcc", "web"},
                   {"Expire", ""}, {"B1", "Submit"}});
  }
};

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

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

TEST_F(StewardTest, UserListOfTheSiteAuthorityOnce) {
  server_.set("SERVER_NAME", "ALPHA<1>");  // the binding matches ignoring case
  servers().setString("alpha<1>", "Staff");
  save();
  const std::string content = page("");
  EXPECT_EQ(content.rfind("Administration of users for <b>ALPHA&lt;1&gt;</b><BR>\n"
                          "List of registered users:<BR>\n",
                          0),
            0u)
      << content;
  EXPECT_EQ(occurrences(content, "List of registered users"), 1u);
  EXPECT_EQ(occurrences(content, "<TR>"), 2u);  // the header row and bob
  EXPECT_EQ(occurrences(content, "NAME=\"User\" VALUE=\"bob\""), 2u);  // Edit and Delete
  EXPECT_EQ(content.find("Authority"), std::string::npos);
}

TEST_F(StewardTest, FormsCarryNoAuthority) {
  for (const char* action : {"AddUser", "DelUser", "ChangeUser", "EditUser"}) {
    const std::string content = page(action, fields({{"User", "bob"}}));
    EXPECT_NE(content.find("<FORM METHOD=\"POST\" ACTION=\"/cgi/steward?Action="),
              std::string::npos)
        << action;
    EXPECT_EQ(content.find("NAME=\"Authority\""), std::string::npos) << action;
  }
  EXPECT_NE(page("DelUser").find("SIZE=\"1\""), std::string::npos);  // a one-line drop-down
}

TEST_F(StewardTest, ChangesTouchOnlyTheSiteAuthority) {
  EXPECT_EQ(page("AddUserDo", userForm("carol", "pw")),
            "User <b>carol</b> added to authority <B>Staff</B>\n");
  EXPECT_EQ(stored("Staff", "carol"), "pw");
  EXPECT_EQ(stored("Other", "carol"), "(none)");
  EXPECT_EQ(page("AddUserDo", userForm("BOB", "x")),
            "User <B>BOB</B> already exist in authority <B>Staff</b>\n");

  EXPECT_EQ(page("ChangeUserDo", userForm("bob", "changed")),
            "User <b>bob</b> changed in authority <B>Staff</B>\n");
  EXPECT_EQ(stored("Staff", "bob"), "changed");
  EXPECT_EQ(stored("Other", "bob"), "other bob");

  EXPECT_EQ(page("DelUserDo", fields({{"User", "bob"}})),
            "User <b>bob</b> deleted from authority <B>Staff</B>\n");
  EXPECT_EQ(stored("Staff", "bob"), "(none)");
  EXPECT_EQ(stored("Other", "bob"), "other bob");
}

TEST_F(StewardTest, RefusedChangesStoreNothing) {
  EXPECT_EQ(page("AddUserDo", userForm("", "pw")), "User name can not be empty !\n");
  server_.set("HTTP_HOST", "alpha");
  server_.set("HTTP_SEC_FETCH_SITE", "cross-site");
  EXPECT_EQ(page("DelUserDo", fields({{"User", "bob"}})),
            "Request refused - it was sent from another site !\n");
  EXPECT_EQ(stored("Staff", "bob"), "staff bob");
  // On a site without an authority no page runs at all.
  server_.set("HTTP_SEC_FETCH_SITE", "same-origin");
  server_.set("SERVER_PORT", "8080");
  EXPECT_EQ(page("AddUserDo", userForm("dave", "pw")).rfind("<H3>No authority was defined", 0), 0u);
  EXPECT_EQ(stored("Staff", "dave"), "(none)");
  const std::unique_ptr<ConfigFile> after = reload();
  const ConfigSection& staff = *after->sectionByName("ACCOUNTS")->sectionByName("Staff");
  EXPECT_EQ(staff.count(), 1);
}

// Every storing page refuses a form sent from another site, and stores the same form sent from
// its own.
TEST_F(StewardTest, EveryStoringPageRefusesAnotherSite) {
  int storing = 0;
  for (const steward::ActionEntry& entry : steward::actionTable()) {
    if (!entry.storing) continue;
    ++storing;
    const std::string before = platform::readWholeFile(path());
    // bob exists: the one user that adding cannot store.
    const FormFields form = userForm(std::string_view(entry.name) == "AddUserDo" ? "carol" : "bob", "new");
    server_.set("HTTP_HOST", "alpha");
    server_.set("HTTP_ORIGIN", "http://evil.example");
    EXPECT_EQ(page(entry.name, form),
              "Request refused - it was sent from another site !\n")
        << entry.name;
    EXPECT_EQ(platform::readWholeFile(path()), before) << entry.name;
    server_.set("HTTP_ORIGIN", "http://alpha");
    page(entry.name, form);
    EXPECT_NE(platform::readWholeFile(path()), before) << entry.name;
  }
  EXPECT_EQ(storing, 3);
}

// A site user whom the filter mapped to a server account is a valid user to the web server;
// steward must not serve him, or he could map a user of his own to any server account.
TEST_F(StewardTest, LogonReplacedByTheFilterGetsNoPage) {
  const std::string before = platform::readWholeFile(path());
  server_.set("AUTH_USER", "john");
  server_.set("LOGON_USER", "webuser");
  for (const char* action : {"", "AddUserDo", "EditUser"}) {
    ErrorLogCapture log;
    EXPECT_EQ(run(steward::handleRequest, action, userForm("mine", "pw")),
              "Status: 403 Forbidden\nContent-Type: text/html\n\n<HTML><BODY>\n"
              "NT user used for the actual authentication by the system differs the logged on "
              "user.<BR>\n</BODY></HTML>\n")
        << action;
    EXPECT_NE(log.text().find("user john on as the server account webuser"), std::string::npos);
  }
  EXPECT_EQ(platform::readWholeFile(path()), before);
  // The site's manager, whom the web server checked itself, is served.
  server_.set("AUTH_USER", "manager");
  server_.set("LOGON_USER", "manager");
  EXPECT_EQ(page("AddUserDo", userForm("mine", "pw")),
            "User <b>mine</b> added to authority <B>Staff</B>\n");
}

}  // namespace
}  // namespace gatekeeper
