// Test helper for overseer's pages: an account database file of the test's own, runs of one
// action through the action table (the cross-site check included) on the database as a CGI run
// loads it, and the file's text afterwards.
#ifndef GATEKEEPER_ADMIN_PAGE_TEST_SUPPORT_H_
#define GATEKEEPER_ADMIN_PAGE_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

#include "admin/action_table.h"
#include "configstore/config_file.h"
#include "platform/scratch_directory.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables_for_test.h"

namespace gatekeeper {

using Fields = std::initializer_list<std::pair<const char*, const char*>>;

inline FormFields formFieldsOf(Fields fields) {
  FormFields form;
  for (const auto& [name, value] : fields) form.insert(name, value);
  return form;
}

// The smallest working database: the four sections every page expects, empty.
inline constexpr char kEmptyDatabase[] =
    "{ MAIN:\n    { SERVERS:\n    } SERVERS;\n} MAIN;\n{ ACCOUNTS:\n} ACCOUNTS;\n"
    "{ NTACCOUNTS:\n} NTACCOUNTS;\n";

class AdminPageTest : public ::testing::Test {
 protected:
  AdminPageTest() : path_(dir_.file("accounts.cfg")) {}

  void writeDatabase(const std::string& text) { platform::writeWholeFile(path_, text); }
  // The file as it is now, with the line ends of memory (the file is written in text mode).
  std::string fileText() const {
    std::string text = platform::readWholeFile(path_);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
  }
  std::string fileBytes() const { return platform::readWholeFile(path_); }

  // Loads the database as one CGI run does and shows the page of action with the form fields.
  std::string run(const char* action, Fields fields = {}) {
    ConfigFile database(path_.c_str(), 1);
    EXPECT_EQ(database.load(), 1) << path_;
    return runOn(database, action, fields);
  }
  // The same on a database already loaded, for several pages within one run.
  static std::string runOn(ConfigFile& database, const char* action, Fields fields = {}) {
    const FormFields form = formFieldsOf(fields);
    FormFields query;
    query.insert("Action", action);
    ResponseCapture page;
    dispatchAction(database, form, query);
    return page.text();
  }

  // Marks the next requests as sent from a page of another site (another port of the host).
  void sendFromAnotherSite() {
    server_.set("HTTP_HOST", "127.0.0.1:8081");
    server_.set("HTTP_ORIGIN", "http://127.0.0.1:9999");
  }

  ServerVariablesForTest server_;
  platform::ScratchDirectory dir_;
  std::string path_;
};

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_PAGE_TEST_SUPPORT_H_
