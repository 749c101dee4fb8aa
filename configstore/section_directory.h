// Where the children of a large section kept as text lie in that text, by name: a reader that
// wants one child reads its few lines instead of parsing the section into a node per child.
// The directories travel as the appendix of a file's shared copy (platform/shared_file_copy.h),
// so that the processes that share the text share them too.
//
// A section gets a directory only when its lines, read as the reader reads them, are children
// of value lines alone: every line is a child's opening or closing line, a value line inside a
// child or a line that the reader ignores, and no child's name repeats (the reader would merge
// the two). Then a child found through the directory holds exactly the values that the parsed
// section's child of that name holds, and a name that the directory does not know names no
// child of it. A section without one is parsed by its readers as before.
#ifndef GATEKEEPER_CONFIGSTORE_SECTION_DIRECTORY_H_
#define GATEKEEPER_CONFIGSTORE_SECTION_DIRECTORY_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "configstore/config_section.h"
#include "configstore/source_text.h"
#include "platform/memory.h"

namespace gatekeeper {

// A child section found through a directory: its name and its contents (value lines) as the
// text holds them. Reads its values as ConfigValue reads them from the parsed child.
class PlainChild {
 public:
  PlainChild() = default;
  // Classifies the value lines once, for the reads that follow.
  PlainChild(std::string_view name, std::string_view contents);

  std::string_view name() const { return name_; }
  // Whether the child holds a value node of that name (valueByName is not the placeholder).
  bool hasValue(const char* name) const;
  // ConfigValue::getInt and getString of the value node of that name ("" and 0 when none).
  int32_t getInt(const char* name) const;
  std::string getString(const char* name) const;

 private:
  // A value line: its value name (item name cut off), item type and value text.
  struct ValueLine {
    std::string_view name;
    std::string_view value;
    int32_t itemType;
  };
  static constexpr int kKeptLines = 16;
  // Calls visit on each value line of that value name in order until it returns true.
  template <typename Visit>
  bool visitValueLines(const char* name, Visit visit) const;

  std::string_view name_;
  std::string_view contents_;
  // The value lines, when there are no more than kKeptLines of them (else -1: reads scan the
  // contents again).
  int lineCount_ = 0;
  ValueLine lines_[kKeptLines];
};

// Where one child of a section kept as text lies in the text.
struct PlainChildText {
  size_t nameBegin = 0;
  size_t nameLength = 0;
  size_t contentsBegin = 0;
  size_t contentsLength = 0;
  bool tagged = false;    // its opening line carries a tag
  bool verbatim = false;  // its lines are what the writer writes (KeptTextScanner)
  uint64_t hash = 0;    // of its name (platform::nameHash)
};
// Reads the lines of a section's contents kept as text as the reader would, into no tree:
// its children in the order of the text, when the section qualifies for a directory (see
// above); false otherwise. Whether each child is verbatim is found only when asked for.
using ChildTexts = platform::BlockArray<PlainChildText>;
bool readPlainChildren(std::string_view text, const DeferredContents& contents,
                       ChildTexts* children, bool checkVerbatim);

// The bytes of an image of directories (see SectionDirectories::build).
using DirectoryImage = platform::BlockArray<char>;

// One section's directory, a view into an image that outlives it.
class SectionDirectory {
 public:
  enum class Lookup {
    kFound,      // *child is the child of that name
    kAbsent,     // no child has that name
    kCannotTell  // the name cannot be hashed on this platform: ask the parsed section
  };
  Lookup find(const char* name, PlainChild* child) const;

  // Where the section's contents lie in the text.
  size_t contentsBegin() const { return contentsBegin_; }
  size_t contentsLength() const { return contentsLength_; }
  size_t childCount() const { return childCount_; }

  // The parts of the image (section_directory.cc).
  struct Entry;
  struct Slot;

 private:
  friend class SectionDirectories;

  std::string_view text_;
  size_t contentsBegin_ = 0;
  size_t contentsLength_ = 0;
  size_t childCount_ = 0;
  uint64_t slotMask_ = 0;
  const Entry* entries_ = nullptr;
  const Slot* slots_ = nullptr;
};

// The directories of one text.
class SectionDirectories {
 public:
  // The image of the directories of every section two levels down in text (a child of a
  // top-level section) that ConfigFile::loadComplete(largeSections) keeps as text and that
  // qualifies; empty when none does. Reads those sections' lines once, into no tree.
  static DirectoryImage build(std::string_view text, size_t largeSections);

  // The directories of a tree that ConfigFile::loadComplete(largeSections) loaded, read from
  // the appendix of its text's shared copy. Every section two levels down that is still kept
  // as text and that no directory covers is parsed here, so that readers never parse one.
  static SectionDirectories ofLoadedTree(const ConfigSection& root);

  // The length of the contents of the section whose contents begin at offset begin of the
  // text, when an image of that text has a directory of it: a loader then takes the section
  // without scanning its lines for their end. Reads the directories' headers only.
  static bool recordedLength(std::string_view image, size_t begin, size_t* length);

  SectionDirectories() = default;
  // Reads an image made by build() for this text; an image that is malformed or points
  // outside the text reads as no directories at all. Both must outlive this object.
  SectionDirectories(std::string_view image, std::string_view text);

  // The directory of a section whose contents are kept as text, when it has one; nullptr
  // otherwise.
  const SectionDirectory* forSection(const ConfigSection& section) const;
  bool empty() const { return directories_.empty(); }

 private:
  std::vector<SectionDirectory> directories_;
  CountedRef<SourceText> source_;  // the text and image, while directories read them
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_SECTION_DIRECTORY_H_
