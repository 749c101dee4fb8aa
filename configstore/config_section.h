// A section of the configuration tree: named child sections and value nodes.
//
// Navigation never fails: lookups that find nothing return the shared placeholders
// nullSection(), nullValue() and nullItem(), whose reads give 0 or "", so chained reads such as
//   root->sectionByName("MAIN")->sectionByName("SERVERS")->valueByName(key)->getString()
// are safe. The placeholders refuse every change; test isPlaceholder() before writing.
//
// Threads: lookups by name or index, getters and iteration change nothing (a failed lookup
// creates no node), so several threads may read one tree at once while no thread changes it.
// Every change, get-or-create included, needs exclusive access arranged by the caller.
#ifndef GATEKEEPER_CONFIGSTORE_CONFIG_SECTION_H_
#define GATEKEEPER_CONFIGSTORE_CONFIG_SECTION_H_

#include <cstdint>
#include <memory>
#include <string>

#include "configstore/config_node.h"
#include "configstore/config_value.h"
#include "configstore/counted_ref.h"
#include "configstore/name_comparator.h"
#include "configstore/source_text.h"
#include "configstore/value_item.h"

namespace gatekeeper {

class ConfigSection;
class ConfigStream;

// The shared placeholder section (no name, no children) that failed lookups return.
ConfigSection* nullSection();

// An object attached to a section (it arrives with clones), counted, never owned by the
// section. Whatever else it does belongs to the layer that made it (the interface handles).
class SectionExtension : public RefObject {
 public:
  // Run before the section it is attached to is written.
  virtual void prepareForSave(ConfigSection* section) = 0;
};

// Kinds of a section's tag.
enum SectionTagKind : int32_t {
  kTagNone = 0,
  kTagHex = 1,   // unsigned 32-bit number, written in hexadecimal
  kTagText = 2,  // text
};

class ConfigSection : public ConfigNode {
 public:
  explicit ConfigSection(const char* name = nullptr);
  ~ConfigSection() override;

  // Reads sections and values from the stream into this section, merging with what it holds
  // (sections of one name are reused, items are appended). limit: the number of subsections to
  // read at this level, negative for all. 1, or 0 when the stream is not open.
  virtual int readContents(ConfigStream* stream, int32_t limit);
  // readContents(stream, -1), keeping the sections two levels down whose lines take at least
  // largeSections bytes as text (SectionLoader::keepLargeSectionsAsText).
  int readContentsKeepingLarge(ConfigStream* stream, size_t largeSections);
  // Loads the file named by this section's name (file-backed sections only; see ConfigFile).
  virtual int load();
  // Writes the contents: value nodes first in slot order, then subsections, recursively.
  // 1, or 0 when the stream is not open or a name or text cannot be written faithfully.
  virtual int writeContents(ConfigStream* stream);
  // Saves to the file named by this section's name (file-backed sections only).
  virtual int save();
  // Writes the opening line (by its tag), the contents and the closing line.
  virtual int writeWhole(ConfigStream* stream);

  ConfigSection* clone() const override;
  // Frees the section's memory unless it lives in the arena of the text it was loaded from.
  void destroy() override;

  // Children by name or index, typed: the child if it exists and has that kind, else the
  // placeholder. Never nullptr.
  ConfigValue* valueByName(const char* name) const;
  ConfigValue* valueByIndex(int32_t index) const;
  ConfigSection* sectionByName(const char* name) const;
  ConfigSection* sectionByIndex(int32_t index) const;

  // The first child of that name if it has the wanted kind; nullptr if it has the other kind
  // (or this is a placeholder); a new child of that name, added, when there is none.
  ConfigValue* getOrCreateValue(const char* name);
  ConfigSection* getOrCreateSection(const char* name);
  // The same, returning this section for chaining.
  ConfigSection* createSection(const char* name);
  ConfigSection* createValue(const char* name);

  // Get or create the value node, then set that type on it. 1, or 0 when a section holds the
  // name.
  int setInt(const char* name, int32_t value);
  int setFloat(const char* name, float value);
  int setDouble(const char* name, double value);
  int setString(const char* name, const char* value);
  int setInt64(const char* name, int64_t value);
  int setBinary(const char* name, const void* data, uint32_t length);

  // Get or create the value node, then append an item with the item name (may be nullptr).
  // The new item, or nullptr when a section holds the name.
  ValueItem* addIntItem(const char* name, const char* itemName, int32_t value);
  ValueItem* addFloatItem(const char* name, const char* itemName, float value);
  ValueItem* addStringItem(const char* name, const char* itemName, const char* value);
  ValueItem* addDoubleItem(const char* name, const char* itemName, double value);
  ValueItem* addInt64Item(const char* name, const char* itemName, int64_t value);
  ValueItem* addBinaryItem(const char* name, const char* itemName, const void* data,
                           uint32_t length);

  // Removes (destroys) the first child of that name; its slot, or 0.
  int32_t deleteByName(const char* name) { return removeByName(name); }

  // The first value node whose first item of the type equals the given content (texts ignoring
  // case, numbers exactly); a node without such an item counts as holding 0 or "". nullValue()
  // when none.
  ConfigValue* findValueByString(const char* text) const;
  ConfigValue* findValueByInt(int32_t value) const;
  ConfigValue* findValueByFloat(float value) const;
  ConfigValue* findValueByDouble(double value) const;
  ConfigValue* findValueByInt64(int64_t value) const;

  // A new plain section with this name holding clones of the children that the selector
  // accepts (in slot order). Owned by the caller; nullptr on allocation failure.
  ConfigSection* filteredCopy(NameComparator* selector) const;

  // Replace the tag; dropping the old tag drops the attached extension object.
  void setHexTag(uint32_t tag);
  void setTextTag(const char* tag);  // nullptr: no tag
  SectionTagKind tagKind() const { return static_cast<SectionTagKind>(tagKind_); }
  uint32_t hexTag() const { return tagKind_ == kTagHex ? extras_->hexTag : 0; }
  const char* textTag() const { return tagKind_ == kTagText ? extras_->textTag.get() : ""; }

  // true while the contents loaded from a file are still kept as its text (they are parsed at
  // the first operation that needs them).
  bool keptAsText() const { return isPending(); }
  // Those contents as the text holds them (an empty source when not keptAsText()). Valid
  // while the section lives; reading them changes nothing.
  DeferredContents keptContents() const {
    return isPending() ? keptText() : DeferredContents();
  }
  // Where those contents lie, without taking a reference on their text (for readers on many
  // threads): false when not keptAsText().
  bool keptTextRange(const SourceText** source, size_t* begin, size_t* length) const {
    if (!isPending()) return false;
    *source = textSource_.get();
    *begin = textBegin_;
    *length = textLength_;
    return true;
  }

  // 1 for a ConfigFile root: only such a section loads and saves.
  int32_t fileBacked() const { return extras_ != nullptr ? extras_->fileBacked : 0; }
  // The integer given to ConfigFile's constructor; kept and copied, never acted on.
  int32_t userValue() const { return extras_ != nullptr ? extras_->userValue : 0; }

  // The attached extension object (a counted reference), or nullptr. It arrives with clones;
  // attachExtension exists for the interface layer.
  SectionExtension* extension() const {
    return extras_ != nullptr ? extras_->extension.get() : nullptr;
  }
  void attachExtension(SectionExtension* extension);

 protected:
  ConfigSection(const char* name, int32_t fileBacked, int32_t userValue);
  // readContents, also telling whether the input ended while a section was still open.
  // largeSections: see SectionLoader::keepLargeSectionsAsText.
  int readContentsReportingEnd(ConfigStream* stream, int32_t limit, bool* endedInsideSection,
                               size_t largeSections = 0);
  // load() and save(), also giving the system's error code of a failure where it happened
  // (TextStream::systemError; 0 after a success) through *systemError when it is not null.
  // *endedInsideSection, when given: whether the file ended while a section was still open.
  int loadFile(int* systemError, bool* endedInsideSection = nullptr);
  int saveFile(int* systemError);

 private:
  friend ConfigSection* nullSection();
  friend class SectionLoader;
  // A section read from a stream: in the arena's memory when given (else on the heap), taking
  // *kept as its contents when given. nullptr on allocation failure (*kept then keeps them).
  static ConfigSection* newLoaded(void* arenaMemory, SourceText* arena, const char* name,
                                  DeferredContents* kept);
  // Keeps the contents as text until first use (a section without children), taking them
  // from *contents, or reads them at once when they cannot be kept (*contents keeps them).
  void keepAsText(DeferredContents* contents);
  void setKeptText(DeferredContents* contents);
  // Reads contents taken as text into this section (merging).
  void readKeptText(const DeferredContents& contents);
  // Reads contents taken as text into this section as settlePending parses kept text: small
  // plain sections below stay text.
  void readTakenText(const DeferredContents& contents);
  // Writes the children of contents kept as text one at a time, each parsed alone and freed,
  // when the text qualifies (readPlainChildren, no tags): what writing the parsed section
  // writes, without parsing it. -1 when it does not qualify (nothing written), else 1 or 0.
  int writeKeptChildren(ConfigStream* stream) const;
  // Parses the kept text into children, once, under concurrent readers.
  void settlePending() const override;
  // Lets the attached extension object, if any, prepare for the section being written.
  void preSave();
  void dropTag();
  bool canChange() const { return !isFrozen(); }

  // What few sections carry: the tags, the extension object and a file-backed root's fields.
  struct Extras {
    int32_t fileBacked = 0;
    int32_t userValue = 0;
    uint32_t hexTag = 0;
    std::unique_ptr<char[]> textTag;
    CountedRef<SectionExtension> extension;
  };
  // The extras, made on first use; nullptr on allocation failure.
  Extras* extras();
  // The contents kept as text, as the stream takes them.
  DeferredContents keptText() const;

  // Laid out small (112 bytes): a loaded database holds a section per user. The small fields
  // fill the padding after ConfigNode's flags.
  uint8_t tagKind_ = kTagNone;  // a SectionTagKind; extras_ holds the tag
  bool inArena_ = false;
  // The contents kept as text (see DeferredContents): textSource_ is also the reference that a
  // section living in that text's arena holds on it. Never changed once set, so writers may
  // read them while another thread settles the section.
  bool textVerbatim_ = false;
  int32_t textDepth_ = 0;
  Extras* extras_ = nullptr;
  CountedRef<SourceText> textSource_;
  size_t textBegin_ = 0;
  size_t textLength_ = 0;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_CONFIG_SECTION_H_
