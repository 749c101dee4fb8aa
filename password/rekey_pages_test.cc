// rekey in-process: login form, status page, and the password change in its check order.
#include "password/rekey_pages.h"

#include <gtest/gtest.h>

#include <string>

#include "password/failed_logon.h"
#include "passhash/password_hash.h"
#include "platform/clock.h"
#include "siteframe/site_test_support.h"
#include "websupport/error_log.h"

namespace gatekeeper {
namespace {

// Failed logons pause here instead of sleeping; counted.
int pauses = 0;
void countPause() { ++pauses; }

class RekeyTest : public SiteTest {
 protected:
  RekeyTest() : SiteTest("/cgi/rekey") {
    servers().setString("alpha", "Staff");
    ConfigSection* bob = authority("Staff").getOrCreateSection("bob");
    bob->setString("Password", "Secret");
    bob->setInt("DoNotMap", 0);
    bob->setString("MapTo", "web");
    bob->setString("expiredate", "1/1/2040");
    bob->setInt("noexpiration", 0);
    bob->setInt("disabled", 0);
    // A user of the same name in another authority, never touched by this site.
    authority("Other").getOrCreateSection("bob")->setString("Password", "Secret");
    previousPause_ = rekey::setFailedLogonPause(countPause);
    pauses = 0;
  }
  ~RekeyTest() override { rekey::setFailedLogonPause(previousPause_); }
  ConfigSection& bob() { return *authority("Staff").sectionByName("bob"); }

  std::string page(const char* action, const FormFields& form = FormFields()) {
    return contentCell(run(rekey::handleRequest, action, form));
  }
  std::string status(const char* user, const char* pass) {
    return page("edit", fields({{"User", user}, {"Pass", pass}}));
  }
  std::string change(const char* pass, const char* newPass, const char* newPass1) {
    return page("editdo", fields({{"User", "bob"},
                                  {"Pass", pass},
                                  {"Newpass", newPass},
                                  {"Newpass1", newPass1}}));
  }
  std::string storedPassword(const char* authorityName = "Staff") {
    return reload()
        ->sectionByName("ACCOUNTS")
        ->sectionByName(authorityName)
        ->sectionByName("bob")
        ->valueByName("Password")
        ->getString();
  }
  rekey::LogonPause previousPause_ = nullptr;

  static std::string statusLine(const std::string& content) {
    const std::string heading = "<p><b>Account status</b></p>\n";
    const std::size_t start = content.find(heading);
    if (start == std::string::npos) return "<no status>";
    return content.substr(start + heading.size(),
                          content.find('\n', start + heading.size()) - start - heading.size());
  }
};

constexpr char kHeadingOfBob[] = "<p><b>User: <I>bob</I> / authority: <I>Staff</I></b></p>\n";

TEST_F(RekeyTest, FrameAndLoginForm) {
  save();
  const std::string whole = run(rekey::handleRequest, nullptr);
  EXPECT_EQ(code_, 0);
  EXPECT_NE(whole.find("<title>Kestrel Gatekeeper (text) manager - account form</title>"),
            std::string::npos);
  EXPECT_NE(whole.find("<i>Kestrel Gatekeeper version 1.51 - change password utility</i>"),
            std::string::npos);
  EXPECT_EQ(whole.find("WIDTH=\"250\""), std::string::npos);  // no menu
  EXPECT_EQ(contentCell(whole),
            "<h3>Authentication</h3>\n"
            "<FORM METHOD=\"POST\" ACTION=\"/cgi/rekey?Action=edit\">\n"
            "<p>Username: <INPUT TYPE=\"text\" NAME=\"User\" SIZE=\"20\" VALUE=\"\"></p>\n"
            "<p>Password: <INPUT TYPE=\"password\" NAME=\"Pass\" SIZE=\"20\"></p>\n"
            "<p><I>Enter here your username and password for authority: <b>Staff</b></I></p>\n"
            "<p><INPUT TYPE=\"submit\" VALUE=\"Authenticate\" NAME=\"B1\"></p>\n"
            "</FORM>\n");
  EXPECT_EQ(page("EDITDONE"), "");  // an unknown action leaves the cell empty
}

TEST_F(RekeyTest, StatusPageAfterTheCredentialCheck) {
  save();
  EXPECT_EQ(status("BOB", "Secret"),
            "<p><b>User: <I>BOB</I> / authority: <I>Staff</I></b></p>\n"
            "<FORM METHOD=\"POST\" ACTION=\"/cgi/rekey?Action=editdo\">\n"
            "<INPUT TYPE=\"hidden\" NAME=\"User\" VALUE=\"BOB\">\n"
            "<INPUT TYPE=\"hidden\" NAME=\"Pass\" VALUE=\"Secret\">\n"
            "<p>New password: <INPUT TYPE=\"password\" NAME=\"Newpass\" SIZE=\"20\"></p>\n"
            "<p>Retype  new password: <INPUT TYPE=\"password\" NAME=\"Newpass1\" SIZE=\"20\"></p>\n"
            "<p><I>To change your password type it twice.</I></p>\n"
            "<p><INPUT TYPE=\"submit\" VALUE=\"Change password\" NAME=\"B1\"></p>\n"
            "</FORM>\n"
            "<p><b>Account status</b></p>\n"
            "Account is active and will expire on 1/1/2040<BR>\n"
            "<p><b>Account settings</b></p>\n"
            "Account is marked as: <b>depends on default policy</b><BR>\n"
            "Expire date: <b>1/1/2040</b><BR>\n"
            "Account is: <B>not disabled</b><BR>\n"
            "Account was handled by Gatekeeper filter.\n");
  const std::string refused = std::string(kHeadingOfBob) + "Invalid username or password !\n";
  EXPECT_EQ(status("bob", "secret"), refused);  // letter case of the password counts
  EXPECT_EQ(status("bob", ""), refused);
  EXPECT_EQ(status("carol", "Secret"),
            "<p><b>User: <I>carol</I> / authority: <I>Staff</I></b></p>\n" +
                std::string("Invalid username or password !\n"));
}

TEST_F(RekeyTest, StatusLineForEachStateOfTheAccount) {
  const platform::CalendarTime today = platform::utcNow();
  const std::string todayText = std::to_string(today.month) + "/" + std::to_string(today.day) +
                                "/" + std::to_string(today.year);
  const struct {
    const char* name;
    bool required;
    std::string expire;
    int disabled;
    int doNotMap;
    const char* line;
  } cases[] = {
      {"disabled", false, "1/1/1990", 1, 0, "Account is disabled."},
      {"nodate", false, "", 0, 0, "Account is active and will not expire."},
      {"required", true, "", 0, 0,
       "Account is NOT active due to invalid date specified (expire date is required)."},
      {"badformat", false, "15.3.2001", 0, 0,
       "Account is NOT active due to invalid date format specified."},
      {"nocalendar", false, "2/30/2030", 0, 0,
       "Account is NOT active due to invalid date format specified."},
      // Expired from the first instant of the day; later the same day stays expired.
      {"today", false, todayText, 0, 0, "Account is NOT active due to expiration."},
      {"future", false, "12/31/2040", 0, 1, "Account is active and will expire on 12/31/2040"},
  };
  for (const auto& c : cases) {
    ConfigSection& site = authority(c.name);
    site.setInt("ExpirationRequired", c.required ? 1 : 0);
    ConfigSection* user = site.getOrCreateSection("bob");
    user->setString("Password", "pw");
    user->setString("expiredate", c.expire.c_str());
    user->setInt("disabled", c.disabled);
    user->setInt("DoNotMap", c.doNotMap);
    servers().setString("alpha", c.name);
    save();
    EXPECT_EQ(statusLine(status("bob", "pw")), std::string(c.line) + "<BR>") << c.name;
  }
  // The summary of an unmapped, never expiring, disabled account.
  ConfigSection& site = authority("summary");
  ConfigSection* user = site.getOrCreateSection("bob");
  user->setInt("DoNotMap", 1);
  user->setInt("noexpiration", 1);
  user->setInt("disabled", 1);
  servers().setString("alpha", "summary");
  save();
  const std::string summary = status("bob", "");
  EXPECT_NE(summary.find("Account is marked as: <b>Does not expires</b><BR>\n"
                         "Expire date: <b></b><BR>\n"
                         "Account is: <B>disabled</b><BR>\n"
                         "Account was handled by NT authority directly (it cannot be disabled "
                         "and never expires)\n"),
            std::string::npos)
      << summary;
}

TEST_F(RekeyTest, PasswordChangeChecksInOrderAndStoresOnlyThePassword) {
  save();
  const std::string refused = std::string(kHeadingOfBob) + "Invalid username or password !\n";
  EXPECT_EQ(change("secret", "New", "New"), refused);
  EXPECT_EQ(change("Secret", "New", "new"), std::string(kHeadingOfBob) + "New passwords do not match !\n");
  EXPECT_EQ(change("Secret", "a\nb", "a\nb"),
            std::string(kHeadingOfBob) + "Password can not contain line breaks !\n");
  EXPECT_EQ(storedPassword(), "Secret");

  EXPECT_EQ(change("Secret", "N\xe9w pass", "N\xe9w pass"), std::string(kHeadingOfBob) + " Password canged\n");
  EXPECT_EQ(storedPassword(), "N\xe9w pass");
  EXPECT_EQ(storedPassword("Other"), "Secret");
  const std::unique_ptr<ConfigFile> after = reload();
  const ConfigSection* stored = after->sectionByName("ACCOUNTS")->sectionByName("Staff")->sectionByName("bob");
  EXPECT_STREQ(stored->valueByName("MapTo")->getString(), "web");
  EXPECT_STREQ(stored->valueByName("expiredate")->getString(), "1/1/2040");
  EXPECT_EQ(stored->valueByName("DoNotMap")->getInt(), 0);

  // The old password no longer logs in; the new one does.
  EXPECT_EQ(status("bob", "Secret"), refused);
  EXPECT_NE(status("bob", "N\xe9w pass").find("Account status"), std::string::npos);

  // The empty password, typed twice, is a password like any other.
  EXPECT_EQ(change("N\xe9w pass", "", ""), std::string(kHeadingOfBob) + " Password canged\n");
  EXPECT_EQ(storedPassword(), "");
  EXPECT_NE(status("bob", "").find("Account status"), std::string::npos);
}

// No answer tells an existing account from an unknown name before the password matched: an
// unmapped user with a wrong password gets what an unknown user gets, and is told that the
// account is not managed here only with the right one.
TEST_F(RekeyTest, UnmappedUserIsToldOnlyAfterThePasswordCheck) {
  bob().setInt("DoNotMap", 1);
  save();
  const std::string refused = std::string(kHeadingOfBob) + "Invalid username or password !\n";
  EXPECT_EQ(change("wrong", "x", "x"), refused);
  EXPECT_EQ(page("editdo", fields({{"User", "bob"}, {"Pass", ""}, {"Newpass", "x"},
                                   {"Newpass1", "x"}})),
            refused);
  EXPECT_EQ(change("Secret", "x", "x"),
            std::string(kHeadingOfBob) +
                " Account was handled by NT authority directly and cannot be managed through "
                "this form !\n");
  EXPECT_EQ(storedPassword(), "Secret");
}

// Every failed logon, on the status page and on the change, writes one line that fail2ban's
// apache-auth filter counts, and pauses before the answer; a successful one does neither.
TEST_F(RekeyTest, FailedLogonsAreLoggedAndPaused) {
  save();
  const struct {
    const char* user;
    const char* pass;
    bool change;
    const char* logLine;
  } cases[] = {
      {"bob", "secret", false,
       "user bob: authentication failure for \"/cgi/rekey\": Password Mismatch\n"},
      {"carol", "Secret", false, "user carol not found: /cgi/rekey\n"},
      {"bob", "wrong", true,
       "user bob: authentication failure for \"/cgi/rekey\": Password Mismatch\n"},
      {"`x\ny", "", true, "user \\x60x\\x0ay not found: /cgi/rekey\n"},
      {"bob", "Secret", false, ""},
  };
  for (const auto& c : cases) {
    pauses = 0;
    ErrorLogCapture log;
    const FormFields form = c.change ? fields({{"User", c.user}, {"Pass", c.pass},
                                               {"Newpass", "n"}, {"Newpass1", "n"}})
                                     : fields({{"User", c.user}, {"Pass", c.pass}});
    page(c.change ? "editdo" : "edit", form);
    EXPECT_EQ(log.text(), c.logLine) << c.user;
    EXPECT_EQ(pauses, *c.logLine != '\0' ? 1 : 0) << c.user;
  }
  EXPECT_EQ(storedPassword(), "Secret");
}

TEST_F(RekeyTest, ChangeSentFromAnotherSiteStoresNothing) {
  save();
  server_.set("HTTP_HOST", "alpha");
  server_.set("HTTP_ORIGIN", "http://evil.example");
  EXPECT_EQ(change("Secret", "New", "New"),
            "Request refused - it was sent from another site !\n");
  EXPECT_EQ(storedPassword(), "Secret");
}

TEST_F(RekeyTest, TextsFromTheRequestAreEscaped) {
  bob().setString("Password", "\"><script>");
  save();
  const std::string content = status("bob", "\"><script>");
  EXPECT_NE(content.find("NAME=\"Pass\" VALUE=\"&quot;&gt;&lt;script&gt;\""), std::string::npos);
  EXPECT_NE(status("<i>x", "").find("User: <I>&lt;i&gt;x</I>"), std::string::npos);
}

// A stored hash is verified at logon; a new password is stored as the database asks.
TEST_F(RekeyTest, HashedPasswordsLogOnAndChangesFollowTheOption) {
  bob().setString("Password", passhash::hashPassword("Secret").value().c_str());
  save();
  const std::string refused = std::string(kHeadingOfBob) + "Invalid username or password !\n";
  EXPECT_EQ(status("bob", "secret"), refused);
  EXPECT_NE(status("bob", "Secret").find("Account status"), std::string::npos);
  EXPECT_EQ(pauses, 1);

  // Option off: the new password is stored as typed.
  EXPECT_EQ(change("Secret", "Plain", "Plain"), std::string(kHeadingOfBob) + " Password canged\n");
  EXPECT_EQ(storedPassword(), "Plain");

  // Option on: hashed, and the hash logs on. (The test's copy of the database is written over
  // the file, so it takes the password the change stored.)
  bob().setString("Password", "Plain");
  database().sectionByName("MAIN")->setInt("HashPasswords", 1);
  save();
  EXPECT_EQ(change("Plain", "Hidden", "Hidden"), std::string(kHeadingOfBob) + " Password canged\n");
  const std::string stored = storedPassword();
  EXPECT_TRUE(passhash::isPasswordHash(stored)) << stored;
  EXPECT_EQ(status("bob", "Plain"), refused);
  EXPECT_NE(status("bob", "Hidden").find("Account status"), std::string::npos);
  // A new password of the form of a hash is refused, with either setting.
  EXPECT_EQ(change("Hidden", stored.c_str(), stored.c_str()),
            std::string(kHeadingOfBob) + "Password can not have the form of a password hash !\n");
  EXPECT_EQ(storedPassword(), stored);
}

// A file edited by hand where a section of the user holds the name Password: no value can
// take the new password, so the change is reported as not stored, and the file is not written.
TEST_F(RekeyTest, PasswordThatCannotBeSetIsReportedNotStored) {
  bob().removeObject(bob().valueByName("Password"));
  ASSERT_NE(bob().getOrCreateSection("password"), nullptr);
  save();
  EXPECT_EQ(change("", "New", "New"),
            std::string(kHeadingOfBob) +
                "Error: the configuration file could not be saved - the change was not stored "
                "!<BR>\n");
  EXPECT_FALSE(reload()->sectionByName("ACCOUNTS")->sectionByName("Staff")->sectionByName("bob")
                   ->sectionByName("Password")->isPlaceholder());
}

}  // namespace
}  // namespace gatekeeper
