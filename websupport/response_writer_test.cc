#include "websupport/response_writer.h"

#include <gtest/gtest.h>

#include "platform/environment.h"
#include "websupport/action_link.h"
#include "websupport/html_escape.h"

namespace gatekeeper {
namespace {

TEST(ResponseWriterTest, HeadersLinesAndNestedCaptures) {
  ResponseCapture outer;
  writeText("Cache-control: private\n");
  {
    ResponseCapture inner;
    writeLine("<P>inner</P>");
    EXPECT_EQ(inner.text(), "<P>inner</P>\n");
  }
  writeContentType("text/html");
  EXPECT_EQ(outer.text(), "Cache-control: private\nContent-Type: text/html\n\n");
}

TEST(ActionLinkTest, LinksAddressTheScript) {
  ASSERT_TRUE(platform::setEnvironmentVariable("SCRIPT_NAME", "/admin/overseer"));
  ResponseCapture page;
  actionLink("");
  writeText("|");
  actionLink("MainScreen");
  writeText("|");
  actionLinkWithPost("SelectAuthority", "AddUser");
  writeText("|");
  writeScriptUrl();
  EXPECT_EQ(page.text(),
            "/admin/overseer?Action=|/admin/overseer?Action=MainScreen|"
            "/admin/overseer?Action=SelectAuthority&PostAction=AddUser|/admin/overseer");
}

// SCRIPT_NAME is the decoded request path, so it may hold a quote that would end the attribute.
TEST(ActionLinkTest, ScriptNameIsEscapedAndMayBeMissing) {
  ASSERT_TRUE(platform::setEnvironmentVariable("SCRIPT_NAME", "/a\"b<c>"));
  {
    ResponseCapture page;
    actionLink("Config");
    EXPECT_EQ(page.text(), "/a&quot;b&lt;c&gt;?Action=Config");
  }
  ASSERT_TRUE(platform::setEnvironmentVariable("SCRIPT_NAME", nullptr));
  ResponseCapture page;
  actionLink("Config");
  EXPECT_EQ(page.text(), "?Action=Config");
}

TEST(HtmlEscapeTest, EscapesMarkupCharactersOnly) {
  EXPECT_EQ(escapeHtml("Tom \"<b>\" & Jerry's"),
            "Tom &quot;&lt;b&gt;&quot; &amp; Jerry&#39;s");
  EXPECT_EQ(escapeHtml("J\xF6rg M\xFCller"), "J\xF6rg M\xFCller");
  EXPECT_EQ(escapeHtml("&amp;"), "&amp;amp;");  // escaping is not idempotent by design
  ResponseCapture page;
  writeEscaped("<x>");
  EXPECT_EQ(page.text(), "&lt;x&gt;");
}

}  // namespace
}  // namespace gatekeeper
