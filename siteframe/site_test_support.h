// Test helper for the site programs: a settings key and an account database of the test's own,
// the server variables of a request to one site, and in-process runs of a page entry.
#ifndef GATEKEEPER_SITEFRAME_SITE_TEST_SUPPORT_H_
#define GATEKEEPER_SITEFRAME_SITE_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "configstore/config_file.h"
#include "websupport/form_fields.h"
#include "websupport/request_reader.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables_for_test.h"
#include "settings/test_settings.h"

namespace gatekeeper {

class SiteTest : public ::testing::Test {
 protected:
  explicit SiteTest(const char* scriptName) : server_(scriptName) {
    server_.set("SERVER_NAME", "alpha");
    server_.set("SERVER_PORT", "80");
  }

  // The database as the test builds it: the four sections every program expects. The test
  // adds to it, then calls save().
  ConfigFile& database() {
    if (!database_) {
      database_ = std::make_unique<ConfigFile>(path().c_str(), 1);
      database_->getOrCreateSection("MAIN")->getOrCreateSection("SERVERS");
      database_->getOrCreateSection("ACCOUNTS");
      database_->getOrCreateSection("NTACCOUNTS");
    }
    return *database_;
  }
  ConfigSection& servers() { return *database().sectionByName("MAIN")->sectionByName("SERVERS"); }
  ConfigSection& authority(const char* name) {
    return *database().getOrCreateSection("ACCOUNTS")->getOrCreateSection(name);
  }
  // Writes the database and names it in the settings key.
  void save() {
    ASSERT_EQ(database().save(), 1);
    ASSERT_TRUE(TestSettings::store("Configuration File", path()));
  }
  // The database as a run left it.
  std::unique_ptr<ConfigFile> reload() const {
    auto loaded = std::make_unique<ConfigFile>(path().c_str(), 1);
    EXPECT_EQ(loaded->load(), 1);
    return loaded;
  }
  std::string path() const { return settings_.file("accounts.cfg"); }

  // Runs entry once with Action in the query and the given form; returns the whole response.
  std::string run(PageEntry entry, const char* action, const FormFields& form = FormFields()) {
    FormFields query;
    if (action != nullptr) query.insert("Action", action);
    ResponseCapture page;
    code_ = entry(form, query, FormFields());
    return page.text();
  }

  // The text between the content cell's opening and closing tags.
  static std::string contentCell(const std::string& page) {
    const std::string open = "<td VALIGN=\"top\" BGCOLOR=\"#C0C0C0\" CLASS=\"inset\">\n";
    const std::size_t start = page.find(open);
    if (start == std::string::npos) return "<no content cell>";
    const std::size_t end = page.find("</td>\n</tr>", start);
    return page.substr(start + open.size(), end - start - open.size());
  }

  static FormFields fields(std::initializer_list<std::pair<const char*, const char*>> list) {
    FormFields form;
    for (const auto& [name, value] : list) form.insert(name, value);
    return form;
  }

  ServerVariablesForTest server_;
  TestSettings settings_;
  std::unique_ptr<ConfigFile> database_;
  int code_ = -1;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_SITEFRAME_SITE_TEST_SUPPORT_H_
