// steward and overseer run as real CGI processes on one database: a user that the site's
// manager adds through steward is the same entry, listed the same way, as one that the
// administrator adds through overseer.
#include <gtest/gtest.h>

#include <string>

#include "configstore/config_file.h"
#include "platform/scratch_directory.h"
#include "tests/cgi/program_run_test_support.h"

namespace gatekeeper {
namespace {

constexpr char kUserFields[] =
    "Pass=p%26w&MapTo=ON&NTAcc=web&Expire=12%2F31%2F2030&noexpiration=1&disabled=1&B1=Submit";

class StewardRunTest : public ProgramRunTest {
 protected:
  StewardRunTest() : ProgramRunTest(STEWARD_PROGRAM, "/cgi-bin/steward") {
    server_.set("SERVER_NAME", "intranet");
    server_.set("SERVER_PORT", "8080");
  }
  ProgramRun runAs(const char* program, const char* scriptName, const std::string& query,
                   const std::string& body) {
    program_ = program;
    server_.set("SCRIPT_NAME", scriptName);
    return post(query, body);
  }
  // The cells of a user's row in a user list, up to its buttons.
  static std::string rowCells(const std::string& page, const std::string& user) {
    const std::size_t cell = page.find(">" + user + "</TD>");
    if (cell == std::string::npos) return "<no row of " + user + ">";
    const std::size_t start = page.rfind("<TR>", cell);
    return page.substr(start, page.find("<FORM", cell) - start);
  }
  // The lines of a user's section in the database file.
  static std::string sectionText(const std::string& file, const std::string& user) {
    const std::size_t start = file.find("{ " + user + ":");
    if (start == std::string::npos) return "<no section " + user + ">";
    return file.substr(start, file.find("} " + user + ";", start) - start);
  }
  static std::string renamed(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      text.replace(at, from.size(), to);
      at += to.size();
    }
    return text;
  }
};

TEST_F(StewardRunTest, UserAddedThroughStewardIsAUserAsOverseerAddsThem) {
  const std::string path = settings_.file("accounts.cfg");
  {
    ConfigFile database(path.c_str(), 1);
    database.getOrCreateSection("MAIN")->getOrCreateSection("SERVERS")->setString("intranet|8080",
                                                                                 "Staff");
    database.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
    database.getOrCreateSection("NTACCOUNTS")->getOrCreateSection("web");
    ASSERT_EQ(database.save(), 1);
  }
  ASSERT_TRUE(TestSettings::store("Configuration File", path));

  ProgramRun added = runAs(STEWARD_PROGRAM, "/cgi-bin/steward", "Action=AddUserDo",
                           std::string("User=sitebob&") + kUserFields);
  EXPECT_EQ(added.exitCode, 0);
  EXPECT_NE(added.output.find("User <b>sitebob</b> added to authority <B>Staff</B>"),
            std::string::npos)
      << added.output;
  added = runAs(OVERSEER_PROGRAM, "/cgi-bin/overseer", "Action=AddUserDo",
                std::string("Authority=Staff&User=adminbob&") + kUserFields);
  EXPECT_NE(added.output.find("User <b>adminbob</b> added to authority <B>Staff</B>"),
            std::string::npos)
      << added.output;

  const ProgramRun list =
      runAs(OVERSEER_PROGRAM, "/cgi-bin/overseer", "Action=ListAuthority", "Authority=Staff");
  EXPECT_EQ(renamed(rowCells(list.output, "sitebob"), "sitebob", "adminbob"),
            rowCells(list.output, "adminbob"));
  EXPECT_NE(rowCells(list.output, "adminbob").find(">12/31/2030</TD>"), std::string::npos);

  const std::string file = platform::readWholeFile(path);
  EXPECT_EQ(renamed(sectionText(file, "sitebob"), "sitebob", "adminbob"),
            sectionText(file, "adminbob"));
  EXPECT_NE(sectionText(file, "adminbob").find("MapTo=web"), std::string::npos);

  // The site's own list shows both, as overseer does.
  const ProgramRun siteList = runAs(STEWARD_PROGRAM, "/cgi-bin/steward", "", "");
  EXPECT_EQ(rowCells(siteList.output, "sitebob"), rowCells(list.output, "sitebob"));
}

}  // namespace
}  // namespace gatekeeper
