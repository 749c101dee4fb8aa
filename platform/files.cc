// The parts of the file services that are the same on every platform.
#include "platform/files.h"

#include "platform/append_file.h"
#include "platform/files_internal.h"

namespace gatekeeper::platform {

namespace internal {

std::string wholeLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string bytes(line);
  for (char& c : bytes) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  bytes += kLineEnd;
  return bytes;
}

}  // namespace internal

bool AppendFile::appendLine(std::string_view line) { return append(internal::wholeLine(line)); }

bool readFileContents(const std::string& path, std::string* out) {
  MemoryBlock block;
  std::size_t length = 0;
  if (!readFileContents(path, &block, &length)) {
    std::string().swap(*out);
    return false;
  }
  out->assign(block.data(), length);
  return true;
}

bool lastWriteTime(const std::string& path, std::int64_t* out) {
  FileVersion version;
  if (!fileVersion(path, &version)) return false;
  *out = version.lastWriteTime;
  return true;
}

bool replaceFile(const std::string& path, std::string_view contents,
                 NewFileAccess newFileAccess) {
  AtomicFileWriter writer(path, newFileAccess);
  writer.write(contents);
  return writer.commit();
}

bool appendLine(const std::string& path, std::string_view line) {
  if (path.empty()) return false;
  return AppendFile(path).appendLine(line);
}

}  // namespace gatekeeper::platform
