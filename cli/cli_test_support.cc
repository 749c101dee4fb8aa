#include "cli/cli_test_support.h"

#include <gtest/gtest.h>

namespace gatekeeper::cli {

CliTest::CliTest() {
  ConfigFile database(databasePath().c_str(), 1);
  database.getOrCreateSection("MAIN")->getOrCreateSection("SERVERS");
  ConfigSection* staff = database.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
  staff->setInt("ExpirationRequired", 1);
  ConfigSection* john = staff->getOrCreateSection("John");
  john->setString("Password", "old");
  john->setInt("DoNotMap", 0);
  john->setString("MapTo", "webuser");
  ConfigSection* mary = staff->getOrCreateSection("mary");
  mary->setString("Password", "pw");
  mary->setInt("DoNotMap", 1);
  mary->setString("expiredate", "12/31/2037");
  mary->setInt("disabled", 1);
  ConfigSection* nt = database.getOrCreateSection("NTACCOUNTS");
  nt->getOrCreateSection("webuser")->setString("Password", "nt");
  nt->getOrCreateSection("guest")->setString("Password", "nt");
  EXPECT_EQ(database.save(), 1);
  EXPECT_TRUE(TestSettings::store("Configuration File", databasePath()));
}

RunOutput CliTest::run(const std::vector<std::string>& arguments, const std::string& input,
                       std::optional<std::vector<std::string>> typed) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  auto lines = std::make_shared<std::deque<std::string>>();
  if (typed) lines->assign(typed->begin(), typed->end());
  const bool terminal = typed.has_value();
  Console console{in, out, err, [terminal] { return terminal; },
                  [lines](const char*) -> std::optional<std::string> {
                    if (lines->empty()) return std::nullopt;
                    std::string line = lines->front();
                    lines->pop_front();
                    return line;
                  }};
  const int status = runGatekeeper(arguments, console);
  return {status, out.str(), err.str()};
}

ConfigFile& CliTest::saved() {
  saved_ = std::make_unique<ConfigFile>(databasePath().c_str(), 1);
  EXPECT_EQ(saved_->load(), 1);
  return *saved_;
}

ConfigSection* CliTest::savedUser(const char* authority, const char* user) {
  return saved().sectionByName("ACCOUNTS")->sectionByName(authority)->sectionByName(user);
}

std::string CliTest::savedUsers() {
  const ConfigSection* staff = saved().sectionByName("ACCOUNTS")->sectionByName("Staff");
  std::string names;
  for (int32_t slot = 1; slot <= staff->count(); ++slot) {
    const ConfigSection* user = staff->sectionByIndex(slot);
    if (!user->isPlaceholder()) names += std::string(user->name()) + " ";
  }
  return names;
}

}  // namespace gatekeeper::cli
