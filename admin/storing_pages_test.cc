// The storing pages of overseer store only what the program's own forms send: a request sent
// from a page of another site leaves the database byte for byte as it was.
#include <algorithm>
#include <iterator>
#include <string_view>

#include "admin/page_test_support.h"

namespace gatekeeper {
namespace {

constexpr char kDatabase[] =
    "{ MAIN:\n    (int)Disable=0\n    { SERVERS:\n        (string)intranet=Staff\n    } SERVERS;\n"
    "} MAIN;\n"
    "{ ACCOUNTS:\n    { Staff:\n        (int)ExpirationRequired=0\n    } Staff;\n} ACCOUNTS;\n"
    "{ NTACCOUNTS:\n    { webuser:\n        (string)Password=webpass\n    } webuser;\n"
    "} NTACCOUNTS;\n";

using StoringPagesTest = AdminPageTest;

// The Do pages store, and so does Config (the settings key); no other page does.
TEST(ActionTableTest, EveryDoPageIsStoring) {
  for (const ActionEntry& entry : actionTable()) {
    const std::string_view name = entry.name;
    const bool doPage = name.size() > 2 && name.substr(name.size() - 2) == "Do";
    EXPECT_EQ(entry.storing, doPage || name == "Config") << name;
  }
}

TEST_F(StoringPagesTest, SentFromAnotherSiteChangesNothing) {
  struct Case {
    const char* action;
    Fields form;  // a form that changes the database when the program's own page sends it
  };
  const Case cases[] = {
      {"MainScreenDo", {{"Disable", "ON"}, {"LogFile", "/tmp/gk.log"}}},
      {"NTAccAddDo", {{"User", "ops"}, {"Pass", "p"}, {"Pass2", "p"}}},
      {"NTAccDelDo", {{"NTAccount", "webuser"}}},
      {"NTAccPassDo", {{"User", "webuser"}, {"Pass", "p"}, {"Pass2", "p"}}},
      {"AuthAddDo", {{"Authority", "Guests"}}},
      {"AuthDelDo", {{"Authority", "Staff"}}},
      {"AuthRenDo", {{"Authority", "Staff"}, {"NewName", "Team"}}},
      {"BindAddDo", {{"Host", "extranet"}, {"Port", "80"}, {"Authority", "Staff"}}},
      {"BindDelDo", {{"Host", "intranet"}}},
      {"AddUserDo", {{"Authority", "Staff"}, {"User", "ann"}, {"Pass", "p"}}},
      {"DelUserDo", {{"Authority", "Staff"}, {"User", "ann"}}},
      {"ChangeUserDo", {{"Authority", "Staff"}, {"User", "ann"}, {"Pass", "p"}}},
      {"NoLogDo", {}},
  };
  // Every storing page of the frame has its case here (Config, answered before the frame, has
  // its own in handle_request_test.cc).
  for (const ActionEntry& entry : actionTable()) {
    if (!entry.storing || entry.answer != Answer::kInFrame) continue;
    EXPECT_TRUE(std::any_of(std::begin(cases), std::end(cases),
                            [&](const Case& c) { return std::string_view(c.action) == entry.name; }))
        << entry.name;
  }
  for (const Case& c : cases) {
    writeDatabase(kDatabase);
    const std::string before = fileBytes();
    sendFromAnotherSite();
    EXPECT_EQ(run(c.action, c.form), "Request refused - it was sent from another site !\n")
        << c.action;
    EXPECT_EQ(fileBytes(), before) << c.action;
    // The same form from the program's own page is stored.
    server_.set("HTTP_ORIGIN", "http://127.0.0.1:8081");
    run(c.action, c.form);
    EXPECT_NE(fileBytes(), before) << c.action;
  }
}

}  // namespace
}  // namespace gatekeeper
