#include "configstore/config_file.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "configstore/section_directory.h"
#include "platform/shared_file_copy.h"
#include "platform/system_error.h"

namespace gatekeeper {
namespace {

namespace fs = std::filesystem;

class ConfigFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = fs::temp_directory_path() / ("configstore-test-" + std::to_string(seed()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  static std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  static void put(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }
  size_t filesInDir() const {
    size_t n = 0;
    for (auto it = fs::directory_iterator(dir_); it != fs::directory_iterator(); ++it) ++n;
    return n;
  }

  fs::path dir_;
};

TEST_F(ConfigFileTest, MissingFileLoadsNothingAndSavesEmpty) {
  ConfigFile db(path("db.cfg").c_str(), 1);
  EXPECT_EQ(db.fileBacked(), 1);
  EXPECT_EQ(db.userValue(), 1);
  EXPECT_EQ(db.load(), 0);
  EXPECT_EQ(db.count(), 0);
  EXPECT_EQ(db.save(), 1);
  EXPECT_TRUE(fs::exists(path("db.cfg")));
  EXPECT_EQ(contents(path("db.cfg")), "");
  ConfigFile none(nullptr, 0);
  EXPECT_EQ(none.load(), 0);
  EXPECT_EQ(none.save(), 0);
  // A directory is no file to load.
  ConfigFile directory(dir_.string().c_str(), 1);
  EXPECT_EQ(directory.load(), 0);
  ConfigSection plain(path("plain.cfg").c_str());
  EXPECT_EQ(plain.save(), 0);
  EXPECT_EQ(plain.load(), 0);
  EXPECT_FALSE(fs::exists(path("plain.cfg")));
}

// A failure keeps its own reason, taken where it happened: the next diagnostic names it, not
// whatever the thread's last error is by then. A success clears it.
TEST_F(ConfigFileTest, FailuresKeepTheirReason) {
  const std::string missing = path("missing.cfg");
  const std::string noDirectory = path("no-dir") + "/db.cfg";
  fs::create_directory(path("a-directory"));
  put(path("cut.cfg"), "{ MAIN:\n    (int)Disable=0\n");
  const struct {
    std::string file;
    const char* sectionName;  // saved when not null; otherwise loaded
    bool complete;
    std::string reason;
  } cases[] = {
      // The system's own words, which differ between systems.
      {missing, nullptr, false, platform::readProblem(missing)},
      {path("a-directory"), nullptr, false, platform::readProblem(path("a-directory"))},
      {path("cut.cfg"), nullptr, true, "the file ends inside an open section"},
      {noDirectory, "MAIN", false, platform::readProblem(noDirectory)},
      {missing, "two\nlines", false,
       "the configuration holds a name or text that the file format cannot carry"},
  };
  for (const auto& c : cases) {
    ConfigFile file(c.file.c_str(), 1);
    EXPECT_EQ(file.lastFailure(), "");
    int result;
    if (c.sectionName != nullptr) {
      file.getOrCreateSection(c.sectionName);
      result = file.save();
    } else {
      result = c.complete ? file.loadComplete() : file.load();
    }
    EXPECT_EQ(result, 0) << c.file;
    errno = EPERM;  // a later error must not replace the reason
    EXPECT_EQ(file.lastFailure(), c.reason) << c.file;
  }
  ConfigFile file(missing.c_str(), 1);
  EXPECT_EQ(file.load(), 0);
  EXPECT_EQ(file.save(), 1);
  EXPECT_EQ(file.lastFailure(), "");
  EXPECT_EQ(file.lastSystemError(), 0);
}

TEST_F(ConfigFileTest, SaveAndLoadKeepTreeAndSlotOrder) {
  ConfigFile db(path("db.cfg").c_str(), 1);
  ConfigSection* accounts = db.getOrCreateSection("ACCOUNTS");
  accounts->getOrCreateSection("Staff")->getOrCreateSection("alice")->setString("Password", "a");
  accounts->getOrCreateSection("Staff")->getOrCreateSection("bob")->setString("Password", "b");
  accounts->getOrCreateSection("Staff")->getOrCreateSection("carol")->setString("Password", "c");
  db.getOrCreateSection("MAIN")->setInt("Disable", 0);
  db.setString("top", "value");
  // Deleting bob and adding dave puts dave into bob's slot, and the file in that order.
  accounts->sectionByName("staff")->deleteByName("bob");
  accounts->sectionByName("staff")->getOrCreateSection("dave")->setString("Password", "d");
  ASSERT_EQ(db.save(), 1);
  const std::string text = contents(path("db.cfg"));
  EXPECT_EQ(text.find("(string)top=value\r\n"), 0u);
  EXPECT_LT(text.find("alice"), text.find("dave"));
  EXPECT_LT(text.find("dave"), text.find("carol"));
  EXPECT_EQ(text.find("bob"), std::string::npos);

  ConfigFile again(path("db.cfg").c_str(), 0);
  ASSERT_EQ(again.load(), 1);
  ConfigSection* staff = again.sectionByName("accounts")->sectionByName("STAFF");
  EXPECT_STREQ(staff->sectionByIndex(2)->name(), "dave");
  EXPECT_STREQ(staff->sectionByName("carol")->valueByName("password")->getString(), "c");
  ASSERT_EQ(again.save(), 1);
  EXPECT_EQ(contents(path("db.cfg")), text);
}

TEST_F(ConfigFileTest, LoadMergesIntoWhatTheTreeHolds) {
  put(path("db.cfg"), "(int)a=1\n{ S:\n(string)x=one\n} S;\n");
  ConfigFile db(path("db.cfg").c_str(), 1);
  db.getOrCreateSection("s")->setString("kept", "yes");
  ASSERT_EQ(db.load(), 1);
  ASSERT_EQ(db.load(), 1);
  EXPECT_EQ(db.valueByName("a")->count(), 2);
  ConfigSection* s = db.sectionByName("S");
  EXPECT_STREQ(s->valueByName("kept")->getString(), "yes");
  EXPECT_EQ(s->valueByName("x")->count(), 2);
  EXPECT_STREQ(s->valueByName("x")->getString(), "one");
  EXPECT_EQ(db.count(), 2);
}

// A file caught half-written ends inside an open section; only a cut between whole top-level
// sections (or in the root's own values) cannot be told from a whole file. The server's load
// and the load of a program that may save refuse it alike.
TEST_F(ConfigFileTest, LoadCompleteAndLoadWholeRefuseAFileThatEndsInsideASection) {
  const std::string whole =
      "(int)a=1\n{ MAIN:\n    { SERVERS:\n        (string)intranet=Staff\n    } SERVERS;\n"
      "} MAIN;\n{ ACCOUNTS:\n} ACCOUNTS;\n";
  struct Case {
    std::string text;
    int result;
  };
  const Case cases[] = {
      {whole, 1},
      {"", 1},
      {whole.substr(0, whole.find("{ ACCOUNTS")), 1},
      {whole.substr(0, whole.find("    } SERVERS")), 0},
      {whole.substr(0, whole.find("} MAIN;")), 0},
      {whole.substr(0, whole.find("} ACCOUNTS;") + 5), 0},  // cut inside the closing line
      {whole.substr(0, whole.size() - 1), 1},                // only the last line end missing
  };
  for (const Case& c : cases) {
    put(path("db.cfg"), c.text);
    ConfigFile db(path("db.cfg").c_str(), 0);
    EXPECT_EQ(db.loadComplete(), c.result) << c.text;
    ConfigFile checked(path("db.cfg").c_str(), 0);
    EXPECT_EQ(checked.loadWhole(), c.result) << c.text;
    EXPECT_EQ(checked.lastFailure(), c.result ? "" : "the file ends inside an open section");
    // What was read is in the tree either way, as load() would leave it.
    ConfigFile plain(path("db.cfg").c_str(), 0);
    ASSERT_EQ(plain.load(), 1);
    EXPECT_EQ(db.count(), plain.count()) << c.text;
    EXPECT_EQ(checked.count(), plain.count()) << c.text;
  }
  ConfigFile missing(path("missing.cfg").c_str(), 0);
  EXPECT_EQ(missing.loadComplete(), 0);
  EXPECT_EQ(missing.loadWhole(), 0);
  EXPECT_EQ(missing.lastFailure(), platform::readProblem(path("missing.cfg")));
}

// A large file is read through the copy that the processes reading it share: the server's
// load makes it, a later reader maps it, and both read and write back exactly the file.
TEST_F(ConfigFileTest, ALargeFileReadsTheSameThroughItsSharedCopy) {
  if (platform::SharedFileCopy::directory().empty()) GTEST_SKIP() << "no shared copies here";
  std::string text = "{ ACCOUNTS:\r\n    { Staff:\r\n";
  for (int user = 0; text.size() <= platform::SharedFileCopy::kSmallestShared; ++user) {
    const std::string name = "user" + std::to_string(user);
    text += "        { " + name + ":\r\n            (string)Password=pw" + std::to_string(user) +
            "\r\n            (int)disabled=0\r\n        } " + name + ";\r\n";
  }
  text += "    } Staff;\r\n} ACCOUNTS;\r\n";
  const std::string file = path("large.cfg");
  put(file, text);
  auto copies = [&] {
    std::vector<fs::path> found;
    const std::string prefix = platform::SharedFileCopy::namePrefix(file);
    for (const auto& entry : fs::directory_iterator(platform::SharedFileCopy::directory())) {
      if (entry.path().filename().string().rfind(prefix, 0) == 0) found.push_back(entry.path());
    }
    return found;
  };
  // The copies go however the test ends.
  struct RemoveCopies {
    std::function<std::vector<fs::path>()> find;
    ~RemoveCopies() {
      for (const fs::path& copy : find()) fs::remove(copy);
    }
  } removeCopies{copies};

  ConfigFile other(file.c_str(), 0);
  ASSERT_EQ(other.load(), 1);  // a program's load maps a copy only when there is one
  EXPECT_TRUE(copies().empty());
  ConfigFile server(file.c_str(), 0);
  ASSERT_EQ(server.loadComplete(), 1);
  ASSERT_EQ(copies().size(), 1u);
  ConfigFile reader(file.c_str(), 0);
  ASSERT_EQ(reader.load(), 1);
  for (ConfigFile* database : {&server, &reader}) {
    const ConfigSection* staff = database->sectionByName("ACCOUNTS")->sectionByName("Staff");
    EXPECT_STREQ(staff->sectionByName("user7")->valueByName("Password")->getString(), "pw7");
    EXPECT_EQ(database->saveAs(path("again.cfg").c_str()), 1);
    EXPECT_EQ(contents(path("again.cfg")), text);
  }
}

// A large authority stays text in the server's load: the copy that the first load makes
// carries its directory, every later load maps it, and users are read from their lines. An
// authority that the directory cannot describe (a user given twice) is parsed at the load.
TEST_F(ConfigFileTest, ALargeAuthorityIsFoundThroughTheDirectoryThatItsCopyCarries) {
  if (platform::SharedFileCopy::directory().empty()) GTEST_SKIP() << "no shared copies here";
  constexpr size_t kLarge = 1024 * 1024;
  std::string users;
  for (int user = 0; users.size() <= platform::SharedFileCopy::kSmallestShared; ++user) {
    const std::string name = "user" + std::to_string(user);
    users += "        { " + name + ":\r\n            (string)Password=pw" +
             std::to_string(user) + "\r\n            (string)expiredate=\r\n        } " + name +
             ";\r\n";
  }
  const std::string repeated = "        { USER7:\r\n            (int)disabled=1\r\n        } USER7;\r\n";
  for (const bool qualifies : {true, false}) {
    SCOPED_TRACE(qualifies ? "plain users" : "a user given twice");
    const std::string text = "{ ACCOUNTS:\r\n    { Staff:\r\n" + users +
                             (qualifies ? "" : repeated) + "    } Staff;\r\n} ACCOUNTS;\r\n";
    const std::string file = path(qualifies ? "large.cfg" : "repeated.cfg");
    put(file, text);
    struct RemoveCopies {
      std::string prefix;
      ~RemoveCopies() {
        for (const auto& entry : fs::directory_iterator(platform::SharedFileCopy::directory())) {
          if (entry.path().filename().string().rfind(prefix, 0) == 0) fs::remove(entry.path());
        }
      }
    } removeCopies{platform::SharedFileCopy::namePrefix(file)};

    for (const char* load : {"makes the copy", "maps it"}) {
      SCOPED_TRACE(load);
      ConfigFile server(file.c_str(), 0);
      ASSERT_EQ(server.loadComplete(kLarge), 1);
      const SectionDirectories directories = SectionDirectories::ofLoadedTree(server);
      const ConfigSection* staff = server.sectionByName("ACCOUNTS")->sectionByName("Staff");
      const SectionDirectory* directory = directories.forSection(*staff);
      EXPECT_EQ(staff->keptAsText(), qualifies);
      ASSERT_EQ(directory != nullptr, qualifies);
      if (directory != nullptr) {
        PlainChild user;
        ASSERT_EQ(directory->find("USER7", &user), SectionDirectory::Lookup::kFound);
        EXPECT_EQ(user.name(), "user7");
        EXPECT_EQ(user.getString("password"), "pw7");
        EXPECT_FALSE(user.hasValue("expiredate"));  // an empty text reads as no value
        EXPECT_EQ(directory->find("user7x", &user), SectionDirectory::Lookup::kAbsent);
        EXPECT_TRUE(staff->keptAsText());  // nothing parsed it
      } else {
        EXPECT_EQ(staff->sectionByName("user7")->valueByName("disabled")->getInt(), 1);
      }
      if (std::string(load) != "maps it") continue;
      // Saved (as a backup is), it writes what a program's load and save write.
      EXPECT_EQ(server.saveAs(path("again.cfg").c_str()), 1);
      ConfigFile program(file.c_str(), 0);
      ASSERT_EQ(program.load(), 1);
      ASSERT_EQ(program.saveAs(path("expected.cfg").c_str()), 1);
      EXPECT_EQ(contents(path("again.cfg")), contents(path("expected.cfg")));
    }
  }
}

TEST_F(ConfigFileTest, SaveAsLeavesTheFirstFileUntouched) {
  put(path("live.cfg"), "(int)a=1\r\n");
  ConfigFile db(path("live.cfg").c_str(), 0);
  ASSERT_EQ(db.load(), 1);
  db.setInt("b", 2);
  ASSERT_EQ(db.saveAs(path("backup.cfg").c_str()), 1);
  EXPECT_STREQ(db.path(), path("backup.cfg").c_str());
  EXPECT_EQ(contents(path("live.cfg")), "(int)a=1\r\n");
  EXPECT_EQ(contents(path("backup.cfg")), "(int)a=1\r\n(int)b=2\r\n");
  EXPECT_EQ(db.saveAs(""), 0);
}

TEST_F(ConfigFileTest, FailedSaveLeavesThePreviousFileExactlyAsItWas) {
  const std::string original = "(string)Password=secret\r\n";
  put(path("db.cfg"), original);
  ConfigFile db(path("db.cfg").c_str(), 1);
  ASSERT_EQ(db.load(), 1);
  // A text the format cannot carry fails the save half way through.
  db.getOrCreateSection("A")->setString("ok", "fine");
  db.getOrCreateSection("B")->setString("bad", "two\r\nlines");
  EXPECT_EQ(db.save(), 0);
  EXPECT_EQ(contents(path("db.cfg")), original);
  EXPECT_EQ(filesInDir(), 1u);  // no temporary file left behind
#ifndef _WIN32
  // A target that cannot be replaced (a directory) fails. (Wine's rename replaces an empty
  // directory, which Windows itself refuses.)
  fs::create_directories(path("dir.cfg"));
  ConfigFile onDirectory(path("dir.cfg").c_str(), 1);
  EXPECT_EQ(onDirectory.save(), 0);
  EXPECT_TRUE(fs::is_directory(path("dir.cfg")));
#endif
  // So does a missing directory.
  ConfigFile nowhere(path("missing/db.cfg").c_str(), 1);
  EXPECT_EQ(nowhere.save(), 0);
  EXPECT_FALSE(fs::exists(path("missing")));
}

TEST_F(ConfigFileTest, EmptyStringsAndEmptyBlocksAreDroppedBySaveAndLoad) {
  ConfigFile db(path("db.cfg").c_str(), 1);
  db.setString("empty", "");
  db.setBinary("none", nullptr, 0);
  db.setString("kept", "x");
  db.valueByName("empty")->setInt(3);  // a node with another item survives
  ASSERT_EQ(db.save(), 1);
  ConfigFile back(path("db.cfg").c_str(), 1);
  ASSERT_EQ(back.load(), 1);
  EXPECT_EQ(back.valueByName("none"), nullValue());
  EXPECT_EQ(back.valueByName("empty")->count(), 1);
  EXPECT_EQ(back.valueByName("empty")->getInt(), 3);
  EXPECT_STREQ(back.valueByName("kept")->getString(), "x");
}

TEST_F(ConfigFileTest, ReaderAcceptsLfAndCrLfAlike) {
  put(path("lf.cfg"), "{ MAIN:\n    (string)log=a b\n} MAIN;\n");
  put(path("crlf.cfg"), "{ MAIN:\r\n    (string)log=a b\r\n} MAIN;\r\n");
  ConfigFile lf(path("lf.cfg").c_str(), 0), crlf(path("crlf.cfg").c_str(), 0);
  ASSERT_EQ(lf.load(), 1);
  ASSERT_EQ(crlf.load(), 1);
  EXPECT_STREQ(lf.sectionByName("MAIN")->valueByName("log")->getString(), "a b");
  EXPECT_STREQ(crlf.sectionByName("MAIN")->valueByName("log")->getString(), "a b");
}

#ifndef _WIN32
TEST_F(ConfigFileTest, ReadOnlyDirectoryRefusesTheSave) {
  put(path("db.cfg"), "(int)a=1\r\n");
  ConfigFile db(path("db.cfg").c_str(), 1);
  ASSERT_EQ(db.load(), 1);
  db.setInt("b", 2);
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  const bool writable = static_cast<bool>(std::ofstream(path("probe")));
  if (writable) {
    fs::permissions(dir_, fs::perms::owner_all);
    GTEST_SKIP() << "this process writes into read-only directories (superuser)";
  }
  EXPECT_EQ(db.save(), 0);
  fs::permissions(dir_, fs::perms::owner_all);
  EXPECT_EQ(contents(path("db.cfg")), "(int)a=1\r\n");
  EXPECT_EQ(filesInDir(), 1u);
}

TEST_F(ConfigFileTest, NewFilesAreOwnerOnlyAndExistingPermissionsAreKept) {
  ConfigFile db(path("db.cfg").c_str(), 1);
  db.setString("Password", "secret");
  ASSERT_EQ(db.save(), 1);
  EXPECT_EQ(fs::status(path("db.cfg")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(path("db.cfg"), fs::perms::owner_read | fs::perms::owner_write |
                                      fs::perms::group_read);
  ASSERT_EQ(db.save(), 1);
  EXPECT_EQ(fs::status(path("db.cfg")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
#endif

}  // namespace
}  // namespace gatekeeper
