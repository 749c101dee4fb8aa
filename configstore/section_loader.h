// Reads the lines of a stream into a section: the loading steps of ConfigSection::readContents.
#ifndef GATEKEEPER_CONFIGSTORE_SECTION_LOADER_H_
#define GATEKEEPER_CONFIGSTORE_SECTION_LOADER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "configstore/config_section.h"
#include "configstore/config_stream.h"
#include "configstore/source_text.h"

namespace gatekeeper {

// Reads iteratively: the open sections are kept on an explicit stack. Sections of one name are
// reused and items are appended, so reading merges the input into what the section holds.
// Sections that the stream can hand over as text (small plain ones, and whole sections directly
// below the section being read) are kept as text until first use.
class SectionLoader {
 public:
  // limit: the number of subsections to read directly below `into`, negative for all.
  SectionLoader(ConfigSection* into, ConfigStream* stream, int32_t limit);
  SectionLoader(const SectionLoader&) = delete;
  SectionLoader& operator=(const SectionLoader&) = delete;

  // Sections two levels below the one being read (the children of its children) whose lines
  // take at least minimumLength bytes stay text until first use; the smaller ones are read
  // as usual. 0 (the default): none.
  void keepLargeSectionsAsText(size_t minimumLength) { largeSection_ = minimumLength; }

  // Reads up to the end of the input, the closing line of `into` or the limit. 1, or 0 when
  // the stream is not open.
  int read();
  // Whether the input ended while a section was still open.
  bool endedInsideSection() const { return endedInsideSection_; }

 private:
  using NameKey = ConfigSection::NameKey;
  enum class Progress { kGoOn, kDone };
  // A section's tag as its opening line gives it, copied before the stream reads on.
  struct Tag {
    int32_t kind = kTagNone;  // as the line gives it
    bool hex = false;
    uint32_t hexValue = 0;
    bool text = false;
    std::string textValue;
  };
  // A plain section taken whole, as text.
  struct Taken {
    std::string name;
    NameKey key;
    DeferredContents contents;
  };
  // Runs of small plain sections are taken whole, several at a time, so that the index entries
  // of their names are on their way while the next ones are taken.
  static constexpr int32_t kRun = 8;

  // One step for each kind of input.
  // Takes a run of plain sections below the current one; false when there was none.
  bool takePlainRun(Progress* progress);
  Progress openSection();
  Progress closeSection();
  // Takes the whole section just opened two levels down (see keepLargeSectionsAsText).
  bool takeNestedSection(DeferredContents* contents);
  void readBinaryBlock();
  void readItem(StreamToken token);

  // Counts sections read directly below `into_`: kDone once the limit is reached.
  Progress countRead(int32_t sections);
  bool atTop() const { return open_.size() == 1; }
  Tag readTag() const;
  static void applyTag(ConfigSection* section, const Tag& tag);

  // The child section of that name in the parent, or nullptr.
  static ConfigSection* sectionOf(const ConfigSection* parent, const NameKey& key);
  // Adds a new section read from the stream to the parent: in the stream's arena when it has
  // one, taking *kept as its contents when given. nullptr on failure, *kept then still holding
  // the contents.
  ConfigSection* addLoaded(ConfigSection* parent, const char* name, const NameKey& key,
                           DeferredContents* kept);
  // Adds a section of that name read as its contents taken as text, as reading its lines would:
  // into an existing section of that name, else into a new one (none, or a value node holds the
  // name), else (no memory) into the parent.
  void addTaken(ConfigSection* parent, const char* name, const NameKey& key,
                DeferredContents* contents);
  // Memory for a section in the stream's arena, taken in runs of several sections (the arena
  // takes a lock per allocation); nullptr when there is none.
  void* arenaMemory();
  // A list that receives many sections in runs expects as many more as the rest of the input
  // holds at the rate seen so far (at most four times what it holds): its name index then grows
  // in fewer, larger steps, and to the size it ends with.
  void expectMore(ConfigSection* list);

  ConfigSection* const into_;
  ConfigStream* const stream_;
  const int32_t limit_;
  size_t largeSection_ = 0;
  int32_t sectionsRead_ = 0;
  bool endedInsideSection_ = false;
  std::vector<ConfigSection*> open_;
  std::vector<unsigned char> bytes_;
  Taken run_[kRun];

  // The arena placement.
  SourceText* const arena_;
  char* arenaNext_ = nullptr;
  size_t arenaLeft_ = 0;
  size_t arenaRun_ = 1;

  // The growth expected of the list that received the last run.
  const ConfigSection* growingList_ = nullptr;
  uint64_t remainingAtStart_ = 0;
  int32_t countAtStart_ = 0;
  int32_t nextCheck_ = 0;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_SECTION_LOADER_H_
