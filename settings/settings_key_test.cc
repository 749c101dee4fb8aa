#include "settings/settings_key.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/environment.h"
#include "platform/scratch_directory.h"

// The tests set up values that the key itself never writes (0 bytes, no terminating zero), so
// they reach the store directly: the registry on Windows, the value files elsewhere.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace gatekeeper {
namespace {

using platform::readWholeFile;
using platform::writeWholeFile;

// Each test works on a key of its own below a test-only parent key. Outside Windows the
// registry root is a scratch directory; on Windows the keys lie in the real registry and are
// deleted afterwards.
class SettingsKeyTest : public testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(::getpid());
    previousRoot_ = platform::environmentVariable("GATEKEEPER_REGISTRY");
    platform::setEnvironmentVariable("GATEKEEPER_REGISTRY", scratch_.path().string().c_str());
#endif
    parent_ = "Software\\Kestrel Gatekeeper Tests\\" + std::to_string(process) + "-" +
              std::to_string(counter++);
    path_ = parent_ + "\\Kestrel\\Gatekeeper (Text)";
  }

  void TearDown() override {
#ifdef _WIN32
    RegDeleteTreeA(HKEY_CURRENT_USER, parent_.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, parent_.c_str());
#else
    platform::setEnvironmentVariable("GATEKEEPER_REGISTRY",
                                     previousRoot_ ? previousRoot_->c_str() : nullptr);
#endif
  }

  // Stores the bytes of a value exactly as given, creating the key.
  void putRawValue(const char* name, const std::string& bytes) {
    SettingsKey key;
    ASSERT_TRUE(key.openForWriting(RegistryRoot::kCurrentUser, path_.c_str()));
#ifdef _WIN32
    HKEY raw;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_SET_VALUE, &raw),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(raw, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(raw);
#else
    writeWholeFile(valueFile(name), bytes);
#endif
  }

  // The bytes stored for a value; nullopt when it does not exist.
  std::optional<std::string> rawValue(const char* name) {
#ifdef _WIN32
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, path_.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND,
                     nullptr, data, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return std::string(data, size);
#else
    if (!std::filesystem::exists(valueFile(name))) return std::nullopt;
    return readWholeFile(valueFile(name));
#endif
  }

#ifndef _WIN32
  std::filesystem::path keyDirectory() const {
    std::filesystem::path directory = scratch_.path() / "HKEY_CURRENT_USER";
    std::string rest = path_;
    for (std::size_t at; (at = rest.find('\\')) != std::string::npos; rest.erase(0, at + 1)) {
      directory /= rest.substr(0, at);
    }
    return directory / rest;
  }
  std::string valueFile(const char* name) const { return (keyDirectory() / name).string(); }

  platform::ScratchDirectory scratch_;
  std::optional<std::string> previousRoot_;
#endif
  std::string parent_;
  std::string path_;
};

TEST_F(SettingsKeyTest, MissingKeyOpensForNothing) {
  SettingsKey key;
  EXPECT_FALSE(key.openForReading(RegistryRoot::kCurrentUser, path_.c_str()));
  EXPECT_FALSE(key.isOpen());
  EXPECT_FALSE(key.readString(kConfigurationFileValue));
  EXPECT_FALSE(key.writeString(kConfigurationFileValue, "C:\\db.cfg"));
  EXPECT_FALSE(rawValue(kConfigurationFileValue));
}

TEST_F(SettingsKeyTest, OpenForWritingCreatesTheWholePathAndStoresTheZero) {
  {
    SettingsKey key;
    ASSERT_TRUE(key.openForWriting(RegistryRoot::kCurrentUser, path_.c_str()));
    EXPECT_TRUE(key.isOpen());
    EXPECT_TRUE(key.writeString(kConfigurationFileValue, "C:\\Data\\accounts.cfg"));
    EXPECT_TRUE(key.writeString(kBackupDirectoryValue, ""));
  }
  EXPECT_EQ(rawValue(kConfigurationFileValue), std::string("C:\\Data\\accounts.cfg\0", 21));
  EXPECT_EQ(rawValue(kBackupDirectoryValue), std::string("\0", 1));

  SettingsKey key;
  ASSERT_TRUE(key.openForReading(RegistryRoot::kCurrentUser, path_.c_str()));
  EXPECT_EQ(key.readString(kConfigurationFileValue), "C:\\Data\\accounts.cfg");
  EXPECT_EQ(key.readString(kBackupDirectoryValue), "");
  EXPECT_FALSE(key.readString("No such value"));
}

TEST_F(SettingsKeyTest, StoredBytesDecideWhatReads) {
  putRawValue("Empty", std::string());
  putRawValue("Only zero", std::string("\0", 1));
  putRawValue("Unterminated", "D:\\db.cfg");
  putRawValue("Trailing", std::string("E:\\db.cfg\0garbage\0", 18));
  SettingsKey key;
  ASSERT_TRUE(key.openForReading(RegistryRoot::kCurrentUser, path_.c_str()));
  EXPECT_EQ(key.readString("Empty"), std::nullopt);
  EXPECT_EQ(key.readString("Only zero"), "");
  EXPECT_EQ(key.readString("Unterminated"), "D:\\db.cfg");
  EXPECT_EQ(key.readString("Trailing"), "E:\\db.cfg");
}

TEST_F(SettingsKeyTest, OnlyAKeyOpenedForWritingAcceptsWrites) {
  putRawValue(kConfigurationFileValue, std::string("old.cfg\0", 8));
  SettingsKey key;
  ASSERT_TRUE(key.openForReading(RegistryRoot::kCurrentUser, path_.c_str()));
  EXPECT_FALSE(key.writeString(kConfigurationFileValue, "new.cfg"));
  EXPECT_FALSE(key.writeString("Fresh", "x"));
  EXPECT_EQ(rawValue(kConfigurationFileValue), std::string("old.cfg\0", 8));
  EXPECT_FALSE(rawValue("Fresh"));

  // Reopening for writing replaces the value whole, longer or shorter.
  ASSERT_TRUE(key.openForWriting(RegistryRoot::kCurrentUser, path_.c_str()));
  EXPECT_TRUE(key.writeString(kConfigurationFileValue, "a-much-longer-name.cfg"));
  EXPECT_TRUE(key.writeString(kConfigurationFileValue, "n.cfg"));
  EXPECT_EQ(rawValue(kConfigurationFileValue), std::string("n.cfg\0", 6));
  // Reopening for reading drops the right to write.
  ASSERT_TRUE(key.openForReading(RegistryRoot::kCurrentUser, path_.c_str()));
  EXPECT_FALSE(key.writeString(kConfigurationFileValue, "x.cfg"));
  EXPECT_EQ(key.readString(kConfigurationFileValue), "n.cfg");
}

TEST_F(SettingsKeyTest, ClosedKeyNeitherReadsNorWrites) {
  putRawValue(kConfigurationFileValue, std::string("db.cfg\0", 7));
  SettingsKey key;
  ASSERT_TRUE(key.openForWriting(RegistryRoot::kCurrentUser, path_.c_str()));
  key.close();
  EXPECT_FALSE(key.isOpen());
  EXPECT_FALSE(key.readString(kConfigurationFileValue));
  EXPECT_FALSE(key.writeString(kConfigurationFileValue, "other.cfg"));
  key.close();  // closing twice is harmless
  EXPECT_EQ(rawValue(kConfigurationFileValue), std::string("db.cfg\0", 7));
}

// A text with a zero byte inside would read back cut short, naming another file.
TEST_F(SettingsKeyTest, TextWithAZeroByteIsRefused) {
  SettingsKey key;
  ASSERT_TRUE(key.openForWriting(RegistryRoot::kCurrentUser, path_.c_str()));
  ASSERT_TRUE(key.writeString(kConfigurationFileValue, "db.cfg"));
  EXPECT_FALSE(key.writeString(kConfigurationFileValue, std::string_view("C:\\db\0.cfg", 10)));
  EXPECT_EQ(key.readString(kConfigurationFileValue), "db.cfg");
}

#ifndef _WIN32
// A fresh installation: not even the registry root exists yet.
TEST_F(SettingsKeyTest, WritingCreatesAMissingRegistryRoot) {
  const std::string root = scratch_.file("fresh/registry");
  platform::setEnvironmentVariable("GATEKEEPER_REGISTRY", root.c_str());
  SettingsKey key;
  ASSERT_TRUE(key.openForWriting(RegistryRoot::kLocalMachine, path_.c_str()));
  ASSERT_TRUE(key.writeString(kConfigurationFileValue, "/srv/db.cfg"));
  SettingsKey reader;
  ASSERT_TRUE(reader.openForReading(RegistryRoot::kLocalMachine, path_.c_str()));
  EXPECT_EQ(reader.readString(kConfigurationFileValue), "/srv/db.cfg");
}
#endif

TEST_F(SettingsKeyTest, LocalMachineRootIsItsOwnTree) {
  SettingsKey key;
  if (!key.openForWriting(RegistryRoot::kLocalMachine, path_.c_str())) {
    GTEST_SKIP() << "writing below HKEY_LOCAL_MACHINE needs administrative rights";
  }
  ASSERT_TRUE(key.writeString(kConfigurationFileValue, "machine.cfg"));
  key.close();
  EXPECT_FALSE(key.openForReading(RegistryRoot::kCurrentUser, path_.c_str()));
  ASSERT_TRUE(key.openForReading(RegistryRoot::kLocalMachine, path_.c_str()));
  EXPECT_EQ(key.readString(kConfigurationFileValue), "machine.cfg");
}

#ifndef _WIN32
// The settings of the whole system: the default root key and path under the registry root.
TEST_F(SettingsKeyTest, DefaultKeyLiesWhereTheDocumentationSays) {
  SettingsKey key;
  EXPECT_FALSE(key.openForReading());
  ASSERT_TRUE(key.openForWriting());
  ASSERT_TRUE(key.writeString(kConfigurationFileValue, "/srv/accounts.cfg"));
  const std::filesystem::path value = scratch_.path() / "HKEY_LOCAL_MACHINE" / "Software" /
                                      "Kestrel" / "Gatekeeper (Text)" / "Configuration File";
  EXPECT_EQ(readWholeFile(value.string()), std::string("/srv/accounts.cfg\0", 18));
  // Readable by the programs that run under other accounts; no temporary file left beside it.
  struct stat st;
  ASSERT_EQ(::stat(value.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(value.parent_path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

// Names that would lead out of the key's directory are not keys or values.
TEST_F(SettingsKeyTest, NamesCannotLeaveTheKey) {
  putRawValue(kConfigurationFileValue, std::string("db.cfg\0", 7));
  SettingsKey key;
  EXPECT_FALSE(key.openForWriting(RegistryRoot::kCurrentUser, "Software\\..\\..\\escape"));
  EXPECT_FALSE(key.openForWriting(RegistryRoot::kCurrentUser, "Software\\a/b"));
  EXPECT_FALSE(key.openForWriting(RegistryRoot::kCurrentUser, "Software\\\\Kestrel"));
  EXPECT_FALSE(key.openForWriting(RegistryRoot::kCurrentUser, ""));
  EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "escape"));

  ASSERT_TRUE(key.openForWriting(RegistryRoot::kCurrentUser, path_.c_str()));
  EXPECT_FALSE(key.writeString("../Configuration File", "evil.cfg"));
  EXPECT_FALSE(key.writeString("..", "evil.cfg"));
  EXPECT_FALSE(key.writeString("", "evil.cfg"));
  EXPECT_FALSE(key.readString("../Gatekeeper (Text)/Configuration File"));
  EXPECT_FALSE(key.readString("."));
  EXPECT_EQ(key.readString(kConfigurationFileValue), "db.cfg");
}

TEST_F(SettingsKeyTest, UnreadableDirectoryIsNotAnOpenKey) {
  putRawValue(kConfigurationFileValue, std::string("db.cfg\0", 7));
  ASSERT_EQ(::chmod(keyDirectory().c_str(), 0), 0);
  SettingsKey key;
  const bool opened = key.openForReading(RegistryRoot::kCurrentUser, path_.c_str());
  ::chmod(keyDirectory().c_str(), 0755);
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every directory";
  EXPECT_FALSE(opened);
}
#endif

}  // namespace
}  // namespace gatekeeper
