// Select-list options: slot order, what is skipped, the selected mark and escaping.
#include "accountpages/option_lists.h"

#include <gtest/gtest.h>

#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

TEST(OptionListsTest, SectionsInSlotOrderWithTheSelectedOneMarked) {
  ConfigSection accounts("NTACCOUNTS");
  accounts.createSection("webuser");
  accounts.setString("NotAnAccount", "value nodes are skipped");
  accounts.createSection("gone");
  accounts.createSection("a\"<b");
  accounts.deleteByName("gone");  // an empty slot
  ResponseCapture page;
  writeSectionOptions(accounts, "WEBUSER");
  writeSectionOptions(*nullSection());
  EXPECT_EQ(page.text(),
            "<OPTION SELECTED VALUE=\"webuser\">webuser</OPTION>\n"
            "<OPTION VALUE=\"a&quot;&lt;b\">a&quot;&lt;b</OPTION>\n");
}

TEST(OptionListsTest, BindingsShowTheirAuthority) {
  ConfigSection servers("SERVERS");
  servers.setString("intranet|8080", "Staff");
  servers.createSection("NotABinding");
  servers.setString("10.0.0.5", "<Guests>");
  ResponseCapture page;
  writeBindingOptions(servers);
  EXPECT_EQ(page.text(),
            "<OPTION VALUE=\"intranet|8080\">intranet|8080 --&gt; Staff</OPTION>\n"
            "<OPTION VALUE=\"10.0.0.5\">10.0.0.5 --&gt; &lt;Guests&gt;</OPTION>\n");
}

}  // namespace
}  // namespace gatekeeper
