#include "configstore/config_file.h"

#include "configstore/text_stream.h"

namespace gatekeeper {

ConfigFile::ConfigFile(const char* path, int32_t userValue) : ConfigSection(path, 1, userValue) {}

int ConfigFile::saveAs(const char* path) {
  if (path == nullptr || *path == '\0' || !rename(path)) return 0;
  return save();
}

int ConfigFile::loadComplete() {
  if (!hasName()) return 0;
  TextStream stream(path(), 0);
  // Readers on many threads follow: every section is parsed here, except the small plain ones,
  // which their first reader parses in a few microseconds.
  stream.keepWholeSectionsAsText(false);
  bool endedInsideSection = false;
  if (!readContentsReportingEnd(&stream, -1, &endedInsideSection)) return 0;
  return endedInsideSection ? 0 : 1;
}

}  // namespace gatekeeper
