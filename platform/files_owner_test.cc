// A replacement keeps the replaced file's owner and group: the superuser saving a database
// that the web server's account owns must leave it writable by that account, and an owner
// who may not give a file away keeps at least its group.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/scratch_directory.h"

namespace gatekeeper::platform {
namespace {

constexpr uid_t kOtherUser = 65534;   // nobody
constexpr gid_t kOtherGroup = 65534;  // nogroup
constexpr gid_t kSharedGroup = 4242;  // a group of no account; nobody joins it below

struct Owner {
  uid_t uid;
  gid_t gid;
};

Owner ownerOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return {st.st_uid, st.st_gid};
}

TEST(FileOwnerTest, SuperuserSaveKeepsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser may give files away";
  ScratchDirectory dir;
  const std::string path = dir.file("accounts.cfg");
  writeWholeFile(path, "old\n");
  ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherGroup), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(replaceFile(path, "new\n"));
  EXPECT_EQ(ownerOf(path).uid, kOtherUser);
  EXPECT_EQ(ownerOf(path).gid, kOtherGroup);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(readWholeFile(path), "new\n");
}

// An account that may write the directory but not give the file to its owner still keeps the
// file in its group, where it is a member: run in a child that becomes that account.
TEST(FileOwnerTest, OwnerMayNotGiveAwayKeepsTheGroup) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs the superuser to become another account";
  ScratchDirectory dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  const std::string path = dir.file("accounts.cfg");
  writeWholeFile(path, "old\n");
  ASSERT_EQ(::chown(path.c_str(), 0, kSharedGroup), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const gid_t groups[] = {kSharedGroup};
    const bool became = ::setgroups(1, groups) == 0 && ::setgid(kOtherGroup) == 0 &&
                        ::setuid(kOtherUser) == 0;
    ::_exit(became && replaceFile(path, "new\n") ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(readWholeFile(path), "new\n");
  EXPECT_EQ(ownerOf(path).uid, kOtherUser);
  EXPECT_EQ(ownerOf(path).gid, kSharedGroup);
}

// The superuser making the lock file first leaves one that the database's owner can lock.
TEST(FileOwnerTest, LockFileMadeForTheOwnerOfTheFileItGuards) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser may give files away";
  ScratchDirectory dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string path = dir.file("accounts.cfg");
  const std::string lock = path + ".lock";
  writeWholeFile(path, "old\n");
  ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherGroup), 0);
  createLockFileOwnedLike(lock, path);
  EXPECT_EQ(ownerOf(lock).uid, kOtherUser);
  EXPECT_EQ(ownerOf(lock).gid, kOtherGroup);
  { FileLock held(lock); EXPECT_TRUE(held.isHeld()); }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool became = ::setgroups(0, nullptr) == 0 && ::setgid(kOtherGroup) == 0 &&
                        ::setuid(kOtherUser) == 0;
    ::_exit(became && FileLock(lock).isHeld() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // An existing lock file and a missing reference are left alone.
  ASSERT_EQ(::chown(lock.c_str(), 0, 0), 0);
  createLockFileOwnedLike(lock, path);
  EXPECT_EQ(ownerOf(lock).uid, 0u);
  createLockFileOwnedLike(dir.file("other.lock"), dir.file("missing.cfg"));
  struct stat st {};
  EXPECT_NE(::lstat(dir.file("other.lock").c_str(), &st), 0);
}

// A holder directory that the superuser makes beside the web server's database is the web
// server's, so that its account can empty and remove it when it breaks a crashed holder.
TEST(FileOwnerTest, DirectoryMadeForTheOwnerOfTheDirectoryItIsIn) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser may give files away";
  ScratchDirectory dir;
  ASSERT_EQ(::chown(dir.path().c_str(), kOtherUser, kOtherGroup), 0);
  const std::string holder = dir.file("accounts.cfg.holder");
  ASSERT_EQ(createNewDirectory(holder), NewFileResult::kCreated);
  EXPECT_EQ(ownerOf(holder).uid, kOtherUser);
  EXPECT_EQ(ownerOf(holder).gid, kOtherGroup);
  writeWholeFile(holder + "/line", "host=h pid=1 since=1\n");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool became = ::setgid(kOtherGroup) == 0 && ::setuid(kOtherUser) == 0;
    ::_exit(became && removeFile(holder + "/line") && removeDirectory(holder) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(std::filesystem::exists(holder));
}

}  // namespace
}  // namespace gatekeeper::platform
