// NT accounts: the forms and their lists, the checks of the storing pages in their order, and
// what the file holds afterwards.
#include "admin/nt_accounts.h"

#include "admin/page_test_support.h"

namespace gatekeeper {
namespace {

constexpr char kTwoAccounts[] =
    "{ NTACCOUNTS:\n"
    "    (string)NotAnAccount=x\n"
    "    { webuser:\n        (string)Password=webpass\n    } webuser;\n"
    "    { Guest:\n    } Guest;\n"
    "} NTACCOUNTS;\n";

using NtAccountsTest = AdminPageTest;

TEST_F(NtAccountsTest, FormsListTheAccountsInSlotOrder) {
  writeDatabase(kTwoAccounts);
  const std::string options =
      "<OPTION VALUE=\"webuser\">webuser</OPTION>\n<OPTION VALUE=\"Guest\">Guest</OPTION>\n";
  const std::string deletePage = run("NTAccDel");
  EXPECT_EQ(deletePage.rfind("<p><b>Delete NT Account</b></p>\n<I>Warning ! All users mapped to "
                             "this account will not be able to log on unless you change mapping "
                             "\nfor each of them</I>\n<FORM METHOD=\"POST\" "
                             "ACTION=\"/cgi/overseer?Action=NTAccDelDo\">\n",
                             0),
            0u)
      << deletePage;
  EXPECT_TRUE(contains(deletePage, "<SELECT NAME=\"NTAccount\" SIZE=\"1\">\n" + options));

  const std::string passwordPage = run("NTAccPass");
  EXPECT_EQ(passwordPage.rfind("<p><b>Change NT Account password</b></p>\n<FORM METHOD=\"POST\" "
                               "ACTION=\"/cgi/overseer?Action=NTAccPassDo\">\n",
                               0),
            0u);
  EXPECT_TRUE(contains(passwordPage, "Username: </TD><TD><SELECT NAME=\"User\" SIZE=\"1\">\n" +
                                         options));
  for (const char* input : {"Pass", "Pass2"}) {
    EXPECT_TRUE(contains(passwordPage, std::string("<INPUT TYPE=\"password\" NAME=\"") + input +
                                           "\" SIZE=\"20\">"));
  }

  const std::string addPage = run("NTAccAdd");
  EXPECT_EQ(addPage.rfind("<p><b>Add NT Account</b></p>\nEvery successfuly authenticated user "
                          "will be mapped to one of these accounts.",
                          0),
            0u);
  EXPECT_TRUE(contains(addPage, "Username:</TD><TD><INPUT TYPE=\"text\" NAME=\"User\" SIZE=\"20\" "
                                "VALUE=\"\">"));
  EXPECT_TRUE(contains(addPage, "Password (Confirm):</TD><TD><INPUT TYPE=\"password\" "
                                "NAME=\"Pass2\" SIZE=\"20\">"));

  // A database without NTACCOUNTS shows empty lists.
  writeDatabase(kEmptyDatabase);
  EXPECT_TRUE(contains(run("NTAccDel"), "<SELECT NAME=\"NTAccount\" SIZE=\"1\">\n</SELECT>"));
}

TEST_F(NtAccountsTest, AddChecksInOrderAndChangesNothingWhenOneFails) {
  struct Case {
    Fields form;
    const char* line;
  };
  const Case cases[] = {
      {{{"User", ""}, {"Pass", "a"}, {"Pass2", "b"}}, "User name not specified !\n"},
      {{{"User", "ops:team"}, {"Pass", "a"}, {"Pass2", "b"}},
       "User name contains characters that can not be stored !\n"},
      {{{"User", " ops"}, {"Pass", "a"}, {"Pass2", "a"}},
       "User name contains characters that can not be stored !\n"},
      {{{"User", "guest"}, {"Pass", "abc"}, {"Pass2", "ABC"}}, "Password entries do not match !\n"},
      {{{"User", "ops"}, {"Pass", "a\nb"}, {"Pass2", "a\nb"}},
       "Password can not contain line breaks !\n"},
      {{{"User", "guest"}, {"Pass", "x"}, {"Pass2", "x"}}, "Account allready exist !\n"},
      {{{"User", "NotAnAccount"}, {"Pass", "x"}, {"Pass2", "x"}},
       "Internal error - can not add section for new NT account !\n"},
  };
  writeDatabase(kTwoAccounts);
  const std::string before = fileBytes();
  for (const Case& c : cases) {
    EXPECT_EQ(run("NTAccAddDo", c.form), c.line);
    EXPECT_EQ(fileBytes(), before) << c.line;
  }
}

TEST_F(NtAccountsTest, AddStoresTheAccountWithItsPassword) {
  writeDatabase(kTwoAccounts);
  EXPECT_EQ(run("NTAccAddDo", {{"User", "<ops>"}, {"Pass", "Se cret"}, {"Pass2", "Se cret"}}),
            "NT Account <b>&lt;ops&gt;</b> added successfuly. \n");
  // An empty password is accepted when both entries are empty.
  EXPECT_EQ(run("NTAccAddDo", {{"User", "nopass"}}), "NT Account <b>nopass</b> added successfuly. \n");
  EXPECT_EQ(fileText(),
            "{ NTACCOUNTS:\n"
            "    (string)NotAnAccount=x\n"
            "    { webuser:\n        (string)Password=webpass\n    } webuser;\n"
            "    { Guest:\n    } Guest;\n"
            "    { <ops>:\n        (string)Password=Se cret\n    } <ops>;\n"
            "    { nopass:\n        (string)Password=\n    } nopass;\n"
            "} NTACCOUNTS;\n");

  // A database without NTACCOUNTS gets one.
  writeDatabase("{ MAIN:\n} MAIN;\n");
  run("NTAccAddDo", {{"User", "ops"}, {"Pass", "p"}, {"Pass2", "p"}});
  EXPECT_EQ(fileText(), "{ MAIN:\n} MAIN;\n{ NTACCOUNTS:\n    { ops:\n        (string)Password=p\n"
                        "    } ops;\n} NTACCOUNTS;\n");
}

TEST_F(NtAccountsTest, DeleteRemovesOnlyAnAccount) {
  writeDatabase(kTwoAccounts);
  struct Case {
    const char* name;
    const char* left;  // the accounts' section afterwards
  };
  const Case cases[] = {
      {"GUEST",
       "    (string)NotAnAccount=x\n    { webuser:\n        (string)Password=webpass\n    } "
       "webuser;\n"},
      {"missing",
       "    (string)NotAnAccount=x\n    { webuser:\n        (string)Password=webpass\n    } "
       "webuser;\n"},
      {"NotAnAccount",
       "    (string)NotAnAccount=x\n    { webuser:\n        (string)Password=webpass\n    } "
       "webuser;\n"},
      {"webuser", "    (string)NotAnAccount=x\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run("NTAccDelDo", {{"NTAccount", c.name}}), "Account deleted.\n");
    EXPECT_EQ(fileText(), std::string("{ NTACCOUNTS:\n") + c.left + "} NTACCOUNTS;\n") << c.name;
  }
}

TEST_F(NtAccountsTest, DeletedSlotIsReusedWithinARunAndLaterAddsGoLast) {
  writeDatabase("{ NTACCOUNTS:\n    { a:\n    } a;\n    { b:\n    } b;\n    { c:\n    } c;\n"
                "} NTACCOUNTS;\n");
  {
    ConfigFile database(path_.c_str(), 1);
    ASSERT_EQ(database.load(), 1);
    runOn(database, "NTAccDelDo", {{"NTAccount", "a"}});
    runOn(database, "NTAccAddDo", {{"User", "d"}});
    EXPECT_TRUE(contains(runOn(database, "NTAccDel"),
                         "SIZE=\"1\">\n<OPTION VALUE=\"d\">d</OPTION>\n<OPTION VALUE=\"b\">b</OPTION>\n"
                         "<OPTION VALUE=\"c\">c</OPTION>\n"));
  }
  // Saved, the file has no empty slots: a delete and an add in later runs list it last.
  run("NTAccDelDo", {{"NTAccount", "b"}});
  run("NTAccAddDo", {{"User", "e"}});
  EXPECT_TRUE(contains(run("NTAccPass"), "SIZE=\"1\">\n<OPTION VALUE=\"d\">d</OPTION>\n<OPTION VALUE=\"c\">c"
                                         "</OPTION>\n<OPTION VALUE=\"e\">e</OPTION>\n"));
}

TEST_F(NtAccountsTest, PasswordChangeChecksInOrderAndKeepsTheValueName) {
  writeDatabase(kTwoAccounts);
  const std::string before = fileBytes();
  struct Refusal {
    Fields form;
    const char* line;
  };
  const Refusal refusals[] = {
      {{{"User", "nobody"}, {"Pass", "a"}, {"Pass2", "b"}}, "User name not found !<BR>\n"},
      {{{"User", "NotAnAccount"}, {"Pass", "a"}, {"Pass2", "a"}}, "User name not found !<BR>\n"},
      {{{"User", "webuser"}, {"Pass", "abc"}, {"Pass2", "ABC"}}, "Password entries do not match !\n"},
      {{{"User", "webuser"}, {"Pass", "a\r\n"}, {"Pass2", "a\r\n"}},
       "Password can not contain line breaks !\n"},
  };
  for (const Refusal& r : refusals) {
    EXPECT_EQ(run("NTAccPassDo", r.form), r.line);
    EXPECT_EQ(fileBytes(), before) << r.line;
  }

  EXPECT_EQ(run("NTAccPassDo", {{"User", "WEBUSER"}, {"Pass", "new"}, {"Pass2", "new"}}),
            "Password of NT Account <b>WEBUSER</b> changed successfuly. \n");
  // An account without a password gets the value, in the letter case of a change.
  run("NTAccPassDo", {{"User", "guest"}, {"Pass", "g"}, {"Pass2", "g"}});
  EXPECT_EQ(fileText(),
            "{ NTACCOUNTS:\n"
            "    (string)NotAnAccount=x\n"
            "    { webuser:\n        (string)Password=new\n    } webuser;\n"
            "    { Guest:\n        (string)password=g\n    } Guest;\n"
            "} NTACCOUNTS;\n");
}

TEST_F(NtAccountsTest, FailedSaveIsReportedInsteadOfSuccess) {
  writeDatabase(kTwoAccounts);
  ConfigFile database(path_.c_str(), 1);
  ASSERT_EQ(database.load(), 1);
  database.sectionByName("NTACCOUNTS")->createSection("a;b");  // the writer refuses this name
  const std::string failed =
      "Error: the configuration file could not be saved - the change was not stored !<BR>\n";
  EXPECT_EQ(runOn(database, "NTAccAddDo", {{"User", "ops"}}), failed);
  EXPECT_EQ(runOn(database, "NTAccPassDo", {{"User", "webuser"}}), failed);
  EXPECT_EQ(runOn(database, "NTAccDelDo", {{"NTAccount", "webuser"}}), failed);
  EXPECT_EQ(fileText(), kTwoAccounts);
}

}  // namespace
}  // namespace gatekeeper
