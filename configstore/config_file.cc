#include "configstore/config_file.h"

namespace gatekeeper {

ConfigFile::ConfigFile(const char* path, int32_t userValue) : ConfigSection(path, 1, userValue) {}

int ConfigFile::saveAs(const char* path) {
  if (path == nullptr || *path == '\0' || !rename(path)) return 0;
  return save();
}

}  // namespace gatekeeper
