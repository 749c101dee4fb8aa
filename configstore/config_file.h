// The root of a tree bound to a text file: construct, load, change, save.
#ifndef GATEKEEPER_CONFIGSTORE_CONFIG_FILE_H_
#define GATEKEEPER_CONFIGSTORE_CONFIG_FILE_H_

#include <cstdint>
#include <string>

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

  int load() override;
  int save() override;

  // The file path (nullptr when none).
  const char* path() const { return name(); }
  // Renames the root to another path and saves there; the tree keeps the new name. 1 or 0.
  int saveAs(const char* path);
  // As load(), but 0 also when the file ends inside an open section, as a file does that is
  // caught while another program rewrites it in place; the tree then holds what was read.
  // load() leaves the sections below the root as text until first use (a page that touches a
  // few sections parses only those); loadComplete() parses them all at once, except small
  // sections of plain value lines, for a tree that many threads will read.
  //
  // With largeSections, the sections two levels down (a child of a top-level section) whose
  // lines take at least that many bytes stay text too: a large file's shared copy then carries
  // their directories (section_directory.h), through which readers find one child of such a
  // section without parsing it. A section that has no directory is parsed at its first use.
  int loadComplete(size_t largeSections = 0);
  // As load(), but 0 also when the file ends inside an open section (the tree then holds what
  // was read): the load of a program that may save what it loaded, which must not write back
  // a file cut short as if it were whole.
  int loadWhole();

  // Why the last load, loadComplete, save or saveAs failed, for a diagnostic that names the
  // path: the system's message for the error taken where the failure happened ("Permission
  // denied", "No space left on device"), not whatever the thread's last error is later. A
  // failure that the system did not report is described in words of its own (a save refused
  // because the tree holds a name or text the format cannot carry; a path that names no
  // regular file). Empty when the last of them succeeded or none has run.
  std::string lastFailure() const;
  // The system's error code of that failure (platform/system_error.h); 0 when there was none.
  int lastSystemError() const { return lastError_; }

 private:
  enum class Operation { kNone, kLoad, kLoadIncomplete, kSave };
  // Records the outcome of an operation; returns result.
  int note(Operation operation, int result, int systemError);

  Operation lastFailed_ = Operation::kNone;
  int lastError_ = 0;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_CONFIG_FILE_H_
