// Many threads reading one tree at once, as the filter does: lookups (indexed and scanned),
// failed lookups that hand out the shared placeholders, getters and iteration. Runs under
// ThreadSanitizer too.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "configstore/config_section.h"
#include "configstore/text_stream.h"

namespace gatekeeper {
namespace {

TEST(ConcurrentReadTest, ManyReadersOfOneTree) {
  ConfigSection root("root");
  ConfigSection* staff = root.getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
  constexpr int kUsers = 3000;
  for (int i = 0; i < kUsers; ++i) {
    ConfigSection* user = staff->getOrCreateSection(("user" + std::to_string(i)).c_str());
    user->setString("Password", ("pw" + std::to_string(i)).c_str());
    user->setInt("disabled", i % 2);
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&root, &mismatches, t] {
      const ConfigSection* users = root.sectionByName("accounts")->sectionByName("STAFF");
      for (int i = t; i < kUsers; i += 3) {
        const ConfigSection* user = users->sectionByName(("USER" + std::to_string(i)).c_str());
        if (user->valueByName("password")->getString() != "pw" + std::to_string(i) ||
            user->valueByName("Disabled")->getInt() != i % 2) {
          ++mismatches;
        }
        // Missing branches read as defaults and create nothing.
        if (users->sectionByName("nobody")->valueByName("Password")->getString()[0] != '\0' ||
            user->sectionByName("none")->valueByName("x")->getInt() != 0) {
          ++mismatches;
        }
      }
      int present = 0;
      for (int32_t i = 1; i <= users->count(); ++i) present += users->getByIndex(i) != nullptr;
      if (present != kUsers) ++mismatches;
    });
  }
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(staff->count(), kUsers);
}

}  // namespace
}  // namespace gatekeeper
