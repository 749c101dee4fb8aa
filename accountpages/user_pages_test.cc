// The user pages as a site's program shows them: the authority comes from elsewhere than the
// form, so no form carries an Authority field. Stored entries are checked in the saved file.
#include "accountpages/user_pages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "accountdb/database_names.h"
#include "accountdb/value_readers.h"
#include "passhash/password_hash.h"
#include "platform/scratch_directory.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables_for_test.h"

namespace gatekeeper {
namespace {

using accountdb::readFlag;
using accountdb::readText;

UserAuthority staffAuthority(ConfigFile& database) {
  ConfigSection* staff = database.sectionByName("ACCOUNTS")->sectionByName("Staff");
  return {staff, staff->isPlaceholder() ? "" : staff->name()};
}

void writeSiteHeading(const UserAuthority&) { writeLine("Administration of users<BR>"); }

constexpr UserPagesVariant kSiteVariant = {false, writeSiteHeading, true};

class UserPagesTest : public ::testing::Test {
 protected:
  UserPagesTest() : server_("/cgi/steward") {
    ConfigFile database(path_.c_str(), 1);
    database.getOrCreateSection("MAIN")->getOrCreateSection("SERVERS");
    ConfigSection* staff = database.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
    staff->setInt("ExpirationRequired", 1);
    ConfigSection* john = staff->getOrCreateSection("John");
    john->setString("Password", "old");
    john->setInt("DoNotMap", 0);
    john->setString("MapTo", "webuser");
    john->setString("Comment", "not on the form");
    ConfigSection* mary = staff->getOrCreateSection("mary");
    mary->setString("Password", "pw");
    mary->setInt("DoNotMap", 1);
    mary->setString("expiredate", "12/31/2037");
    mary->setInt("disabled", 1);
    ConfigSection* nt = database.getOrCreateSection("NTACCOUNTS");
    nt->getOrCreateSection("webuser");
    nt->getOrCreateSection("guest");
    EXPECT_EQ(database.save(), 1);
  }

  using Page = void (*)(const UserPageRequest&);

  // Runs a page on the database as saved; returns what it wrote.
  std::string run(Page page, const FormFields& form) {
    ConfigFile database(path_.c_str(), 1);
    EXPECT_EQ(database.load(), 1);
    ResponseCapture capture;
    page({kSiteVariant, staffAuthority(database), database, form});
    return capture.text();
  }
  // The authority Staff as saved.
  ConfigSection* savedStaff() {
    saved_ = std::make_unique<ConfigFile>(path_.c_str(), 1);
    EXPECT_EQ(saved_->load(), 1);
    return saved_->sectionByName("ACCOUNTS")->sectionByName("Staff");
  }
  // The names of Staff's users, in slot order.
  std::string savedUsers() {
    const ConfigSection* staff = savedStaff();
    std::string names;
    for (int32_t slot = 1; slot <= staff->count(); ++slot) {
      const ConfigSection* user = staff->sectionByIndex(slot);
      if (!user->isPlaceholder()) names += std::string(user->name()) + " ";
    }
    return names;
  }
  static FormFields userForm(const std::string& user, const std::string& password = "Secret") {
    FormFields form;
    form.insert("User", user);
    form.insert("Pass", password);
    form.insert("MapTo", "on");
    form.insert("NTAcc", "guest");
    form.insert("Expire", "3/15/2030");
    form.insert("noexpiration", "1");
    form.insert("B1", "Submit");
    return form;
  }

  // Changes the saved database.
  template <typename Change>
  void edit(Change change) {
    ConfigFile database(path_.c_str(), 1);
    ASSERT_EQ(database.load(), 1);
    change(database);
    ASSERT_EQ(database.save(), 1);
  }

  platform::ScratchDirectory dir_;
  const std::string path_ = dir_.file("accounts.cfg");
  ServerVariablesForTest server_;
  std::unique_ptr<ConfigFile> saved_;
};

TEST_F(UserPagesTest, ListShowsEveryUserInSlotOrderWithItsColumns) {
  const std::string page = run(writeUserList, FormFields());
  EXPECT_EQ(page.rfind("Administration of users<BR>\nList of registered users:<BR>\n", 0), 0u);
  EXPECT_NE(page.find("<TR><TD BGCOLOR=\"#C0C0C0\" CLASS=\"outset\">Username</TD>"
                      "<TD BGCOLOR=\"#C0C0C0\" CLASS=\"outset\">Mapped to NT Account </TD>"
                      "<TD BGCOLOR=\"#C0C0C0\" CLASS=\"outset\">NT account</TD>"
                      "<TD BGCOLOR=\"#C0C0C0\" CLASS=\"outset\">Expire date</TD>"
                      "<TD BGCOLOR=\"#C0C0C0\" CLASS=\"outset\">Disabled</TD>"
                      "<TD BGCOLOR=\"#C0C0C0\" CLASS=\"outset\">Edit</TD>"
                      "<TD BGCOLOR=\"#C0C0C0\" CLASS=\"outset\">Delete</TD></TR>"),
            std::string::npos);
  const std::string john =
      "<TR><TD BGCOLOR=\"#E0E0E0\">John</TD><TD BGCOLOR=\"#E0E0E0\">Yes</TD>"
      "<TD BGCOLOR=\"#E0E0E0\">webuser</TD><TD BGCOLOR=\"#E0E0E0\"></TD>"
      "<TD BGCOLOR=\"#E0E0E0\">No</TD>"
      "<TD BGCOLOR=\"#E0E0E0\"><FORM METHOD=\"POST\" ACTION=\"/cgi/steward?Action=EditUser\">\n"
      "<INPUT TYPE=\"hidden\" NAME=\"User\" VALUE=\"John\">\n"
      "<INPUT TYPE=\"submit\" VALUE=\"Edit\" NAME=\"B1\"></FORM></TD>"
      "<TD BGCOLOR=\"#E0E0E0\"><FORM METHOD=\"POST\" ACTION=\"/cgi/steward?Action=DelUserDo\">\n"
      "<INPUT TYPE=\"hidden\" NAME=\"User\" VALUE=\"John\">\n"
      "<INPUT TYPE=\"submit\" VALUE=\"Delete\" NAME=\"B1\"></FORM></TD></TR>\n";
  const std::string mary =
      "<TR><TD BGCOLOR=\"#E0E0E0\">mary</TD><TD BGCOLOR=\"#E0E0E0\">No</TD>"
      "<TD BGCOLOR=\"#E0E0E0\"></TD><TD BGCOLOR=\"#E0E0E0\">12/31/2037</TD>"
      "<TD BGCOLOR=\"#E0E0E0\">Yes</TD>";
  const std::size_t johnAt = page.find(john);
  ASSERT_NE(johnAt, std::string::npos) << page;
  EXPECT_GT(page.find(mary), johnAt);
  EXPECT_EQ(page.find("ExpirationRequired"), std::string::npos);  // values are not users
  EXPECT_EQ(page.find("Authority"), std::string::npos);
}

TEST_F(UserPagesTest, AddRefusesWhatCannotBeStoredAndLeavesTheFileAlone) {
  struct Case {
    std::string user;
    std::string password;
    const char* line;
  };
  const Case cases[] = {
      {"", "Secret", "User name can not be empty !\n"},
      {"bad:name", "Secret", "User name contains characters that can not be stored !\n"},
      // Names that compare unequal to bob but look like him.
      {"bob ", "Secret", "User name contains characters that can not be stored !\n"},
      {"bob\v", "Secret", "User name contains characters that can not be stored !\n"},
      {"bob\x85", "Secret", "User name contains characters that can not be stored !\n"},
      {"Bob", "two\nlines", "Password can not contain line breaks !\n"},
      {"JOHN", "Secret", "User <B>JOHN</B> already exist in authority <B>Staff</b>\n"},
      {"expirationrequired", "Secret",
       "User <B>expirationrequired</B> already exist in authority <B>Staff</b>\n"},
  };
  const std::string before = platform::readWholeFile(path_);
  for (const Case& c : cases) {
    EXPECT_EQ(run(addUser, userForm(c.user, c.password)), c.line);
    EXPECT_EQ(platform::readWholeFile(path_), before) << c.user;
  }
}

TEST_F(UserPagesTest, AddStoresTheFormsValuesAtTheEnd) {
  EXPECT_EQ(run(addUser, userForm("Bob")), "User <b>Bob</b> added to authority <B>Staff</B>\n");
  EXPECT_EQ(savedUsers(), "John mary Bob ");
  const ConfigSection* bob = savedStaff()->sectionByName("bob");
  EXPECT_STREQ(readText(*bob, "Password"), "Secret");
  EXPECT_FALSE(readFlag(*bob, "DoNotMap"));
  EXPECT_STREQ(readText(*bob, "MapTo"), "guest");
  EXPECT_STREQ(readText(*bob, "expiredate"), "3/15/2030");
  EXPECT_TRUE(readFlag(*bob, "noexpiration"));
  EXPECT_FALSE(readFlag(*bob, "disabled"));
}

TEST_F(UserPagesTest, UntickedMapToStoresDoNotMapAndNoMapTo) {
  FormFields form;
  form.insert("User", "Bob");
  form.insert("NTAcc", "guest");
  run(addUser, form);
  const ConfigSection* bob = savedStaff()->sectionByName("Bob");
  EXPECT_TRUE(readFlag(*bob, "DoNotMap"));
  EXPECT_TRUE(bob->valueByName("MapTo")->isPlaceholder());
  EXPECT_NE(run(writeUserList, FormFields())
                .find("<TD BGCOLOR=\"#E0E0E0\">Bob</TD><TD BGCOLOR=\"#E0E0E0\">No</TD>"
                      "<TD BGCOLOR=\"#E0E0E0\"></TD>"),
            std::string::npos);
}

TEST_F(UserPagesTest, ChangeReplacesTheEntryWholeInItsSlot) {
  FormFields form = userForm("JOHN", "new");
  EXPECT_EQ(run(changeUser, form), "User <b>JOHN</b> changed in authority <B>Staff</B>\n");
  EXPECT_EQ(savedUsers(), "JOHN mary ");
  const ConfigSection* john = savedStaff()->sectionByName("John");
  EXPECT_STREQ(readText(*john, "Password"), "new");
  EXPECT_STREQ(readText(*john, "MapTo"), "guest");
  EXPECT_TRUE(john->valueByName("Comment")->isPlaceholder());

  // A name that matches no user creates one; an authority's value is never replaced.
  run(changeUser, userForm("Carl"));
  EXPECT_EQ(savedUsers(), "JOHN mary Carl ");
  EXPECT_EQ(run(changeUser, userForm("ExpirationRequired")),
            "User <B>ExpirationRequired</B> already exist in authority <B>Staff</b>\n");
  EXPECT_TRUE(readFlag(*savedStaff(), "ExpirationRequired"));
  EXPECT_EQ(run(changeUser, userForm("")), "User name can not be empty !\n");
  EXPECT_EQ(savedUsers(), "JOHN mary Carl ");
}

TEST_F(UserPagesTest, ChangeWarnsAboutDatesTheFilterRefuses) {
  const char* const yearWarning =
      "<BR><I><B>Warning:</B> Dates after year 2037 not supported - user authentication will "
      "fail if expiration is enabled !</I>";
  const char* const formatWarning =
      "<BR><I><B>Warning:</B> Date format specified can not be recognized - user "
      "authentication will fail if expiration is enabled !</I>";
  struct Case {
    const char* expire;
    const char* warning;
  };
  const Case cases[] = {
      {"12/31/2037", ""},   {"1/1/2038", yearWarning}, {"2038-01-01", formatWarning},
      {"never", formatWarning}, {"", ""},
  };
  for (const Case& c : cases) {
    FormFields form;
    form.insert("User", "mary");
    form.insert("Expire", c.expire);
    EXPECT_EQ(run(changeUser, form),
              std::string("User <b>mary</b> changed in authority <B>Staff</B>") + c.warning + "\n");
    EXPECT_STREQ(readText(*savedStaff()->sectionByName("mary"), "expiredate"), c.expire);
  }
}

TEST_F(UserPagesTest, DeleteIgnoresLetterCaseAndNeverTouchesTheAuthoritysValues) {
  struct Case {
    const char* user;
    const char* users;
  };
  const Case cases[] = {
      {"MARY", "John "},
      {"nobody", "John "},
      {"ExpirationRequired", "John "},
  };
  for (const Case& c : cases) {
    FormFields form;
    form.insert("User", c.user);
    EXPECT_EQ(run(deleteUser, form),
              std::string("User <b>") + c.user + "</b> deleted from authority <B>Staff</B>\n");
    EXPECT_EQ(savedUsers(), c.users);
    EXPECT_TRUE(readFlag(*savedStaff(), "ExpirationRequired"));
  }
}

TEST_F(UserPagesTest, FormsCarryOnlyTheUserAndShowTheStoredValues) {
  FormFields form;
  form.insert("User", "john");
  const std::string edit = run(writeEditUserForm, form);
  EXPECT_NE(edit.find("<FORM METHOD=\"POST\" ACTION=\"/cgi/steward?Action=ChangeUserDo\">\n"
                      "<INPUT TYPE=\"hidden\" NAME=\"User\" VALUE=\"john\">\n"
                      "<P>Username: john</P>\n"
                      "<P>Password: <INPUT TYPE=\"text\" NAME=\"Pass\" SIZE=\"20\" VALUE=\"old\"></P>"),
            std::string::npos)
      << edit;
  EXPECT_NE(edit.find("<INPUT TYPE=\"checkbox\" NAME=\"MapTo\" VALUE=\"ON\" CHECKED>Map to NT Account: "),
            std::string::npos);
  EXPECT_NE(edit.find("<OPTION SELECTED VALUE=\"webuser\">"), std::string::npos);
  EXPECT_NE(edit.find("<INPUT TYPE=\"checkbox\" NAME=\"noexpiration\" VALUE=\"1\">"),
            std::string::npos);

  const std::string add = run(writeAddUserForm, form);
  EXPECT_NE(add.find("<INPUT TYPE=\"checkbox\" NAME=\"MapTo\" VALUE=\"ON\" CHECKED>"),
            std::string::npos);
  EXPECT_NE(add.find("<P>Username: <INPUT TYPE=\"text\" NAME=\"User\" SIZE=\"20\"></P>"),
            std::string::npos);
  EXPECT_EQ(add.find("SELECTED"), std::string::npos);

  // The delete chooser of this variant is a drop-down; the change chooser a list box.
  EXPECT_NE(run(writeDeleteUserForm, form).find("<SELECT NAME=\"User\" SIZE=\"1\">"),
            std::string::npos);
  EXPECT_NE(run(writeChangeUserChooser, form).find("<SELECT NAME=\"User\" SIZE=\"12\">"),
            std::string::npos);
  for (Page page : {writeEditUserForm, writeAddUserForm, writeDeleteUserForm,
                    writeChangeUserChooser}) {
    EXPECT_EQ(run(page, form).find("Authority"), std::string::npos);
  }
}

// Where passwords are stored hashed, or the user's is a hash, the edit form shows no password
// and an empty field keeps the stored one; the pages store new passwords as the database asks.
TEST_F(UserPagesTest, HashedPasswordsAreNeverShownAndKeptByAnEmptyField) {
  constexpr char kEmptyField[] =
      "<P>Password: <INPUT TYPE=\"text\" NAME=\"Pass\" SIZE=\"20\" VALUE=\"\"> <I>leave empty to "
      "keep the password</I></P>";
  FormFields john;
  john.insert("User", "john");
  const std::string hash = passhash::hashPassword("old").value();
  edit([&](ConfigFile& database) {
    database.sectionByName("ACCOUNTS")->sectionByName("Staff")->sectionByName("John")
        ->setString("Password", hash.c_str());
  });
  std::string form = run(writeEditUserForm, john);
  EXPECT_NE(form.find(kEmptyField), std::string::npos) << form;
  EXPECT_EQ(form.find(hash), std::string::npos);

  // An empty field keeps the hash; the rest of the entry is replaced as always.
  EXPECT_EQ(run(changeUser, userForm("john", "")),
            "User <b>john</b> changed in authority <B>Staff</B>\n");
  EXPECT_STREQ(readText(*savedStaff()->sectionByName("john"), "Password"), hash.c_str());
  EXPECT_STREQ(readText(*savedStaff()->sectionByName("john"), "MapTo"), "guest");
  // Option off: a password typed in is stored as typed, and the form shows it again.
  run(changeUser, userForm("john", "typed"));
  EXPECT_STREQ(readText(*savedStaff()->sectionByName("john"), "Password"), "typed");
  EXPECT_NE(run(writeEditUserForm, john).find("VALUE=\"typed\"></P>"), std::string::npos);

  // Option on: new and changed passwords are stored hashed; no plain one is shown either.
  edit([](ConfigFile& database) { database.sectionByName("MAIN")->setInt("HashPasswords", 1); });
  form = run(writeEditUserForm, john);
  EXPECT_NE(form.find(kEmptyField), std::string::npos) << form;
  EXPECT_EQ(form.find("typed"), std::string::npos);
  run(changeUser, userForm("john", "changed"));
  run(addUser, userForm("Carl", "added"));
  for (const auto& [name, password] : {std::pair{"john", "changed"}, {"Carl", "added"}}) {
    const std::string stored = readText(*savedStaff()->sectionByName(name), "Password");
    EXPECT_TRUE(passhash::isPasswordHash(stored)) << name;
    EXPECT_TRUE(passhash::verifyPassword(stored, password)) << name;
  }
  // The add form has nothing to keep: its field is as always.
  EXPECT_EQ(run(writeAddUserForm, john).find("leave empty"), std::string::npos);

  // A password of the form of a hash is refused: it could never be told from one.
  EXPECT_EQ(run(addUser, userForm("Dora", hash)),
            "Password can not have the form of a password hash !\n");
  EXPECT_EQ(savedUsers(), "john mary Carl ");
}

}  // namespace
}  // namespace gatekeeper
