#include "log_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter_library.h"
#include "filter_response.h"
#include "site_list.h"

namespace {

std::string escaped(const std::string& text) {
  std::vector<char> out(escapedLogTextSize(text.c_str()));
  return escapeLogText(text.c_str(), out.data());
}

TEST(LogTextTest, EscapesWhatCouldForgeOrBreakALine) {
  struct Case {
    std::string text;
    std::string expected;
  };
  for (const Case& c : {
           Case{"alice", "alice"},
           Case{"", ""},
           // A name that would close the quotes and fake the rest of the line.
           Case{"x\", client: 10.0.0.1", "x\\x22, client: 10.0.0.1"},
           Case{"back\\slash", "back\\\\slash"},
           Case{"two\nlines\r", "two\\x0alines\\x0d"},
           Case{"tab\there\x7f", "tab\\x09here\\x7f"},
           Case{"\x01", "\\x01"},
           // UTF-8 stays readable.
           Case{"J\xc3\xb6rg", "J\xc3\xb6rg"},
       }) {
    EXPECT_EQ(escaped(c.text), c.expected);
  }
  // The size covers the worst case.
  EXPECT_EQ(escaped(std::string(50, '\n')).size() + 1,
            escapedLogTextSize(std::string(50, '\n').c_str()));
}

TEST(BasicChallengeTest, QuotesTheRealm) {
  struct Case {
    const char* realm;
    const char* expected;
  };
  for (const Case& c :
       {Case{"www.example.com", "Basic realm=\"www.example.com\""}, Case{"", "Basic realm=\"\""},
        Case{"say \"hi\"\\", "Basic realm=\"say \\\"hi\\\"\\\\\""},
        Case{"split\r\nX-Injected: 1", "Basic realm=\"splitX-Injected: 1\""}}) {
    std::vector<char> out(basicChallengeSize(c.realm));
    writeBasicChallenge(c.realm, out.data());
    EXPECT_STREQ(out.data(), c.expected);
  }
}

TEST(FilterOrderTest, HigherPriorityFirstEqualOnesInConfigurationOrder) {
  IsapiFilter low1{}, low2{}, medium{}, high{}, unset{};
  low1.flags = SF_NOTIFY_ORDER_LOW;
  low2.flags = SF_NOTIFY_ORDER_LOW;
  medium.flags = SF_NOTIFY_ORDER_MEDIUM;
  high.flags = SF_NOTIFY_ORDER_HIGH;
  const IsapiFilter* ordered[5];
  size_t count = 0;
  for (const IsapiFilter* f : {&low1, &medium, &unset, &high, &low2}) {
    count = insertByPriority(ordered, count, f);
  }
  ASSERT_EQ(count, 5u);
  EXPECT_EQ(std::vector<const IsapiFilter*>(ordered, ordered + 5),
            (std::vector<const IsapiFilter*>{&high, &medium, &low1, &unset, &low2}));
}

TEST(FilterLibraryTest, AMissingLibraryNamesPathAndReason) {
  char error[FILTER_LIBRARY_ERROR_MAX];
  EXPECT_FALSE(checkFilterLibrary("/nonexistent/filter.so", error, sizeof(error)));
  EXPECT_NE(std::string(error).find("cannot load /nonexistent/filter.so: "), std::string::npos);
  EXPECT_EQ(startFilterLibrary("/nonexistent/filter.so", error, sizeof(error)), nullptr);
}

TEST(SiteListTest, EachNameAndPortOnce) {
  SiteList list{};
  ASSERT_TRUE(addSite(&list, "www.example.com", 15, 80));
  ASSERT_TRUE(addSite(&list, "WWW.Example.com", 15, 80));
  ASSERT_TRUE(addSite(&list, "www.example.com", 15, 8080));
  // The length counts, not a terminator.
  ASSERT_TRUE(addSite(&list, "www.example.comXYZ", 15, 443));
  ASSERT_TRUE(addSite(&list, "", 0, 80));
  ASSERT_EQ(list.count, 4u);
  EXPECT_STREQ(list.sites[1].serverPort, "8080");
  EXPECT_STREQ(list.sites[2].serverName, "www.example.com");
  EXPECT_STREQ(list.sites[2].serverPort, "443");
  EXPECT_STREQ(list.sites[3].serverName, "");
  clearSites(&list);
  EXPECT_EQ(list.count, 0u);
  EXPECT_EQ(list.sites, nullptr);
}

}  // namespace
