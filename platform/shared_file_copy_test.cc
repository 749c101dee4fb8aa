#include "platform/shared_file_copy.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/scratch_directory.h"

namespace gatekeeper::platform {
namespace {

namespace fs = std::filesystem;

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A text of a shared copy's size, different for each seed.
std::string largeText(char seed) {
  std::string text(SharedFileCopy::kSmallestShared + 100, seed);
  text.replace(0, 5, "first");
  text.replace(text.size() - 4, 4, "last");
  return text;
}

// This user's copies of the file at path, by name.
std::vector<std::string> copiesOf(const std::string& path) {
  std::vector<std::string> names;
  const std::string prefix = SharedFileCopy::namePrefix(path);
  for (const auto& entry : fs::directory_iterator(SharedFileCopy::directory())) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  return names;
}

class SharedFileCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (SharedFileCopy::directory().empty()) GTEST_SKIP() << "no shared copies here";
    path_ = (fs::path(scratch_.path()) / "accounts.cfg").string();
  }
  void TearDown() override {
    if (path_.empty()) return;
    for (const std::string& name : copiesOf(path_)) {
      fs::remove(fs::path(SharedFileCopy::directory()) / name);
    }
  }

  ScratchDirectory scratch_;
  std::string path_;
};

TEST_F(SharedFileCopyTest, ProcessesShareOneCopyPerVersion) {
  writeFile(path_, std::string(1000, 'x'));
  EXPECT_EQ(SharedFileCopy::open(path_, true), nullptr);  // small: read by each process
  EXPECT_TRUE(copiesOf(path_).empty());

  const std::string first = largeText('a');
  writeFile(path_, first);
  EXPECT_EQ(SharedFileCopy::open(path_, false), nullptr);  // only maps: none made yet
  const auto one = SharedFileCopy::open(path_, true);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->text(), first);
  const auto two = SharedFileCopy::open(path_, false);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(two->text(), first);
  ASSERT_EQ(copiesOf(path_).size(), 1u);
  // Nobody writes a copy, not even its maker.
  EXPECT_EQ(fs::status(fs::path(SharedFileCopy::directory()) / copiesOf(path_)[0]).permissions(),
            fs::perms::owner_read);

  // A new version (replaced as the writers replace it): a new copy, and the old one's name
  // goes while its mapping keeps the old bytes.
  const std::string second = largeText('b');
  writeFile(path_ + ".new", second);
  fs::rename(path_ + ".new", path_);
  const auto three = SharedFileCopy::open(path_, true);
  ASSERT_NE(three, nullptr);
  EXPECT_EQ(three->text(), second);
  EXPECT_EQ(copiesOf(path_).size(), 1u);
  EXPECT_EQ(one->text(), first);

  // Rewritten in place: the copies never change under their readers.
  writeFile(path_, largeText('c'));
  EXPECT_EQ(three->text(), second);
}

TEST_F(SharedFileCopyTest, ACopyThatIsNotWholeOrNotOwnedIsMadeAgain) {
  const std::string text = largeText('d');
  writeFile(path_, text);
  {
    ASSERT_NE(SharedFileCopy::open(path_, true), nullptr);
  }
  const fs::path copy = fs::path(SharedFileCopy::directory()) / copiesOf(path_).at(0);
  const std::vector<std::pair<const char*, std::function<void()>>> spoilers = {
      {"cut short", [&] { fs::resize_file(copy, 10); }},
      // Whole but open to writers: its bytes cannot be trusted (here they were changed).
      {"writable",
       [&] {
         writeFile(copy.string(), largeText('w'));
         fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
       }},
      {"readable by others",
       [&] {
         writeFile(copy.string(), largeText('r'));
         fs::permissions(copy, fs::perms::owner_read | fs::perms::others_read);
       }},
      {"a link to another file",
       [&] {
         fs::remove(copy);
         writeFile(path_ + ".other", largeText('e'));
         fs::create_symlink(path_ + ".other", copy);
       }},
  };
  for (const auto& [what, spoil] : spoilers) {
    SCOPED_TRACE(what);
    fs::permissions(copy, fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow);
    spoil();
    const auto reopened = SharedFileCopy::open(path_, true);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->text(), text);
    EXPECT_FALSE(fs::is_symlink(copy));
  }
}

// The appendix is made once, by the maker, from the copy's text, and read by every process
// that maps the copy; a trailer that does not match the copy's size makes the copy anew.
TEST_F(SharedFileCopyTest, AnAppendixIsMadeOnceAndTravelsWithTheCopy) {
  const std::string text = largeText('f');
  writeFile(path_, text);
  int made = 0;
  const SharedFileCopy::AppendixMaker maker = [&](std::string_view copied) {
    ++made;
    EXPECT_EQ(copied, text);
    std::string appendix = "index of ";
    appendix += copied.substr(0, 5);
    BlockArray<char> bytes;
    EXPECT_TRUE(bytes.append(appendix.data(), appendix.size()));
    return bytes;
  };
  const auto one = SharedFileCopy::open(path_, true, maker);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->text(), text);
  EXPECT_EQ(one->appendix(), "index of first");
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(one->appendix().data()) % 8, 0u);
  const auto two = SharedFileCopy::open(path_, true, maker);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(two->appendix(), "index of first");
  const auto mapped = SharedFileCopy::open(path_, false);
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(mapped->text(), text);
  EXPECT_EQ(mapped->appendix(), "index of first");
  EXPECT_EQ(made, 1);
  EXPECT_EQ(copiesOf(path_).size(), 1u);  // the lock file of its making is gone too

  // The appendix's length spoiled: the copy is not used, and the maker makes it again.
  const fs::path copy = fs::path(SharedFileCopy::directory()) / copiesOf(path_).at(0);
  fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
  {
    std::fstream out(copy, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(-16, std::ios::end);
    out.put('\x7f');
  }
  fs::permissions(copy, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(SharedFileCopy::open(path_, false), nullptr);
  const auto remade = SharedFileCopy::open(path_, true, maker);
  ASSERT_NE(remade, nullptr);
  EXPECT_EQ(remade->appendix(), "index of first");
  EXPECT_EQ(made, 2);

  // A copy made without an appendix (by a reader that gives none) serves the readers that ask
  // for none; one that asks for an appendix makes the copy again, with it.
  fs::remove(copy);
  const auto bare = SharedFileCopy::open(path_, true);
  ASSERT_NE(bare, nullptr);
  EXPECT_TRUE(bare->appendix().empty());
  const auto withAppendix = SharedFileCopy::open(path_, true, maker);
  ASSERT_NE(withAppendix, nullptr);
  EXPECT_EQ(withAppendix->appendix(), "index of first");
  EXPECT_EQ(made, 3);
  EXPECT_EQ(bare->text(), text);  // the first copy's mapping keeps its bytes
}

// A process running as root (Apache's parent) shares the copies of the database file's owner
// (the server's user, whose processes read the same file): it makes them as theirs and maps
// the ones they made, so that it keeps no copy of its own.
TEST_F(SharedFileCopyTest, RootSharesTheCopiesOfTheFilesOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  constexpr uid_t kServerUser = 4242;
  const std::string text = largeText('g');
  writeFile(path_, text);
  ASSERT_EQ(::chown(path_.c_str(), kServerUser, static_cast<gid_t>(-1)), 0);
  EXPECT_NE(SharedFileCopy::namePrefix(path_).find("-4242-"), std::string::npos);
  const auto made = SharedFileCopy::open(path_, true);
  ASSERT_NE(made, nullptr);
  ASSERT_EQ(copiesOf(path_).size(), 1u);
  const fs::path copy = fs::path(SharedFileCopy::directory()) / copiesOf(path_)[0];
  struct stat st;
  ASSERT_EQ(::stat(copy.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kServerUser);
  const auto mapped = SharedFileCopy::open(path_, false);
  ASSERT_NE(mapped, nullptr);
  EXPECT_EQ(mapped->text(), text);
}

}  // namespace
}  // namespace gatekeeper::platform
