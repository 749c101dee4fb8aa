#include <windows.h>

#include "platform/append_file.h"
#include "platform/files.h"

namespace gatekeeper::platform {
namespace {

// The identity that fileVersion reports for a path, taken from an open handle.
std::uint64_t identityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return 0;
  return ((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) ^
         (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 40);
}

}  // namespace

struct AppendFile::Handle {
  HANDLE file = INVALID_HANDLE_VALUE;
};

AppendFile::AppendFile(const std::string& path) : path_(path), handle_(new Handle) {
  if (path.empty()) return;
  // Shared for everything, so the log can be read, renamed or deleted while it is held.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  identity_ = identityOf(file);
  handle_->file = file;
}

AppendFile::~AppendFile() {
  if (handle_->file != INVALID_HANDLE_VALUE) CloseHandle(handle_->file);
}

bool AppendFile::isOpen() const { return handle_->file != INVALID_HANDLE_VALUE; }

bool AppendFile::append(std::string_view bytes) {
  if (handle_->file == INVALID_HANDLE_VALUE || bytes.size() > 0xFFFFFFFFu) return false;
  // Append-only access puts every write at the current end of the file. Wine emulates it as a
  // seek and a write, which lets concurrent appends overwrite one another, so the writers also
  // take turns on a lock over one byte far beyond any real end of file; readers of the data
  // are not affected by it.
  OVERLAPPED turn = {};
  turn.Offset = 0xFFFFFFFE;
  turn.OffsetHigh = 0x7FFFFFFF;
  const bool locked = LockFileEx(handle_->file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn) != 0;
  DWORD written = 0;
  const bool ok = WriteFile(handle_->file, bytes.data(), static_cast<DWORD>(bytes.size()),
                            &written, nullptr) &&
                  written == bytes.size();
  if (locked) UnlockFileEx(handle_->file, 0, 1, 0, &turn);
  return ok;
}

bool AppendFile::isStillAtItsPath() const {
  FileVersion version;
  return handle_->file != INVALID_HANDLE_VALUE && fileVersion(path_, &version) &&
         version.identity == identity_;
}

}  // namespace gatekeeper::platform
