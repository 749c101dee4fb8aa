#include "configstore/config_file.h"

#include <new>

#include "configstore/section_directory.h"
#include "configstore/text_stream.h"
#include "platform/system_error.h"

namespace gatekeeper {

ConfigFile::ConfigFile(const char* path, int32_t userValue) : ConfigSection(path, 1, userValue) {}

int ConfigFile::note(Operation operation, int result, int systemError) {
  lastFailed_ = result != 0 ? Operation::kNone : operation;
  lastError_ = result != 0 ? 0 : systemError;
  return result;
}

int ConfigFile::load() {
  int systemError = 0;
  const int result = loadFile(&systemError);
  return note(Operation::kLoad, result, systemError);
}

int ConfigFile::loadWhole() {
  int systemError = 0;
  bool endedInsideSection = false;
  if (!loadFile(&systemError, &endedInsideSection)) return note(Operation::kLoad, 0, systemError);
  return note(Operation::kLoadIncomplete, endedInsideSection ? 0 : 1, 0);
}

int ConfigFile::save() {
  int systemError = 0;
  const int result = saveFile(&systemError);
  return note(Operation::kSave, result, systemError);
}

std::string ConfigFile::lastFailure() const {
  if (lastFailed_ == Operation::kNone) return std::string();
  if (lastError_ != 0) return platform::systemErrorText(lastError_);
  if (!hasName()) return "no file path is given";
  if (lastFailed_ == Operation::kLoadIncomplete) return "the file ends inside an open section";
  if (lastFailed_ == Operation::kSave) {
    return "the configuration holds a name or text that the file format cannot carry";
  }
  const std::string problem = platform::readProblem(path());
  return problem.empty() ? "the path names no regular file" : problem;
}

int ConfigFile::saveAs(const char* path) {
  if (path == nullptr || *path == '\0' || !rename(path)) return note(Operation::kSave, 0, 0);
  return save();
}

int ConfigFile::loadComplete(size_t largeSections) {
  if (!hasName()) return note(Operation::kLoad, 0, 0);
  // The content that a server's processes keep: the first of them to read a version makes the
  // copy they share.
  platform::SharedFileCopy::AppendixMaker directories;
  if (largeSections != 0) {
    directories = [largeSections](std::string_view text) {
      try {
        return SectionDirectories::build(text, largeSections);
      } catch (const std::bad_alloc&) {
        return DirectoryImage();  // a copy without directories: its readers parse the sections
      }
    };
  }
  TextStream stream =
      TextStream::openForReading(path(), TextStream::SharedCopy::kMakeOrMap, directories);
  // Readers on many threads follow: every section is parsed here, except the small plain ones,
  // which their first reader parses in a few microseconds, and the large ones asked for.
  stream.keepWholeSectionsAsText(false);
  bool endedInsideSection = false;
  if (!readContentsReportingEnd(&stream, -1, &endedInsideSection, largeSections)) {
    return note(Operation::kLoad, 0, stream.systemError());
  }
  return note(Operation::kLoadIncomplete, endedInsideSection ? 0 : 1, 0);
}

}  // namespace gatekeeper
