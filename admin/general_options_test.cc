// General options: what the form shows of MAIN, and what MainScreenDo stores.
#include "admin/general_options.h"

#include "admin/page_test_support.h"

namespace gatekeeper {
namespace {

using GeneralOptionsTest = AdminPageTest;

TEST_F(GeneralOptionsTest, FormShowsTheStoredOptions) {
  struct Case {
    const char* main;  // lines of MAIN
    bool ticked;
    const char* logValue;
  };
  const Case cases[] = {
      {"(int)Disable=1\n(string)log=C:\\logs\\gk.log\n", true, "C:\\logs\\gk.log"},
      {"(int)disable=2\n", true, ""},
      {"(string)Disable=1\n", false, ""},  // a flag typed in as text is not set
      {"(int)Disable=0\n(string)LOG=a \"<b>\" & c\n", false, "a &quot;&lt;b&gt;&quot; &amp; c"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    writeDatabase(std::string("{ Main:\n") + c.main + "} Main;\n");
    const std::string page = run("mainscreen");
    EXPECT_EQ(page.rfind("<p><b>General options:</b></p>\n"
                         "<FORM METHOD=\"POST\" ACTION=\"/cgi/overseer?Action=MainScreenDo\">\n",
                         0),
              0u)
        << page;
    EXPECT_EQ(contains(page, std::string("<INPUT TYPE=\"checkbox\" NAME=\"Disable\" VALUE=\"ON\"") +
                                 (c.ticked ? " CHECKED>" : ">") +
                                 "<i>Disable filter (filter will pass authentication to the IIS "
                                 "while disabled)</i>"),
              true)
        << c.main << page;
    EXPECT_TRUE(contains(page, std::string("Log file: <INPUT TYPE=\"text\" NAME=\"LogFile\" "
                                           "SIZE=\"47\" VALUE=\"") + c.logValue + "\">"))
        << page;
    EXPECT_TRUE(contains(page, "<INPUT TYPE=\"submit\" VALUE=\"Submit\" NAME=\"B1\">"));
  }
}

TEST_F(GeneralOptionsTest, StoreSetsTheFlagAndThePath) {
  struct Case {
    const char* before;  // the whole database
    Fields form;
    const char* after;  // the whole database after the store
  };
  const Case cases[] = {
      // Ticked, in any letter case: 1; the values are added in front of SERVERS.
      {kEmptyDatabase, {{"Disable", "on"}, {"LogFile", "/var/log/gk.log"}},
       "{ MAIN:\n    (int)Disable=1\n    (string)log=/var/log/gk.log\n    { SERVERS:\n    } "
       "SERVERS;\n} MAIN;\n{ ACCOUNTS:\n} ACCOUNTS;\n{ NTACCOUNTS:\n} NTACCOUNTS;\n"},
      // Unticked sends no field: 0; an empty path is stored empty.
      {"{ MAIN:\n    (int)Disable=1\n    (string)log=/old\n} MAIN;\n", {{"LogFile", ""}},
       "{ MAIN:\n    (int)Disable=0\n    (string)log=\n} MAIN;\n"},
      // Anything but ON is unticked.
      {"{ MAIN:\n} MAIN;\n", {{"Disable", "1"}, {"LogFile", "x"}},
       "{ MAIN:\n    (int)Disable=0\n    (string)log=x\n} MAIN;\n"},
      // A flag typed in as text keeps its text; the int is appended beside it.
      {"{ MAIN:\n    (string)Disable=1\n} MAIN;\n", {{"Disable", "ON"}, {"LogFile", "x"}},
       "{ MAIN:\n    (string)Disable=1\n    (int)Disable=1\n    (string)log=x\n} MAIN;\n"},
      // A database without MAIN gets one.
      {"{ ACCOUNTS:\n} ACCOUNTS;\n", {{"Disable", "ON"}, {"LogFile", "x"}},
       "{ ACCOUNTS:\n} ACCOUNTS;\n{ MAIN:\n    (int)Disable=1\n    (string)log=x\n} MAIN;\n"},
  };
  for (const Case& c : cases) {
    writeDatabase(c.before);
    const std::string page = run("MainScreenDo", c.form);
    EXPECT_EQ(fileText(), c.after) << c.before;
    // The answer is the form again, showing what was stored.
    EXPECT_EQ(page.rfind("<p><b>General options:</b></p>\n", 0), 0u) << page;
    EXPECT_TRUE(contains(page, std::string("NAME=\"LogFile\" SIZE=\"47\" VALUE=\"") +
                                   formFieldsOf(c.form).field("LogFile").text() + "\""))
        << page;
  }
}

// The hashing option: shown ticked when set; stored as 1 when ticked, and as 0 only over a value
// that exists, so a database that never had the option keeps its bytes.
TEST_F(GeneralOptionsTest, HashPasswordsOptionIsShownAndStored) {
  const std::string ticked = "<INPUT TYPE=\"checkbox\" NAME=\"HashPasswords\" VALUE=\"ON\" CHECKED>"
                             "<i>Store site users' passwords hashed</i>";
  const std::string unticked = "<INPUT TYPE=\"checkbox\" NAME=\"HashPasswords\" VALUE=\"ON\">"
                               "<i>Store site users' passwords hashed</i>";
  writeDatabase("{ MAIN:\n    (string)log=x\n} MAIN;\n");
  EXPECT_TRUE(contains(run("mainscreen"), unticked));
  std::string page = run("MainScreenDo", {{"LogFile", "x"}});
  EXPECT_EQ(fileText(), "{ MAIN:\n    (string)log=x\n    (int)Disable=0\n} MAIN;\n");
  page = run("MainScreenDo", {{"LogFile", "x"}, {"HashPasswords", "on"}});
  EXPECT_TRUE(contains(page, ticked)) << page;
  EXPECT_EQ(fileText(),
            "{ MAIN:\n    (string)log=x\n    (int)Disable=0\n    (int)HashPasswords=1\n} MAIN;\n");
  page = run("MainScreenDo", {{"LogFile", "x"}});
  EXPECT_TRUE(contains(page, unticked)) << page;
  EXPECT_EQ(fileText(),
            "{ MAIN:\n    (string)log=x\n    (int)Disable=0\n    (int)HashPasswords=0\n} MAIN;\n");
}

TEST_F(GeneralOptionsTest, UnstorableOptionsChangeNothing) {
  struct Case {
    const char* before;
    const char* logFile;
    const char* line;
  };
  const Case cases[] = {
      {kEmptyDatabase, "/var/log/gk.log\n(int)Disable=0",
       "Log file can not be stored - it contains a line break or is too long !<BR>\n"},
      {"(int)MAIN=1\n", "x", "Internal error - can not add section MAIN !\n"},
      {"{ MAIN:\n    { log:\n    } log;\n} MAIN;\n", "x",
       "Internal error - can not store the general options !\n"},
  };
  for (const Case& c : cases) {
    writeDatabase(c.before);
    const std::string before = fileBytes();
    const std::string page = run("MainScreenDo", {{"Disable", "ON"}, {"LogFile", c.logFile}});
    EXPECT_EQ(page.rfind(c.line, 0), 0u) << page;
    EXPECT_EQ(fileBytes(), before);
  }
}

TEST_F(GeneralOptionsTest, FailedSaveIsReported) {
  writeDatabase(kEmptyDatabase);
  ConfigFile database(path_.c_str(), 1);
  ASSERT_EQ(database.load(), 1);
  database.sectionByName("NTACCOUNTS")->createSection("a:b");  // the writer refuses this name
  const std::string page = runOn(database, "MainScreenDo", {{"Disable", "ON"}, {"LogFile", "x"}});
  EXPECT_EQ(page.rfind("Error: the configuration file could not be saved - the change was not "
                       "stored !<BR>\n<p><b>General options:</b></p>\n",
                       0),
            0u)
      << page;
  EXPECT_EQ(fileText(), kEmptyDatabase);
}

}  // namespace
}  // namespace gatekeeper
