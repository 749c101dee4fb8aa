#include <windows.h>

#include <atomic>
#include <string>

#include "platform/clock_internal.h"
#include "platform/files.h"
#include "platform/files_internal.h"
#include "platform/process.h"

namespace gatekeeper::platform {

const char kPathSeparator = '\\';

namespace internal {
const char kLineEnd[] = "\r\n";
}  // namespace internal

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Puts the finished temporary file in place of the target. ReplaceFile keeps the replaced
// file's security descriptor and attributes; where it cannot (or the target is new), a move
// that replaces an existing file takes over.
bool moveIntoPlace(const std::string& temporary, const std::string& target) {
  if (fileExists(target) &&
      ReplaceFileA(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                   nullptr, nullptr)) {
    return true;
  }
  return MoveFileExA(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Temporary files of a replacement are named by the target's path plus ".~", the writer's
// process id, "-", a running number and ".tmp".
std::string temporaryName(const std::string& target, DWORD processId, unsigned number) {
  return target + ".~" + std::to_string(processId) + "-" + std::to_string(number) + ".tmp";
}

// Removes the temporary files that writers of target left behind when their process ended in
// the middle of a save. A file whose writer's process still runs stays (an open writer also
// holds it without sharing, so it could not be deleted anyway).
void removeStaleTemporaries(const std::string& target) {
  const std::size_t separator = target.find_last_of("\\/");
  const std::string directory = separator == std::string::npos ? "" : target.substr(0, separator + 1);
  const std::string prefix = target.substr(directory.size()) + ".~";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((target + ".~*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size()) continue;
    const std::string digits = name.substr(prefix.size(), dash - prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 10) continue;
    const DWORD processId = static_cast<DWORD>(std::stoull(digits));
    if (!processRuns(processId)) DeleteFileA((directory + name).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

bool fileVersion(const std::string& path, FileVersion* out) {
  if (path.empty()) return false;
  HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!ok) return false;
  out->lastWriteTime = internal::fileTimeFromHalves(info.ftLastWriteTime.dwHighDateTime,
                                                    info.ftLastWriteTime.dwLowDateTime);
  out->identity = ((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
                   info.nFileIndexLow) ^
                  (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 40);
  out->size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

bool readFileContents(const std::string& path, MemoryBlock* out, std::size_t* length) {
  *out = MemoryBlock();
  *length = 0;
  if (path.empty()) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  // One byte more than the file holds, so that reaching its end needs no second block.
  bool ok = GetFileSizeEx(file, &size) != 0 &&
            out->resize(static_cast<std::size_t>(size.QuadPart) + 1, 0);
  std::size_t used = 0;
  while (ok) {
    // A file that grew meanwhile: a block twice as large.
    if (used == out->size()) ok = out->resize(2 * out->size(), used);
    if (!ok) break;
    const std::size_t room = out->size() - used;
    DWORD got = 0;
    if (!ReadFile(file, out->data() + used, room < (1u << 30) ? static_cast<DWORD>(room) : (1u << 30),
                  &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    used += got;
  }
  CloseHandle(file);
  if (!ok) {
    *out = MemoryBlock();
    return false;
  }
  *length = used;
  return true;
}

struct AtomicFileWriter::State {
  std::string target;
  std::string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  bool failed = false;
};

// New files take the directory's inherited security whatever access is asked for.
AtomicFileWriter::AtomicFileWriter(const std::string& path, NewFileAccess)
    : state_(new State) {
  if (path.empty()) return;
  static std::atomic<unsigned> counter{0};
  state_->target = path;
  removeStaleTemporaries(path);
  // A name beside the target that no other writer uses: process id and a running number,
  // created only if it does not exist yet.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate =
        temporaryName(path, GetCurrentProcessId(), counter.fetch_add(1));
    HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      state_->file = file;
      state_->temporary = candidate;
      return;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return;
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (state_->file != INVALID_HANDLE_VALUE) {
    CloseHandle(state_->file);
    DeleteFileA(state_->temporary.c_str());
  }
}

bool AtomicFileWriter::isOpen() const { return state_->file != INVALID_HANDLE_VALUE; }

bool AtomicFileWriter::write(const char* data, std::size_t size) {
  if (state_->file == INVALID_HANDLE_VALUE || state_->failed) return false;
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(state_->file, data, chunk, &written, nullptr) || written == 0) {
      state_->failed = true;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool AtomicFileWriter::commit() {
  if (state_->file == INVALID_HANDLE_VALUE) return false;
  HANDLE file = state_->file;
  state_->file = INVALID_HANDLE_VALUE;
  bool written = !state_->failed && FlushFileBuffers(file) != 0;
  written = (CloseHandle(file) != 0) && written;
  if (!written) {
    DeleteFileA(state_->temporary.c_str());
    return false;
  }
  const bool existed = fileExists(state_->target);
  if (moveIntoPlace(state_->temporary, state_->target)) return true;
  // ReplaceFile can fail after it has removed the target; the temporary file is then the only
  // copy of the data and stays where it is.
  if (!existed || fileExists(state_->target)) DeleteFileA(state_->temporary.c_str());
  return false;
}

NewFileResult createNewDirectory(const std::string& path) {
  if (path.empty()) return NewFileResult::kFailed;
  if (CreateDirectoryA(path.c_str(), nullptr)) return NewFileResult::kCreated;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || fileExists(path)) return NewFileResult::kExists;
  SetLastError(error);
  return NewFileResult::kFailed;
}

bool removeFile(const std::string& path) { return !path.empty() && DeleteFileA(path.c_str()) != 0; }

bool removeDirectory(const std::string& path) {
  return !path.empty() && RemoveDirectoryA(path.c_str()) != 0;
}

struct FileLock::State {
  HANDLE file = INVALID_HANDLE_VALUE;
};

FileLock::FileLock(const std::string& lockPath) : state_(new State) {
  if (lockPath.empty()) return;
  HANDLE file = CreateFileA(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED start = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &start)) {
    CloseHandle(file);
    return;
  }
  state_->file = file;
}

FileLock::~FileLock() {
  if (state_->file != INVALID_HANDLE_VALUE) {
    OVERLAPPED start = {};
    UnlockFileEx(state_->file, 0, 1, 0, &start);
    CloseHandle(state_->file);
  }
}

bool FileLock::isHeld() const { return state_->file != INVALID_HANDLE_VALUE; }

void createLockFileOwnedLike(const std::string&, const std::string&) {}

void sleepMilliseconds(int milliseconds) {
  if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

std::int64_t streamPosition(std::FILE* file) { return _ftelli64(file); }

bool seekStream(std::FILE* file, std::int64_t position) {
  return _fseeki64(file, position, SEEK_SET) == 0;
}

}  // namespace gatekeeper::platform
