// The request handling shared by the site programs: header, setup error pages, frame, and the
// pages run only on a site that has an authority.
#include "siteframe/site_request.h"

#include <gtest/gtest.h>

#include "siteframe/site_test_support.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

int pagesRun = 0;

// Stands for a program's pages: names the authority and the action it was given.
void recordingPages(ConfigFile&, ConfigSection& authority, const FormFields&,
                    const FormFields& query) {
  ++pagesRun;
  writeLine(std::string("pages for ") + authority.name() + " action " +
            query.field("Action").text());
}

void menu() { writeLine("the menu"); }

constexpr SiteFrameStyle kWithMenu = {"Title one", "Banner one", menu};
constexpr SiteFrameStyle kWithoutMenu = {"Title two", "Banner two", nullptr};

int entryWithMenu(const FormFields& form, const FormFields& query, const FormFields&) {
  return handleSiteRequest(kWithMenu, recordingPages, form, query);
}
int entryWithoutMenu(const FormFields& form, const FormFields& query, const FormFields&) {
  return handleSiteRequest(kWithoutMenu, recordingPages, form, query);
}

class SiteRequestTest : public SiteTest {
 protected:
  SiteRequestTest() : SiteTest("/cgi/steward") { pagesRun = 0; }
};

TEST_F(SiteRequestTest, SetupErrorsGiveTheBareErrorPage) {
  const auto errorPage = [](int code) {
    return "Content-Type: text/html\n\n<HTML><BODY>\nError: " + std::to_string(code) + "<BR>\n";
  };
  TestSettings::removeKey();
  EXPECT_EQ(run(entryWithMenu, ""), errorPage(1));
  EXPECT_EQ(code_, 1);
  ASSERT_TRUE(TestSettings::store("Backup directory", ""));
  EXPECT_EQ(run(entryWithMenu, "AddUser"), errorPage(2));
  EXPECT_EQ(code_, 2);
  ASSERT_TRUE(TestSettings::store("Configuration File", settings_.file("missing.cfg")));
  EXPECT_EQ(run(entryWithoutMenu, "edit"), errorPage(3));
  EXPECT_EQ(code_, 3);
  EXPECT_EQ(pagesRun, 0);
}

TEST_F(SiteRequestTest, SiteWithoutAuthorityGetsTheMessageWhateverTheAction) {
  servers().setString("alpha|8080", "Staff");
  authority("Staff");
  save();
  server_.set("SERVER_NAME", "alpha<x>");
  server_.set("SERVER_PORT", "80");
  for (const char* action : {"", "AddUserDo", "editdo"}) {
    const std::string page = run(entryWithMenu, action);
    EXPECT_EQ(code_, 0);
    EXPECT_EQ(contentCell(page),
              "<H3>No authority was defined for site answering on alpha&lt;x&gt;:80</H3>\n"
              "For more information contact your system administrator.\n");
  }
  EXPECT_EQ(pagesRun, 0);
}

TEST_F(SiteRequestTest, FrameHoldsTheProgramsPagesOnTheSiteAuthority) {
  servers().setString("alpha", "Staff");
  authority("Staff");
  save();
  const std::string withMenu = run(entryWithMenu, "AddUser");
  EXPECT_EQ(code_, 0);
  EXPECT_EQ(withMenu.rfind("Content-Type: text/html\n\n<html>\n<head>\n<title>Title one</title>\n", 0),
            0u);
  EXPECT_NE(withMenu.find("<i>Banner one</i>"), std::string::npos);
  EXPECT_NE(withMenu.find("WIDTH=\"250\" BGCOLOR=\"#C0C0C0\" CLASS=\"inset\">\nthe menu\n</td>"),
            std::string::npos);
  EXPECT_EQ(contentCell(withMenu), "pages for Staff action AddUser\n");
  EXPECT_EQ(withMenu.substr(withMenu.size() - 16), "</body>\n</html>\n");

  const std::string withoutMenu = run(entryWithoutMenu, nullptr);
  EXPECT_EQ(withoutMenu.find("WIDTH=\"250\""), std::string::npos);
  EXPECT_EQ(contentCell(withoutMenu), "pages for Staff action \n");
  EXPECT_EQ(pagesRun, 2);
  // Showing pages never saves: the file is as the test wrote it.
  EXPECT_EQ(reload()->sectionByName("ACCOUNTS")->sectionByName("Staff")->isPlaceholder(), false);
}

}  // namespace
}  // namespace gatekeeper
