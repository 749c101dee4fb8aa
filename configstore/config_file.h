// The root of a tree bound to a text file: construct, load, change, save.
#ifndef GATEKEEPER_CONFIGSTORE_CONFIG_FILE_H_
#define GATEKEEPER_CONFIGSTORE_CONFIG_FILE_H_

#include <cstdint>

#include "configstore/config_section.h"

namespace gatekeeper {

// A file-backed root section. Its name is the file path (absolute or relative to the working
// directory); rename() changes the file that the next load or save uses.
//
//   ConfigFile db(path, 1);
//   if (!db.load()) { ... }                 // missing or unreadable file: 0, tree stays empty
//   db.sectionByName("MAIN")->valueByName("log")->getString();
//   db.getOrCreateSection("MAIN")->setString("log", "...");
//   db.save();
//
// load() merges the file into what the tree holds (it never clears it). save() never truncates
// the live file: it writes a temporary file beside it and renames it over the target, keeping
// the target's permissions (a new file is readable and writable by its owner only). Any failure
// (no access, full disk, a name or text the format cannot carry) returns 0 and leaves the
// previous file exactly as it was.
class ConfigFile : public ConfigSection {
 public:
  // userValue is kept and copied with the object, never acted on.
  ConfigFile(const char* path, int32_t userValue);

  // The file path (nullptr when none).
  const char* path() const { return name(); }
  // Renames the root to another path and saves there; the tree keeps the new name. 1 or 0.
  int saveAs(const char* path);
  // As load(), but 0 also when the file ends inside an open section, as a file does that is
  // caught while another program rewrites it in place; the tree then holds what was read.
  // load() leaves the sections below the root as text until first use (a page that touches a
  // few sections parses only those); loadComplete() parses them all at once, except small
  // sections of plain value lines, for a tree that many threads will read.
  int loadComplete();
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_CONFIG_FILE_H_
