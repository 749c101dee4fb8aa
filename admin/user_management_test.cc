// overseer's user pages: the authority chooser, the authority travelling in the forms, the
// refusal of an authority that does not exist, and the storing pages behind the cross-site
// check.
#include "admin/user_management.h"

#include <gtest/gtest.h>

#include <string>

#include "admin/action_table.h"
#include "platform/scratch_directory.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables_for_test.h"

namespace gatekeeper {
namespace {

class UserManagementTest : public ::testing::Test {
 protected:
  UserManagementTest() {
    ConfigFile database(path_.c_str(), 1);
    database.getOrCreateSection("MAIN")->getOrCreateSection("SERVERS");
    ConfigSection* accounts = database.getOrCreateSection("ACCOUNTS");
    accounts->getOrCreateSection("Staff")->getOrCreateSection("John")->setString("Password", "pw");
    accounts->getOrCreateSection("Guests");
    database.getOrCreateSection("NTACCOUNTS")->getOrCreateSection("webuser");
    EXPECT_EQ(database.save(), 1);
  }

  std::string run(const char* action, const FormFields& form, const char* postAction = nullptr) {
    FormFields query;
    query.insert("Action", action);
    if (postAction != nullptr) query.insert("PostAction", postAction);
    ConfigFile database(path_.c_str(), 1);
    EXPECT_EQ(database.load(), 1);
    ResponseCapture page;
    dispatchAction(database, form, query);
    return page.text();
  }
  static FormFields fields(const char* authority, const char* user) {
    FormFields form;
    form.insert("Authority", authority);
    form.insert("User", user);
    form.insert("Pass", "Secret");
    form.insert("MapTo", "ON");
    form.insert("NTAcc", "webuser");
    return form;
  }

  platform::ScratchDirectory dir_;
  const std::string path_ = dir_.file("accounts.cfg");
  ServerVariablesForTest server_;
};

TEST_F(UserManagementTest, ChooserContinuesOnlyWithAUserPage) {
  EXPECT_EQ(run("SelectAuthority", FormFields(), "adduser"),
            "<H3>Select Authority</H3>\n"
            "<FORM METHOD=\"POST\" ACTION=\"/cgi/overseer?Action=AddUser\">\n"
            "<SELECT NAME=\"Authority\" SIZE=\"1\">\n"
            "<OPTION VALUE=\"Staff\">Staff</OPTION>\n"
            "<OPTION VALUE=\"Guests\">Guests</OPTION>\n"
            "</SELECT>\n"
            "<INPUT TYPE=\"submit\" VALUE=\"Next &gt;&gt;\" NAME=\"B1\">\n"
            "</FORM>\n");
  for (const char* target : {"ListAuthority", "DelUser", "ChangeUser"}) {
    EXPECT_NE(run("SelectAuthority", FormFields(), target)
                  .find(std::string("ACTION=\"/cgi/overseer?Action=") + target + "\""),
              std::string::npos);
  }
  EXPECT_EQ(run("SelectAuthority", FormFields(), "NoLogDo\"><x"),
            "<H3>Select Authority</H3>\nNo user page is named <b>NoLogDo&quot;&gt;&lt;x</b> !\n");
}

TEST_F(UserManagementTest, FormsCarryTheAuthority) {
  const std::string list = run("ListAuthority", fields("staff", ""));
  EXPECT_EQ(list.rfind("Authority: <b>staff</b><BR>\nList of registered users:<BR>\n", 0), 0u);
  EXPECT_NE(list.find("<INPUT TYPE=\"hidden\" NAME=\"Authority\" VALUE=\"staff\">"
                      "<INPUT TYPE=\"hidden\" NAME=\"User\" VALUE=\"John\">"),
            std::string::npos);
  // The delete chooser is a list box twelve rows high here.
  const std::string chooser = run("DelUser", fields("Staff", ""));
  EXPECT_NE(chooser.find("<INPUT TYPE=\"hidden\" NAME=\"Authority\" VALUE=\"Staff\">\n"
                         "<SELECT NAME=\"User\" SIZE=\"12\">\n"
                         "<OPTION VALUE=\"John\">John</OPTION>\n"),
            std::string::npos);
  // An authority that does not exist lists the header row alone.
  EXPECT_EQ(run("ListAuthority", fields("Nobody", "")).find("<TD BGCOLOR=\"#E0E0E0\">"),
            std::string::npos);
}

TEST_F(UserManagementTest, StoringPagesRefuseAMissingAuthority) {
  const std::string before = platform::readWholeFile(path_);
  for (const char* action : {"AddUserDo", "ChangeUserDo", "DelUserDo"}) {
    EXPECT_EQ(run(action, fields("Nobody", "John")), "Authority <b>Nobody</b> not found !\n")
        << action;
    EXPECT_EQ(run(action, fields("", "John")), "Authority <b></b> not found !\n") << action;
  }
  EXPECT_EQ(platform::readWholeFile(path_), before);
}

TEST_F(UserManagementTest, StoringPagesRunOnlyForTheProgramsOwnForms) {
  server_.set("HTTP_HOST", "127.0.0.1:8081");
  server_.set("HTTP_ORIGIN", "http://evil.example");
  const std::string before = platform::readWholeFile(path_);
  for (const char* action : {"AddUserDo", "ChangeUserDo", "DelUserDo", "NoLogDo"}) {
    EXPECT_EQ(run(action, fields("Staff", "Bob")),
              "Request refused - it was sent from another site !\n")
        << action;
  }
  EXPECT_EQ(platform::readWholeFile(path_), before);

  server_.set("HTTP_ORIGIN", "http://127.0.0.1:8081");
  EXPECT_EQ(run("AddUserDo", fields("staff", "Bob")),
            "User <b>Bob</b> added to authority <B>staff</B>\n");
  EXPECT_NE(run("ListAuthority", fields("Staff", "")).find(">Bob</TD>"), std::string::npos);
}

}  // namespace
}  // namespace gatekeeper
