#include "platform/files.h"

#include "platform/append_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

#include "platform/scratch_directory.h"

namespace gatekeeper::platform {
namespace {

std::size_t entriesIn(const std::filesystem::path& directory) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    (void)entry;
    ++count;
  }
  return count;
}

#ifdef _WIN32
const std::string kEol = "\r\n";
#else
const std::string kEol = "\n";
#endif

TEST(LastWriteTimeTest, MissingFileLeavesResultUnchanged) {
  ScratchDirectory dir;
  std::int64_t stamp = 42;
  EXPECT_FALSE(lastWriteTime(dir.file("absent.cfg"), &stamp));
  EXPECT_FALSE(lastWriteTime("", &stamp));
  EXPECT_EQ(stamp, 42);
}

TEST(LastWriteTimeTest, FollowsTheWallClockAndEveryRewrite) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  writeWholeFile(path, "[MAIN]\n");
  std::int64_t first = 0;
  ASSERT_TRUE(lastWriteTime(path, &first));
  // 100 ns ticks since 1601: the Unix epoch lies 11644473600 s after it.
  const auto unixSeconds = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  const std::int64_t nowTicks = (unixSeconds + 11644473600LL) * 10000000LL;
  EXPECT_LT(std::llabs(first - nowTicks), 60LL * 10000000LL);

  sleepMilliseconds(30);
  ASSERT_TRUE(replaceFile(path, "[MAIN]\n[ACCOUNTS]\n"));
  std::int64_t second = 0;
  ASSERT_TRUE(lastWriteTime(path, &second));
  EXPECT_GT(second, first);
}

// Replacements made back to back, with no clock tick between them, are still new versions.
TEST(FileVersionTest, EveryReplacementIsANewVersion) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  FileVersion unchanged;
  unchanged.size = 7;
  EXPECT_FALSE(fileVersion(dir.file("absent.cfg"), &unchanged));
  EXPECT_EQ(unchanged.size, 7u);

  ASSERT_TRUE(replaceFile(path, "one\n"));
  FileVersion previous;
  ASSERT_TRUE(fileVersion(path, &previous));
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(replaceFile(path, "one\n"));  // same size, same content
    FileVersion next;
    ASSERT_TRUE(fileVersion(path, &next));
    EXPECT_FALSE(next == previous) << "replacement " << i;
    previous = next;
  }
  FileVersion again;
  ASSERT_TRUE(fileVersion(path, &again));
  EXPECT_TRUE(again == previous);
}

TEST(ReadFileContentsTest, ReadsRegularFilesWhole) {
  ScratchDirectory dir;
  std::string contents = "stale";
  EXPECT_FALSE(readFileContents(dir.file("absent"), &contents));
  EXPECT_TRUE(contents.empty());
  EXPECT_FALSE(readFileContents(dir.path().string(), &contents));  // a directory
  std::string big(200000, 'x');
  big[123456] = '\0';
  writeWholeFile(dir.file("big"), big);
  ASSERT_TRUE(readFileContents(dir.file("big"), &contents));
  EXPECT_EQ(contents, big);

  // Into a block: a file larger than a small block lands whole, an empty one reads as empty.
  const std::string large(3 * MemoryBlock::kPageBlockSize + 5, 'y');
  writeWholeFile(dir.file("large"), large);
  writeWholeFile(dir.file("empty"), "");
  MemoryBlock block;
  std::size_t length = 99;
  ASSERT_TRUE(readFileContents(dir.file("large"), &block, &length));
  EXPECT_EQ(std::string(block.data(), length), large);
  ASSERT_TRUE(readFileContents(dir.file("empty"), &block, &length));
  EXPECT_EQ(length, 0u);
  EXPECT_FALSE(readFileContents(dir.file("absent"), &block, &length));
  EXPECT_FALSE(block);
  EXPECT_EQ(length, 0u);
}

TEST(AtomicFileWriterTest, TargetKeepsOldContentUntilCommit) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  writeWholeFile(path, "old contents\n");
  {
    AtomicFileWriter writer(path);
    ASSERT_TRUE(writer.isOpen());
    EXPECT_TRUE(writer.write("new "));
    EXPECT_TRUE(writer.write(std::string_view("contents\n")));
    EXPECT_EQ(readWholeFile(path), "old contents\n");
    EXPECT_TRUE(writer.commit());
    EXPECT_FALSE(writer.isOpen());
    EXPECT_FALSE(writer.write("late"));
    EXPECT_FALSE(writer.commit());
  }
  EXPECT_EQ(readWholeFile(path), "new contents\n");
  EXPECT_EQ(entriesIn(dir.path()), 1u);  // no temporary file left behind
}

TEST(AtomicFileWriterTest, AbandonedWriterLeavesNoTrace) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  writeWholeFile(path, "keep me\n");
  {
    AtomicFileWriter writer(path);
    ASSERT_TRUE(writer.isOpen());
    writer.write("half a datab");
  }
  EXPECT_EQ(readWholeFile(path), "keep me\n");
  EXPECT_EQ(entriesIn(dir.path()), 1u);

  // A new file that is abandoned never appears.
  { AtomicFileWriter writer(dir.file("new.cfg")); }
  EXPECT_FALSE(std::filesystem::exists(dir.file("new.cfg")));
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}

// The name a writer killed in the middle of a save leaves beside path.
std::string staleTemporaryOf(const std::string& path) {
#ifdef _WIN32
  return path + ".~4294967290-0.tmp";  // a process id that no process has
#else
  return path + ".~tmp-Ab12Cd";
#endif
}

TEST(AtomicFileWriterTest, NextSaveRemovesTemporaryFileOfAKilledWriter) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  writeWholeFile(path, "old\n");
  writeWholeFile(staleTemporaryOf(path), "half a sav");
  // Files that merely look alike stay.
  const std::vector<std::string> unrelated = {path + ".~tmp-backup1", path + ".bak",
                                              staleTemporaryOf(dir.file("other.cfg"))};
  for (const std::string& file : unrelated) writeWholeFile(file, "keep\n");

  ASSERT_TRUE(replaceFile(path, "new\n"));
  EXPECT_EQ(readWholeFile(path), "new\n");
  EXPECT_FALSE(std::filesystem::exists(staleTemporaryOf(path)));
  for (const std::string& file : unrelated) EXPECT_EQ(readWholeFile(file), "keep\n") << file;
  EXPECT_EQ(entriesIn(dir.path()), 1 + unrelated.size());
}

TEST(AtomicFileWriterTest, LiveWritersTemporaryFileSurvivesOtherSaves) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  AtomicFileWriter slow(path);
  ASSERT_TRUE(slow.isOpen());
  ASSERT_TRUE(slow.write("slow writer\n"));
  ASSERT_TRUE(replaceFile(path, "quick writer\n"));
  EXPECT_EQ(entriesIn(dir.path()), 2u);  // the target and the slow writer's file
  EXPECT_TRUE(slow.commit());
  EXPECT_EQ(readWholeFile(path), "slow writer\n");
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(AtomicFileWriterTest, UnusablePathsFailWithoutCreatingAnything) {
  ScratchDirectory dir;
  AtomicFileWriter missingDirectory(dir.file("no-such-dir") + kPathSeparator + "db.cfg");
  EXPECT_FALSE(missingDirectory.isOpen());
  EXPECT_FALSE(missingDirectory.write("x"));
  EXPECT_FALSE(missingDirectory.commit());
  AtomicFileWriter empty("");
  EXPECT_FALSE(empty.isOpen());
  EXPECT_FALSE(empty.commit());
  EXPECT_FALSE(replaceFile("", "x"));
  EXPECT_EQ(entriesIn(dir.path()), 0u);
}

TEST(AtomicFileWriterTest, ReplacesLargeAndEmptyContents) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  std::string big;
  for (int i = 0; big.size() < 3 * 1024 * 1024; ++i) big += "line " + std::to_string(i) + "\n";
  ASSERT_TRUE(replaceFile(path, big));
  EXPECT_EQ(readWholeFile(path), big);
  ASSERT_TRUE(replaceFile(path, ""));
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

#ifndef _WIN32
mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

// Sets the process's umask for a test's life.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

struct timespec modifiedAt(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mtim;
}

// A replacement is always later than the file it replaces, also where the replaced file's
// time is not behind the clock (as on a file system of whole seconds, a save within the second
// of the one before): the other hosts then see every save as a new version.
TEST(AtomicFileWriterTest, ReplacementIsLaterThanTheReplacedFile) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  ASSERT_TRUE(replaceFile(path, "one\n"));
  const time_t now = ::time(nullptr);
  struct Case {
    const char* what;
    struct timespec replaced;
    bool moved;  // the new file's time is set past the replaced one's
  } cases[] = {
      {"whole second ahead of the clock", {now + 100, 0}, true},
      {"a fraction ahead of the clock", {now + 50, 500}, true},
      {"behind the clock", {now - 100, 0}, false},
  };
  for (const Case& c : cases) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, c.replaced};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << c.what;
    ASSERT_TRUE(replaceFile(path, "one\n")) << c.what;
    const struct timespec after = modifiedAt(path);
    if (c.moved) {
      EXPECT_EQ(after.tv_sec, c.replaced.tv_sec + 1) << c.what;
      EXPECT_EQ(after.tv_nsec, 0) << c.what;
    } else {
      EXPECT_GE(after.tv_sec, now - 1) << c.what;
      EXPECT_LE(after.tv_sec, ::time(nullptr) + 1) << c.what;
    }
  }
}

TEST(AtomicFileWriterTest, NewFileIsPrivateAndReplacedFileKeepsItsMode) {
  ScopedUmask wide(0);
  ScratchDirectory dir;
  const std::string fresh = dir.file("fresh.cfg");
  ASSERT_TRUE(replaceFile(fresh, "x\n"));
  EXPECT_EQ(modeOf(fresh), 0600u);
  const std::string setting = dir.file("setting");
  ASSERT_TRUE(replaceFile(setting, "x", NewFileAccess::kEveryoneReads));
  EXPECT_EQ(modeOf(setting), 0644u);
  // An existing file keeps its mode whatever a new one would get.
  ASSERT_TRUE(replaceFile(fresh, "y\n", NewFileAccess::kEveryoneReads));
  EXPECT_EQ(modeOf(fresh), 0600u);

  // ... but never wider than the kind of file allows.
  struct Case {
    mode_t existing;
    NewFileAccess access;
    mode_t kept;
  };
  const Case cases[] = {
      {0640, NewFileAccess::kOwnerOnly, 0640},     {0400, NewFileAccess::kOwnerOnly, 0400},
      {0644, NewFileAccess::kOwnerOnly, 0640},     {0666, NewFileAccess::kOwnerOnly, 0640},
      {04755, NewFileAccess::kOwnerOnly, 0640},    {0660, NewFileAccess::kOwnerOnly, 0640},
      {0666, NewFileAccess::kEveryoneReads, 0644}, {0600, NewFileAccess::kEveryoneReads, 0600},
  };
  for (const Case& c : cases) {
    const std::string shared = dir.file("shared.cfg");
    writeWholeFile(shared, "old\n");
    ASSERT_EQ(::chmod(shared.c_str(), c.existing), 0);
    ASSERT_TRUE(replaceFile(shared, "new\n", c.access));
    EXPECT_EQ(modeOf(shared), c.kept) << std::oct << c.existing;
    EXPECT_EQ(readWholeFile(shared), "new\n");
  }
}

// Under the widest umask the lock file and a new log get no more than 0640.
TEST(CreatedFilesTest, ModesUnderAWideUmask) {
  ScopedUmask wide(0);
  ScratchDirectory dir;
  {
    FileLock lock(dir.file("db.cfg.lock"));
    ASSERT_TRUE(lock.isHeld());
  }
  EXPECT_EQ(modeOf(dir.file("db.cfg.lock")), 0600u);
  ASSERT_TRUE(appendLine(dir.file("events.log"), "0, x"));
  EXPECT_EQ(modeOf(dir.file("events.log")), 0640u);
  AppendFile kept(dir.file("kept.log"));
  ASSERT_TRUE(kept.isOpen());
  EXPECT_EQ(modeOf(dir.file("kept.log")), 0640u);
  ASSERT_EQ(createNewDirectory(dir.file("db.cfg.holder")), NewFileResult::kCreated);
  EXPECT_EQ(modeOf(dir.file("db.cfg.holder")), 0755u);
}

// Something planted where the lock file or the log belongs (a symbolic link, whether its target
// exists or not, or a FIFO) is not used: the operation fails and the target stays untouched.
TEST(CreatedFilesTest, PlantedLinksAndFifosAreNotUsed) {
  ScratchDirectory dir;
  const std::string victim = dir.file("victim");
  writeWholeFile(victim, "keep\n");
  ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
  const std::string dangling = dir.file("nowhere");
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    const char* name;
    std::string target;  // empty: the FIFO itself
  };
  const Case cases[] = {{"to-victim", victim}, {"to-nowhere", dangling}, {"fifo", ""}};
  for (const Case& c : cases) {
    const std::string planted = dir.file(c.name);
    if (!c.target.empty()) {
      ASSERT_EQ(::symlink(c.target.c_str(), planted.c_str()), 0);
    }
    EXPECT_FALSE(FileLock(planted).isHeld()) << c.name;
    EXPECT_FALSE(appendLine(planted, "0, forged")) << c.name;
    AppendFile kept(planted);
    EXPECT_FALSE(kept.isOpen()) << c.name;
    EXPECT_FALSE(kept.appendLine("0, forged")) << c.name;
    EXPECT_EQ(createNewDirectory(planted), NewFileResult::kExists) << c.name;
  }
  EXPECT_EQ(readWholeFile(victim), "keep\n");
  EXPECT_EQ(modeOf(victim), 0600u);
  EXPECT_FALSE(std::filesystem::exists(dangling));
}

TEST(AtomicFileWriterTest, SymbolicLinkStaysALink) {
  ScratchDirectory dir;
  const std::string real = dir.file("real.cfg");
  const std::string link = dir.file("link.cfg");
  writeWholeFile(real, "old\n");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(replaceFile(link, "new\n"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readWholeFile(real), "new\n");
}

TEST(AtomicFileWriterTest, ReadOnlyDirectoryRefusesAndKeepsOldFile) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  writeWholeFile(path, "old\n");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
  if (::access(dir.path().c_str(), W_OK) == 0) {
    ::chmod(dir.path().c_str(), 0700);
    GTEST_SKIP() << "this process may write into read-only directories (superuser)";
  }
  AtomicFileWriter writer(path);
  EXPECT_FALSE(writer.isOpen());
  EXPECT_FALSE(writer.commit());
  ::chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(readWholeFile(path), "old\n");
}

// A file-size limit makes the write fail as a full disk would.
TEST(AtomicFileWriterTest, WriteFailureKeepsOldFileAndCleansUp) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  writeWholeFile(path, "old\n");
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

  bool committed;
  {
    AtomicFileWriter writer(path);
    const bool opened = writer.isOpen();
    const bool wrote = writer.write(std::string(8192, 'x'));
    EXPECT_FALSE(writer.write("more"));  // stays failed
    committed = writer.commit();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(wrote);
  }
  EXPECT_FALSE(committed);
  EXPECT_EQ(readWholeFile(path), "old\n");
  EXPECT_EQ(entriesIn(dir.path()), 1u);
}
#endif

TEST(RemoveFileTest, RemovesWhatIsThere) {
  ScratchDirectory dir;
  const std::string path = dir.file("holder");
  writeWholeFile(path, "first\n");
  EXPECT_TRUE(removeFile(path));
  EXPECT_FALSE(removeFile(path));
  EXPECT_FALSE(removeFile(""));
}

// The step that hosts sharing a database take in turns: only where nothing is, and of several
// that try at once exactly one.
TEST(CreateNewDirectoryTest, MakesOnlyWhereNothingIs) {
  ScratchDirectory dir;
  const std::string path = dir.file("db.cfg.holder");
  EXPECT_EQ(createNewDirectory(path), NewFileResult::kCreated);
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(createNewDirectory(path), NewFileResult::kExists);
  writeWholeFile(dir.file("file"), "x");
  EXPECT_EQ(createNewDirectory(dir.file("file")), NewFileResult::kExists);
  EXPECT_EQ(createNewDirectory(dir.file("missing") + "/holder"), NewFileResult::kFailed);
  EXPECT_EQ(createNewDirectory(""), NewFileResult::kFailed);

  writeWholeFile(path + "/line", "x");
  EXPECT_FALSE(removeDirectory(path));  // not empty
  EXPECT_TRUE(removeFile(path + "/line"));
  EXPECT_TRUE(removeDirectory(path));
  EXPECT_FALSE(removeDirectory(path));
  EXPECT_FALSE(removeDirectory(""));

  std::atomic<int> made{0};
  std::vector<std::thread> racers;
  for (int i = 0; i < 8; ++i) {
    racers.emplace_back([&] {
      if (createNewDirectory(path) == NewFileResult::kCreated) ++made;
    });
  }
  for (std::thread& racer : racers) racer.join();
  EXPECT_EQ(made.load(), 1);
}

TEST(AppendLineTest, EveryCallAddsExactlyOneLine) {
  ScratchDirectory dir;
  const std::string log = dir.file("events.log");
  EXPECT_TRUE(appendLine(log, "0, first"));
  EXPECT_TRUE(appendLine(log, "2, second\n"));
  EXPECT_TRUE(appendLine(log, "3, broken\r\ninto\nthree"));
  EXPECT_TRUE(appendLine(log, ""));
  EXPECT_EQ(readWholeFile(log), "0, first" + kEol + "2, second" + kEol +
                                    "3, broken  into three" + kEol + kEol);
}

TEST(AppendLineTest, UnopenableFileFails) {
  ScratchDirectory dir;
  EXPECT_FALSE(appendLine("", "x"));
  EXPECT_FALSE(appendLine(dir.file("missing") + kPathSeparator + "events.log", "x"));
  EXPECT_EQ(entriesIn(dir.path()), 0u);
}

TEST(AppendLineTest, ConcurrentLinesNeverInterleave) {
  ScratchDirectory dir;
  const std::string log = dir.file("events.log");
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      const std::string body(100 + t * 37, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) appendLine(log, std::to_string(t) + "," + body);
    });
  }
  for (auto& thread : threads) thread.join();

  const std::string all = readWholeFile(log);
  std::size_t start = 0;
  int lines = 0;
  while (start < all.size()) {
    const std::size_t end = all.find(kEol, start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = all.substr(start, end - start);
    const int t = line[0] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    std::string expected = std::to_string(t);
    expected += ',';
    expected.append(100 + t * 37, static_cast<char>('a' + t));
    EXPECT_EQ(line, expected);
    start = end + kEol.size();
    ++lines;
  }
  EXPECT_EQ(lines, kThreads * kLines);
}

TEST(FileLockTest, SecondHolderWaitsForTheFirst) {
  ScratchDirectory dir;
  const std::string lockPath = dir.file("db.lock");
  auto first = std::make_unique<FileLock>(lockPath);
  ASSERT_TRUE(first->isHeld());

  std::atomic<bool> acquired{false};
  std::thread waiter([&] {
    FileLock second(lockPath);
    acquired = second.isHeld();
  });
  sleepMilliseconds(200);
  EXPECT_FALSE(acquired.load());
  first.reset();
  waiter.join();
  EXPECT_TRUE(acquired.load());
}

TEST(FileLockTest, UnopenableLockFileIsNotHeld) {
  ScratchDirectory dir;
  EXPECT_FALSE(FileLock(dir.file("missing") + kPathSeparator + "db.lock").isHeld());
  EXPECT_FALSE(FileLock("").isHeld());
}

// A log kept open: lines go to the file it holds, also once the file has been moved away (a
// rotation) or deleted; isStillAtItsPath tells its holder to open the path afresh.
TEST(AppendFileTest, KeptOpenAcrossRotation) {
  ScratchDirectory dir;
  const std::string log = dir.file("events.log");
  const std::string rotated = dir.file("events.log.1");
  AppendFile file(log);
  ASSERT_TRUE(file.isOpen());
  EXPECT_TRUE(file.appendLine("1, before"));
  EXPECT_TRUE(file.isStillAtItsPath());

  std::filesystem::rename(log, rotated);
  EXPECT_FALSE(file.isStillAtItsPath());  // nothing at the path
  EXPECT_TRUE(file.appendLine("2, late"));
  EXPECT_EQ(readWholeFile(rotated), "1, before" + kEol + "2, late" + kEol);

  writeWholeFile(log, "");
  EXPECT_FALSE(file.isStillAtItsPath());  // another file at the path
  AppendFile reopened(log);
  EXPECT_TRUE(reopened.isStillAtItsPath());
  EXPECT_TRUE(reopened.appendLine("3, after"));
  EXPECT_EQ(readWholeFile(log), "3, after" + kEol);

  EXPECT_FALSE(AppendFile("").isOpen());
  AppendFile missing(dir.file("missing") + kPathSeparator + "events.log");
  EXPECT_FALSE(missing.isOpen());
  EXPECT_FALSE(missing.appendLine("x"));
  EXPECT_FALSE(missing.isStillAtItsPath());
}

TEST(AppendFileTest, ConcurrentLinesThroughOneHandleNeverInterleave) {
  ScratchDirectory dir;
  const std::string log = dir.file("events.log");
  AppendFile file(log);
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&file, t] {
      const std::string line = std::to_string(t) + std::string(50 + t * 41, 'x');
      for (int i = 0; i < kLines; ++i) file.appendLine(line);
    });
  }
  for (auto& thread : threads) thread.join();
  const std::string all = readWholeFile(log);
  std::size_t start = 0;
  int lines = 0;
  for (std::size_t end; (end = all.find(kEol, start)) != std::string::npos; ++lines) {
    const std::string line = all.substr(start, end - start);
    ASSERT_FALSE(line.empty());
    const int t = line[0] - '0';
    EXPECT_EQ(line, std::to_string(t) + std::string(50 + t * 41, 'x'));
    start = end + kEol.size();
  }
  EXPECT_EQ(start, all.size());
  EXPECT_EQ(lines, kThreads * kLines);
}

}  // namespace
}  // namespace gatekeeper::platform
