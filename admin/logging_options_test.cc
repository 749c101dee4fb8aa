// Logging options: the checkboxes in table order and what NoLogDo stores.
#include "admin/logging_options.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/event_ids.h"
#include "admin/action_table.h"
#include "platform/scratch_directory.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables_for_test.h"

namespace gatekeeper {
namespace {

class LoggingOptionsTest : public ::testing::Test {
 protected:
  std::string run(const char* action, const FormFields& form, ConfigFile& database) {
    FormFields query;
    query.insert("Action", action);
    ResponseCapture page;
    dispatchAction(database, form, query);
    return page.text();
  }
  // The checkboxes as written: "BOX2 BOX10* ..." with a star for a ticked one.
  static std::string boxes(const std::string& page) {
    std::string listed;
    const std::string open = "<INPUT TYPE=\"checkbox\" NAME=\"";
    for (std::size_t at = page.find(open); at != std::string::npos; at = page.find(open, at + 1)) {
      const std::size_t name = at + open.size();
      const std::size_t end = page.find('>', name);
      listed += page.substr(name, page.find('"', name) - name);
      if (page.substr(name, end - name).find("CHECKED") != std::string::npos) listed += "*";
      listed += " ";
    }
    return listed;
  }

  platform::ScratchDirectory dir_;
  const std::string path_ = dir_.file("accounts.cfg");
  ServerVariablesForTest server_;
};

TEST_F(LoggingOptionsTest, WithoutDontLogEveryBoxIsUntickedInTableOrder) {
  ConfigFile database(path_.c_str(), 1);
  const std::string page = run("NoLog", FormFields(), database);
  EXPECT_EQ(page.rfind("<p><b>Logging options</b></p>\n<I>You can deny logging of some events here. "
                       "On the some servers amout of logged information can be\n",
                       0),
            0u);
  EXPECT_EQ(boxes(page),
            "BOX2 BOX10 BOX11 BOX12 BOX13 BOX3 BOX14 BOX7 BOX4 BOX5 BOX15 BOX6 BOX16 BOX8 BOX9 BOX0 ");
  EXPECT_NE(page.find("<FORM METHOD=\"POST\" ACTION=\"/cgi/overseer?Action=NoLogDo\">\n"
                      "<INPUT TYPE=\"checkbox\" NAME=\"BOX2\" VALUE=\"1\">Filter disabled<BR>"
                      "<INPUT TYPE=\"checkbox\" NAME=\"BOX10\" VALUE=\"1\">Anonymous request<BR>"),
            std::string::npos);
}

TEST_F(LoggingOptionsTest, StoresOneItemPerEventTypeAndShowsTheChoices) {
  {
    // MAIN missing: it is created. An old DONTLOG holding anything else is emptied.
    ConfigFile database(path_.c_str(), 1);
    database.getOrCreateSection("ACCOUNTS");
    ASSERT_EQ(database.save(), 1);
  }
  for (int round = 0; round < 2; ++round) {
    ConfigFile database(path_.c_str(), 1);
    ASSERT_EQ(database.load(), 1);
    if (round == 1) database.sectionByName("MAIN")->sectionByName("DONTLOG")->setString("Old", "x");
    FormFields form;
    form.insert("BOX0", "1");
    form.insert("BOX10", "1");
    form.insert("B1", "Submit");
    const std::string page = run("NoLogDo", form, database);
    EXPECT_EQ(boxes(page),
              "BOX2 BOX10* BOX11 BOX12 BOX13 BOX3 BOX14 BOX7 BOX4 BOX5 BOX15 BOX6 BOX16 BOX8 BOX9 BOX0* ");

    ConfigFile saved(path_.c_str(), 1);
    ASSERT_EQ(saved.load(), 1);
    const ConfigSection* dontLog = saved.sectionByName("MAIN")->sectionByName("DONTLOG");
    ASSERT_EQ(dontLog->count(), 1);
    const ConfigValue* events = dontLog->valueByName("Event");
    ASSERT_EQ(events->count(), accountdb::kEventTypeCount);
    for (int i = 0; i < accountdb::kEventTypeCount; ++i) {
      const accountdb::EventType& type = accountdb::EventTypeTable[i];
      const ValueItem* item = events->itemByIndex(i + 1);
      EXPECT_STREQ(item->name(), std::to_string(type.id).c_str());
      EXPECT_EQ(item->getInt(), type.id == 0 || type.id == 10 ? 1 : 0) << type.id;
    }
  }
}

}  // namespace
}  // namespace gatekeeper
