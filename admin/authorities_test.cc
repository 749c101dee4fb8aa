// Authorities: the forms, the checks of the storing pages in their order, renames and policy
// changes, and what the file holds afterwards.
#include "admin/authorities.h"

#include "admin/page_test_support.h"

namespace gatekeeper {
namespace {

constexpr char kAuthorities[] =
    "{ MAIN:\n    { SERVERS:\n        (string)intranet=Staff\n    } SERVERS;\n} MAIN;\n"
    "{ ACCOUNTS:\n"
    "    (int)NotAnAuthority=1\n"
    "    { Staff:\n        (int)ExpirationRequired=1\n"
    "        { john:\n            (string)Password=secret\n        } john;\n    } Staff;\n"
    "    { Guests:\n        (int)ExpirationRequired=0\n    } Guests;\n"
    "} ACCOUNTS;\n";

// The ACCOUNTS section of kAuthorities after a change: its lines between the two given ones.
std::string accountsWith(const std::string& staff, const std::string& guests) {
  return std::string(kAuthorities).substr(0, std::string(kAuthorities).find("{ ACCOUNTS:")) +
         "{ ACCOUNTS:\n    (int)NotAnAuthority=1\n" + staff + guests + "} ACCOUNTS;\n";
}

constexpr char kStaff[] =
    "    { Staff:\n        (int)ExpirationRequired=1\n"
    "        { john:\n            (string)Password=secret\n        } john;\n    } Staff;\n";
constexpr char kGuests[] = "    { Guests:\n        (int)ExpirationRequired=0\n    } Guests;\n";

using AuthoritiesTest = AdminPageTest;

TEST_F(AuthoritiesTest, FormsListTheAuthoritiesWithTheirPolicy) {
  writeDatabase(kAuthorities);
  const std::string addPage = run("AuthAdd");
  EXPECT_EQ(addPage.rfind("<p><b>Add new Authority</b></p>\n<FORM METHOD=\"POST\" "
                          "ACTION=\"/cgi/overseer?Action=AuthAddDo\">\n<P>Authority name: "
                          "<INPUT TYPE=\"text\" NAME=\"Authority\" SIZE=\"20\" VALUE=\"\"> "
                          "<INPUT TYPE=\"submit\" VALUE=\"Submit\" NAME=\"B1\">",
                          0),
            0u)
      << addPage;
  EXPECT_TRUE(contains(addPage, "<INPUT TYPE=\"checkbox\" NAME=\"ExpirationRequired\" VALUE=\"1\">"
                                " Require expiration date.<BR>\n<I>If this check box is not "
                                "checked users with empty expiration date will ne allowed to log "
                                "on.<BR>\n"));
  EXPECT_TRUE(contains(addPage, " - Users with &quot;Account does not expire&quot; checked</I>"));

  const std::string deletePage = run("AuthDel");
  EXPECT_TRUE(contains(deletePage, "<SELECT NAME=\"Authority\" SIZE=\"12\">\n"
                                   "<OPTION VALUE=\"Staff\">Staff</OPTION>\n"
                                   "<OPTION VALUE=\"Guests\">Guests</OPTION>\n</SELECT>"));

  // One form per authority, each a row that changes exactly that one.
  const std::string editPage = run("AuthRen");
  EXPECT_TRUE(contains(editPage, "<I>If &quot;Expiration required&quot; check box is not checked"));
  const char* rows[][2] = {{"Staff", " CHECKED"}, {"Guests", ""}};
  std::size_t at = 0;
  for (const auto& row : rows) {
    const std::string form =
        std::string("<FORM METHOD=\"POST\" ACTION=\"/cgi/overseer?Action=AuthRenDo\">\n"
                    "<TR><TD><INPUT TYPE=\"hidden\" NAME=\"Authority\" VALUE=\"") +
        row[0] + "\"><INPUT TYPE=\"text\" NAME=\"NewName\" SIZE=\"30\" VALUE=\"" + row[0] +
        "\"></TD><TD><INPUT TYPE=\"checkbox\" NAME=\"ExpirationRequired\" VALUE=\"1\"" + row[1] +
        ">Expiration required</TD><TD><INPUT TYPE=\"submit\" VALUE=\"Change\" NAME=\"B1\">"
        "</TD></TR>\n</FORM>\n";
    at = editPage.find(form, at);
    ASSERT_NE(at, std::string::npos) << form << editPage;
  }
  EXPECT_EQ(editPage.find("NotAnAuthority"), std::string::npos);
}

TEST_F(AuthoritiesTest, AddChecksInOrderAndChangesNothingWhenOneFails) {
  struct Case {
    const char* name;
    const char* line;
  };
  const Case cases[] = {
      {"", "Authority name can not be empty !\n"},
      {"a=b", "Authority name contains characters that can not be stored !\n"},
      {"[x]", "Authority name contains characters that can not be stored !\n"},
      {"a\nb", "Authority name contains characters that can not be stored !\n"},
      {"STAFF", "Authority <b>STAFF</b> already exist !\n"},
      {"NotAnAuthority", "Internal error - can not add section for new authority !\n"},
  };
  writeDatabase(kAuthorities);
  const std::string before = fileBytes();
  for (const Case& c : cases) {
    EXPECT_EQ(run("AuthAddDo", {{"Authority", c.name}, {"ExpirationRequired", "1"}}), c.line);
    EXPECT_EQ(fileBytes(), before) << c.line;
  }
}

TEST_F(AuthoritiesTest, AddCreatesThePolicyInEveryCase) {
  writeDatabase(kAuthorities);
  EXPECT_EQ(run("AuthAddDo", {{"Authority", "<Partners>"}, {"ExpirationRequired", "1"}}),
            "Authority <b>&lt;Partners&gt;</b> created.\n");
  EXPECT_EQ(run("AuthAddDo", {{"Authority", "Public"}}), "Authority <b>Public</b> created.\n");
  EXPECT_EQ(fileText(), accountsWith(kStaff, std::string(kGuests) +
                                                 "    { <Partners>:\n        "
                                                 "(int)ExpirationRequired=1\n    } <Partners>;\n"
                                                 "    { Public:\n        "
                                                 "(int)ExpirationRequired=0\n    } Public;\n"));
}

TEST_F(AuthoritiesTest, DeleteRemovesTheAuthorityWithItsUsersAndKeepsBindings) {
  writeDatabase(kAuthorities);
  EXPECT_EQ(run("AuthDelDo", {{"Authority", "staff"}}), "Authority <b>staff</b> deleted. \n");
  EXPECT_EQ(fileText(), accountsWith("", kGuests));
  // A name that is not there, or a value node, deletes nothing.
  EXPECT_EQ(run("AuthDelDo", {{"Authority", "NotAnAuthority"}}),
            "Authority <b>NotAnAuthority</b> deleted. \n");
  EXPECT_EQ(fileText(), accountsWith("", kGuests));
  EXPECT_TRUE(contains(fileText(), "(string)intranet=Staff"));
}

TEST_F(AuthoritiesTest, ChangeRenamesAndSetsThePolicy) {
  struct Case {
    Fields form;
    const char* line;
    const char* staffAfter;  // the first authority's section afterwards
  };
  const Case cases[] = {
      // Same name, box unticked: only the policy changes.
      {{{"Authority", "Staff"}, {"NewName", "Staff"}},
       "Authority <b>Staff</b> changed successfuly !\n",
       "    { Staff:\n        (int)ExpirationRequired=0\n"
       "        { john:\n            (string)Password=secret\n        } john;\n    } Staff;\n"},
      // Other letter case of its own name: renamed to it.
      {{{"Authority", "staff"}, {"NewName", "STAFF"}, {"ExpirationRequired", "1"}},
       "Authority <b>staff</b> changed successfuly !\n",
       "    { STAFF:\n        (int)ExpirationRequired=1\n"
       "        { john:\n            (string)Password=secret\n        } john;\n    } STAFF;\n"},
      // A new name and a new policy at once; the users stay.
      {{{"Authority", "Staff"}, {"NewName", "Employees"}, {"ExpirationRequired", "0"}},
       "Authority <b>Staff</b> changed successfuly !\n",
       "    { Employees:\n        (int)ExpirationRequired=0\n"
       "        { john:\n            (string)Password=secret\n        } john;\n    } Employees;\n"},
  };
  for (const Case& c : cases) {
    writeDatabase(kAuthorities);
    EXPECT_EQ(run("AuthRenDo", c.form), c.line);
    EXPECT_EQ(fileText(), accountsWith(c.staffAfter, kGuests));
  }
  // The binding still names the old authority.
  EXPECT_TRUE(contains(fileText(), "(string)intranet=Staff"));
}

TEST_F(AuthoritiesTest, ChangeChecksInOrderAndChangesNothingWhenOneFails) {
  struct Case {
    Fields form;
    const char* line;
  };
  const Case cases[] = {
      {{{"Authority", "Nobody"}, {"NewName", ""}}, "Authority <b>Nobody</b> not found !\n"},
      {{{"Authority", "NotAnAuthority"}, {"NewName", "x"}},
       "Authority <b>NotAnAuthority</b> not found !\n"},
      {{{"Authority", "Staff"}, {"NewName", ""}, {"ExpirationRequired", "0"}},
       "Authority <b>Staff</b> not changed - name can not be empty !\n"},
      {{{"Authority", "Staff"}, {"NewName", "a:b"}},
       "Authority name contains characters that can not be stored !\n"},
      {{{"Authority", "Staff"}, {"NewName", "guests"}}, "Authority <b>guests</b> already exist !\n"},
      {{{"Authority", "Staff"}, {"NewName", "notanauthority"}},
       "Authority <b>notanauthority</b> already exist !\n"},
  };
  writeDatabase(kAuthorities);
  const std::string before = fileBytes();
  for (const Case& c : cases) {
    EXPECT_EQ(run("AuthRenDo", c.form), c.line);
    EXPECT_EQ(fileBytes(), before) << c.line;
  }

  // A user whose name takes the place of the policy value: refused, nothing renamed.
  writeDatabase("{ ACCOUNTS:\n    { Staff:\n        { ExpirationRequired:\n        } "
                "ExpirationRequired;\n    } Staff;\n} ACCOUNTS;\n");
  const std::string withUser = fileBytes();
  EXPECT_EQ(run("AuthRenDo", {{"Authority", "Staff"}, {"NewName", "Other"}}),
            "Internal error - can not store the expiration policy !\n");
  EXPECT_EQ(fileBytes(), withUser);
}

TEST_F(AuthoritiesTest, DeletedSlotIsReusedWithinARunAndLaterAddsGoLast) {
  writeDatabase(kAuthorities);
  {
    ConfigFile database(path_.c_str(), 1);
    ASSERT_EQ(database.load(), 1);
    runOn(database, "AuthDelDo", {{"Authority", "Staff"}});
    runOn(database, "AuthAddDo", {{"Authority", "New"}});
    EXPECT_TRUE(contains(runOn(database, "AuthDel"), "SIZE=\"12\">\n<OPTION VALUE=\"New\">New</OPTION>\n"
                                                     "<OPTION VALUE=\"Guests\">Guests</OPTION>\n"));
  }
  // Saved, the file has no empty slots: a delete and an add in later runs list it last.
  run("AuthDelDo", {{"Authority", "New"}});
  run("AuthAddDo", {{"Authority", "Later"}});
  EXPECT_TRUE(contains(run("AuthDel"), "SIZE=\"12\">\n<OPTION VALUE=\"Guests\">Guests</OPTION>\n"
                                       "<OPTION VALUE=\"Later\">Later</OPTION>\n</SELECT>"));
}

}  // namespace
}  // namespace gatekeeper
