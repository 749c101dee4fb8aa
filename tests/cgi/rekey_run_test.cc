// rekey run as a real CGI process: a user logs in, changes the password through the posted
// forms, and the database file holds the new password.
#include <gtest/gtest.h>

#include "configstore/config_file.h"
#include "platform/scratch_directory.h"
#include "platform/system_error.h"
#include "tests/cgi/program_run_test_support.h"

namespace gatekeeper {
namespace {

class RekeyRunTest : public ProgramRunTest {
 protected:
  RekeyRunTest() : ProgramRunTest(REKEY_PROGRAM, "/cgi/rekey") {
    server_.set("SERVER_NAME", "intranet");
    server_.set("SERVER_PORT", "8080");
  }
  std::string storedPassword() const {
    ConfigFile database(path().c_str(), 1);
    EXPECT_EQ(database.load(), 1);
    return database.sectionByName("ACCOUNTS")
        ->sectionByName("Staff")
        ->sectionByName("bob")
        ->valueByName("Password")
        ->getString();
  }
  std::string path() const { return settings_.file("accounts.cfg"); }
};

TEST_F(RekeyRunTest, UserChangesThePasswordThroughTheForms) {
  ASSERT_TRUE(TestSettings::store("Configuration File", settings_.file("missing.cfg")));
  ProgramRun missing = run("");
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_EQ(missing.output, "Content-Type: text/html\n\n<HTML><BODY>\nError: 3<BR>\n");
  EXPECT_EQ(missing.errors, "cannot load the account database " + settings_.file("missing.cfg") +
                                ": " + platform::readProblem(settings_.file("missing.cfg")) +
                                "\n");

  {
    ConfigFile database(path().c_str(), 1);
    database.getOrCreateSection("MAIN")->getOrCreateSection("SERVERS")->setString("intranet|8080",
                                                                                 "Staff");
    database.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff")->getOrCreateSection(
        "bob")->setString("Password", "old pass");
    database.getOrCreateSection("NTACCOUNTS");
    ASSERT_EQ(database.save(), 1);
  }
  ASSERT_TRUE(TestSettings::store("Configuration File", path()));

  ProgramRun login = run("");
  EXPECT_EQ(login.exitCode, 0);
  EXPECT_NE(login.output.find("ACTION=\"/cgi/rekey?Action=edit\""), std::string::npos);

  ProgramRun status = post("Action=edit", "User=bob&Pass=old+pass&B1=Authenticate");
  EXPECT_NE(status.output.find("<INPUT TYPE=\"hidden\" NAME=\"Pass\" VALUE=\"old pass\">"),
            std::string::npos);
  EXPECT_NE(status.output.find("Account is active and will not expire.<BR>"), std::string::npos);

  ProgramRun changed =
      post("Action=editdo", "User=bob&Pass=old+pass&Newpass=n%26w%0Apass&Newpass1=n%26w%0Apass");
  EXPECT_NE(changed.output.find("Password can not contain line breaks !"), std::string::npos);
  EXPECT_EQ(storedPassword(), "old pass");
  changed = post("Action=editdo", "User=bob&Pass=old+pass&Newpass=n%26w&Newpass1=n%26w&B1=x");
  EXPECT_EQ(changed.exitCode, 0);
  EXPECT_NE(changed.output.find(" Password canged\n"), std::string::npos);
  EXPECT_EQ(storedPassword(), "n&w");
}

// rekey is open to everyone: a body larger than any form is refused unread, with its own status,
// and the page entry never runs (the settings would give the setup error page).
TEST_F(RekeyRunTest, BodyLargerThanAnyFormIsRefusedUnread) {
  const std::string body = "User=bob&Pass=" + std::string(70000, 'x');
  for (const char* length : {"70014", "67108864"}) {
    const ProgramRun refused = run("Action=edit", body, length);
    EXPECT_EQ(refused.exitCode, 0);
    EXPECT_EQ(refused.output,
              "Status: 413 Request Entity Too Large\nContent-Type: text/html\n\n<HTML><BODY>\n"
              "Request refused - the form sent is too large !<BR>\n</BODY></HTML>\n")
        << length;
    EXPECT_EQ(refused.errors, std::string("request refused: its body of ") + length +
                                  " bytes is longer than the 65536 bytes a form may have\n");
  }
  // A form within the limit reaches the program: its setup error page (code 1 or 2, as the
  // key or its value is missing here).
  const ProgramRun served = post("Action=edit", "User=bob&Pass=x");
  EXPECT_TRUE(served.exitCode == 1 || served.exitCode == 2) << served.exitCode;
  EXPECT_NE(served.output.find("Error: "), std::string::npos) << served.output;
}

// A database cut short (read while another program rewrote it in place, or through a share
// that gave its old size) is not loaded: a storing run would write back what it read and lose
// the rest.
TEST_F(RekeyRunTest, ADatabaseCutShortIsNeitherLoadedNorSaved) {
  const std::string cut =
      "{ MAIN:\r\n    { SERVERS:\r\n        (string)intranet|8080=Staff\r\n    } SERVERS;\r\n"
      "} MAIN;\r\n{ ACCOUNTS:\r\n    { Staff:\r\n        { bob:\r\n"
      "            (string)Password=old pass\r\n";
  platform::writeWholeFile(path(), cut);
  ASSERT_TRUE(TestSettings::store("Configuration File", path()));
  ProgramRun changed = post("Action=editdo", "User=bob&Pass=old+pass&Newpass=new&Newpass1=new");
  EXPECT_EQ(changed.exitCode, 3);
  EXPECT_EQ(changed.output, "Content-Type: text/html\n\n<HTML><BODY>\nError: 3<BR>\n");
  EXPECT_EQ(changed.errors, "cannot load the account database " + path() +
                                ": the file ends inside an open section\n");
  EXPECT_EQ(platform::readWholeFile(path()), cut);
}

}  // namespace
}  // namespace gatekeeper
