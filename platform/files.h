// File services: last-write time, atomic replacement, whole-line appends and an exclusive
// lock file. Paths are narrow (ANSI on Windows) texts as stored in the registry.
#ifndef GATEKEEPER_PLATFORM_FILES_H_
#define GATEKEEPER_PLATFORM_FILES_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/memory.h"

namespace gatekeeper::platform {

// The separator between a directory and a file name: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// The last-write time of a file as 100 ns ticks since 1601-01-01 UTC (the Windows FILETIME
// scale, full nanosecond resolution where the file system has it). false when the file cannot
// be examined (missing, no access); *out is then left unchanged. On Windows the file is opened
// with read sharing, so a writer holding it does not make the call fail.
bool lastWriteTime(const std::string& path, std::int64_t* out);

// Who may read a file that a replacement writes. POSIX: a new file gets the first mode, whatever
// the umask; an existing file keeps its mode within the second (mode & 0640 or mode & 0644).
enum class NewFileAccess {
  kOwnerOnly,      // 0600, at most 0640: the account database holds clear-text passwords
  kEveryoneReads,  // 0644, at most 0644: settings that every program of the system reads
};

// What tells one version of a file from another: its last-write time, the identity of the file
// object (inode and device, or the Windows file index and volume) and its size. Every save
// replaces the file object, so two saves within one tick of the file system's clock still
// differ.
struct FileVersion {
  std::int64_t lastWriteTime = 0;
  std::uint64_t identity = 0;
  std::uint64_t size = 0;
  bool operator==(const FileVersion&) const = default;
};

// The version of a file; false (and *out unchanged) when it cannot be examined. Opens nothing
// that would stop another process from writing, replacing or deleting the file.
bool fileVersion(const std::string& path, FileVersion* out);

// The whole content of a regular file, read without keeping anyone else from replacing or
// deleting it meanwhile (on Windows the file is shared for reading, writing and deletion).
// false for a missing file, a directory, or a read error; *out is then empty.
bool readFileContents(const std::string& path, std::string* out);
// The same into a memory block sized for the file (a large file lands in whole pages, see
// MemoryBlock); *length receives the number of bytes read. On failure *out is empty and
// *length 0.
bool readFileContents(const std::string& path, MemoryBlock* out, std::size_t* length);

// Writes a new version of a file without ever truncating the old one. The data goes to a
// temporary file in the target's directory (POSIX: created 0600); commit() flushes it to disk
// and renames it over the target, keeping the target's permissions (POSIX: its owner and group
// where the process may, else its group where the process is a member of it; its mode within
// what newFileAccess allows; a new file the mode it names; Windows: a new file gets the
// directory's inherited security). A target that is a symbolic link keeps the link: the file it points to is replaced. A writer destroyed
// without a successful commit removes its temporary file and leaves the target exactly as it
// was. A temporary file left by a writer whose process was killed before it committed is
// removed by the next writer of the same target; a live writer's temporary file is never
// touched.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path,
                            NewFileAccess newFileAccess = NewFileAccess::kOwnerOnly);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // true when the temporary file could be created.
  bool isOpen() const;
  // Appends bytes; false when the writer is not open or any write so far has failed.
  bool write(const char* data, std::size_t size);
  bool write(std::string_view text) { return write(text.data(), text.size()); }
  // Flushes, syncs and renames over the target. true only if every write and the rename
  // succeeded; afterwards the writer is closed either way.
  bool commit();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Replaces the whole content of a file atomically (an AtomicFileWriter in one call).
bool replaceFile(const std::string& path, std::string_view contents,
                 NewFileAccess newFileAccess = NewFileAccess::kOwnerOnly);

// What createNewDirectory did.
enum class NewFileResult {
  kCreated,
  kExists,  // something exists at the path already
  kFailed,  // any other error: no access, no such directory
};

// Makes a directory only when nothing exists at path (POSIX: mode 0755, and the owner and
// group of the directory it is made in where the process may give it away, so that the
// superuser's leaves one the web server's account can empty). Making a directory is decided
// by the file server through every network file system client: of several hosts that try at
// once, exactly one makes it. kFailed only for errors that mean no directory can be made
// there (no such parent, no access, a read-only or full file system); any other error (a
// client that reports the server's refusal as EIO, smbnetfs) counts as kExists once a few
// tries gave the same. (An exclusive create of a file is not decided by the server through
// every client: smbnetfs creates the file anew where another host has just made it.)
NewFileResult createNewDirectory(const std::string& path);

// Removes a file; false when it cannot (missing, no access).
bool removeFile(const std::string& path);
// Removes an empty directory; false when it cannot (missing, not empty, no access).
bool removeDirectory(const std::string& path);

// Appends one complete line to a file opened for appending (created when missing, as AppendFile
// opens it), in a single write, so lines from concurrent writers never interleave. The line is
// given with or without its own trailing line end; the file receives the text followed by the
// platform's text-mode line end (CR LF on Windows, LF elsewhere). A CR or LF inside the text is
// written as a blank, so one call always adds exactly one line. false when the path is empty,
// the file cannot be opened or the write is short.
bool appendLine(const std::string& path, std::string_view line);

// The position of an open stream, or -1; positions past 2 GiB too (long has 32 bits on
// Windows, so std::ftell cannot tell them).
std::int64_t streamPosition(std::FILE* file);
// Moves an open stream to position (from its start); false when it cannot.
bool seekStream(std::FILE* file, std::int64_t position);

// An exclusive advisory lock held on a lock file (created when missing; POSIX: mode 0600) for
// the object's life. The constructor blocks until the lock is held or fails; isHeld() tells
// which. POSIX: a symbolic link or anything but a regular file at lockPath is not used (the
// lock fails and the link's target is left untouched).
class FileLock {
 public:
  explicit FileLock(const std::string& lockPath);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool isHeld() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Creates the lock file at lockPath when there is none, owned like the file at referencePath
// (POSIX: mode 0600, and the reference's owner and group where the process may give them), so
// that a lock file first made by the superuser stays usable by the account that owns the file
// it guards. An existing lock file (or anything else at lockPath) and a missing reference are
// left alone; FileLock then creates or refuses it as it always does. Windows: nothing to do,
// a new file gets the directory's inherited security.
void createLockFileOwnedLike(const std::string& lockPath, const std::string& referencePath);

// Sleeps the calling thread for the given number of milliseconds.
void sleepMilliseconds(int milliseconds);

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_FILES_H_
