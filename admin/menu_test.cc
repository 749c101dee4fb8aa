// The frame's menu against the action table: every link leads to a page that shows something
// without input, and every such page is offered.
#include <set>
#include <string>

#include "admin/page_frame.h"
#include "admin/page_test_support.h"
#include "websupport/action_dispatch.h"

namespace gatekeeper {
namespace {

using MenuTest = AdminPageTest;

// The table's entry of a menu link's page, checked to be one the menu may offer: a page of the
// frame that stores nothing.
const ActionEntry* offeredPage(const char* name) {
  const ActionEntry* page = findAction(actionTable(), name);
  if (page == nullptr) {
    ADD_FAILURE() << "the menu names no page of the table: " << name;
    return nullptr;
  }
  EXPECT_FALSE(page->storing) << name;
  EXPECT_EQ(page->answer, Answer::kInFrame) << name;
  return page;
}

TEST_F(MenuTest, OffersEveryPageThatNeedsNoInput) {
  writeDatabase(kEmptyDatabase);
  std::set<std::string> offered;
  for (const MenuEntry& link : frameMenu()) {
    if (const ActionEntry* page = offeredPage(link.action)) offered.insert(page->name);
    if (link.postAction == nullptr) continue;
    EXPECT_STREQ(link.action, "SelectAuthority") << link.text;
    if (const ActionEntry* page = offeredPage(link.postAction)) offered.insert(page->name);
    // The chooser continues with that page.
    ConfigFile database(path_.c_str(), 1);
    ASSERT_EQ(database.load(), 1);
    FormFields query;
    query.insert("Action", link.action);
    query.insert("PostAction", link.postAction);
    ResponseCapture page;
    dispatchAction(database, FormFields(), query);
    EXPECT_TRUE(contains(page.text(), std::string("<FORM METHOD=\"POST\" ACTION=\"/cgi/overseer?"
                                                  "Action=") + link.postAction + "\">"))
        << page.text();
  }
  for (const ActionEntry& entry : actionTable()) {
    if (entry.storing || entry.answer != Answer::kInFrame) continue;
    // The edit form needs a user: the user list and the change chooser lead to it.
    if (std::string(entry.name) == "EditUser") continue;
    EXPECT_EQ(offered.count(entry.name), 1u) << entry.name;
  }
}

}  // namespace
}  // namespace gatekeeper
