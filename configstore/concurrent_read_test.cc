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

constexpr int kUsers = 3000;

void addUsers(ConfigSection* root) {
  ConfigSection* staff = root->getOrCreateSection("ACCOUNTS")->getOrCreateSection("Staff");
  for (int i = 0; i < kUsers; ++i) {
    ConfigSection* user = staff->getOrCreateSection(("user" + std::to_string(i)).c_str());
    user->setString("Password", ("pw" + std::to_string(i)).c_str());
    user->setInt("disabled", i % 2);
  }
}

// Four threads read every user of the tree at once; the number of wrong reads.
int readConcurrently(const ConfigSection& root) {
  std::atomic<int> mismatches{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&root, &mismatches, t] {
      const ConfigSection* users = root.sectionByName("accounts")->sectionByName("STAFF");
      for (int i = t; i < kUsers; i += 3) {
        const ConfigSection* user = users->sectionByName(("USER" + std::to_string(i)).c_str());
        if (user->valueByName("password")->getString() != "pw" + std::to_string(i) ||
            user->valueByName("Disabled")->getInt() != i % 2 || user->count() != 2) {
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
  return mismatches.load();
}

TEST(ConcurrentReadTest, ManyReadersOfOneTree) {
  ConfigSection root("root");
  addUsers(&root);
  EXPECT_EQ(readConcurrently(root), 0);
  EXPECT_EQ(root.sectionByName("ACCOUNTS")->sectionByName("Staff")->count(), kUsers);
}

// A loaded tree keeps its users as text until first read: readers that reach one user at once
// parse it once and all see it whole.
TEST(ConcurrentReadTest, ManyReadersOfOneLoadedTree) {
  ConfigSection built("root");
  addUsers(&built);
  std::string text;
  auto out = TextStream::forWriting(&text);
  ASSERT_EQ(built.writeContents(out.get()), 1);
  ASSERT_EQ(out->close(), 1);
  ConfigSection root("root");
  auto in = TextStream::forReading(text);
  ASSERT_EQ(root.readContents(in.get(), -1), 1);
  const ConfigSection* staff = root.sectionByName("ACCOUNTS")->sectionByName("Staff");
  ASSERT_TRUE(staff->sectionByName("user1")->keptAsText());
  EXPECT_EQ(readConcurrently(root), 0);
  std::string again;
  auto out2 = TextStream::forWriting(&again);
  ASSERT_EQ(root.writeContents(out2.get()), 1);
  ASSERT_EQ(out2->close(), 1);
  EXPECT_EQ(again, text);
}

}  // namespace
}  // namespace gatekeeper
