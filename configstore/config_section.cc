#include "configstore/config_section.h"

#include <cstring>
#include <mutex>
#include <new>

#include "configstore/config_stream.h"
#include "configstore/section_directory.h"
#include "configstore/section_loader.h"
#include "configstore/text_stream.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

ConfigValue* asValue(NamedObject* child) {
  auto* node = static_cast<ConfigNode*>(child);
  return node != nullptr && node->isValueNode() ? static_cast<ConfigValue*>(node) : nullptr;
}

ConfigSection* asSection(NamedObject* child) {
  auto* node = static_cast<ConfigNode*>(child);
  return node != nullptr && node->isSection() ? static_cast<ConfigSection*>(node) : nullptr;
}

// A heap copy of a text, nullptr on allocation failure.
std::unique_ptr<char[]> copyText(const char* text) {
  const size_t size = std::strlen(text) + 1;
  std::unique_ptr<char[]> copy(new (std::nothrow) char[size]);
  if (copy != nullptr) std::memcpy(copy.get(), text, size);
  return copy;
}

// Sections that settle their kept text serialize on one of these, chosen by address.
std::mutex& settleLock(const void* section) {
  static std::mutex locks[64];
  return locks[(reinterpret_cast<uintptr_t>(section) >> 6) % 64];
}

// The section's opening line by its tag.
int openSectionLine(ConfigStream* stream, const ConfigSection* section) {
  switch (section->tagKind()) {
    case kTagText: return stream->openSectionWithTextTag(section->name(), section->textTag());
    case kTagHex: return stream->openSectionWithHexTag(section->name(), section->hexTag());
    default: return stream->openSection(section->name());
  }
}

}  // namespace

ConfigSection* nullSection() {
  static ConfigSection* const section = [] {
    static ConfigSection placeholder(nullptr);
    placeholder.markPlaceholder();
    placeholder.freeze();
    return &placeholder;
  }();
  return section;
}

ConfigSection::ConfigSection(const char* name) : ConfigNode(0, name) {}

ConfigSection::ConfigSection(const char* name, int32_t fileBacked, int32_t userValue)
    : ConfigNode(0, name) {
  if (fileBacked == 0 && userValue == 0) return;
  // Without the extras (no memory) the root is not file-backed: load and save report 0.
  if (Extras* e = extras()) {
    e->fileBacked = fileBacked;
    e->userValue = userValue;
  }
}

ConfigSection::~ConfigSection() {
  dropTag();
  delete extras_;
}

ConfigSection::Extras* ConfigSection::extras() {
  if (extras_ == nullptr) extras_ = new (std::nothrow) Extras;
  return extras_;
}

DeferredContents ConfigSection::keptText() const {
  DeferredContents contents;
  contents.source = textSource_;
  contents.begin = textBegin_;
  contents.length = textLength_;
  contents.depth = textDepth_;
  contents.verbatim = textVerbatim_;
  return contents;
}

void ConfigSection::destroy() {
  if (!inArena_) {
    delete this;
    return;
  }
  // The arena holds this object's memory: its reference is dropped once the destructor is done.
  const CountedRef<SourceText> arena = std::move(textSource_);
  this->~ConfigSection();
}

ConfigSection* ConfigSection::newLoaded(void* arenaMemory, SourceText* arena, const char* name,
                                        DeferredContents* kept) {
  ConfigSection* section = nullptr;
  if (arenaMemory == nullptr) {
    section = new (std::nothrow) ConfigSection(name);
  } else {
    section = new (arenaMemory) ConfigSection(name);
    section->inArena_ = true;
    // Kept contents of the same text carry the reference on the arena that the section holds.
    if (kept != nullptr && kept->source == arena) {
      section->setKeptText(kept);
      return section;
    }
    section->textSource_ = CountedRef<SourceText>::share(arena);
  }
  if (section != nullptr && kept != nullptr) section->keepAsText(kept);
  return section;
}

void ConfigSection::setKeptText(DeferredContents* contents) {
  textSource_ = std::move(contents->source);
  textBegin_ = contents->begin;
  textLength_ = contents->length;
  textDepth_ = contents->depth;
  textVerbatim_ = contents->verbatim;
  markPending();
}

void ConfigSection::keepAsText(DeferredContents* contents) {
  // An arena section holds a reference to the text it lives in: contents of another text are
  // read at once (and stay with the caller).
  if (inArena_ && contents->source != textSource_) {
    readKeptText(*contents);
    return;
  }
  setKeptText(contents);
}

void ConfigSection::settlePending() const {
  std::lock_guard<std::mutex> lock(settleLock(this));
  if (!isPending()) return;  // another thread settled it meanwhile
  ConfigSection parsed(nullptr);
  parsed.readTakenText(keptText());
  takeChildren(parsed);
}

void ConfigSection::readTakenText(const DeferredContents& contents) {
  TextStream stream(contents.source, contents.begin, contents.length);
  stream.keepWholeSectionsAsText(false);
  stream.setBaseDepth(contents.depth);
  readContents(&stream, -1);
}

void ConfigSection::readKeptText(const DeferredContents& contents) {
  TextStream stream(contents.source, contents.begin, contents.length);
  stream.keepSectionsAsText(false);
  stream.setBaseDepth(contents.depth);
  readContents(&stream, -1);
}

int ConfigSection::readContents(ConfigStream* stream, int32_t limit) {
  bool endedInsideSection = false;
  return readContentsReportingEnd(stream, limit, &endedInsideSection);
}

int ConfigSection::readContentsKeepingLarge(ConfigStream* stream, size_t largeSections) {
  bool endedInsideSection = false;
  return readContentsReportingEnd(stream, -1, &endedInsideSection, largeSections);
}

int ConfigSection::readContentsReportingEnd(ConfigStream* stream, int32_t limit,
                                            bool* endedInsideSection, size_t largeSections) {
  SectionLoader loader(this, stream, limit);
  loader.keepLargeSectionsAsText(largeSections);
  const int result = loader.read();
  *endedInsideSection = loader.endedInsideSection();
  return result;
}

int ConfigSection::load() { return loadFile(nullptr); }

int ConfigSection::loadFile(int* systemError, bool* endedInsideSection) {
  if (systemError != nullptr) *systemError = 0;
  if (!fileBacked() || !hasName()) return 0;
  TextStream stream = TextStream::openForReading(name());
  if (!stream.isOpen()) {
    if (systemError != nullptr) *systemError = stream.systemError();
    return 0;
  }
  bool ended = false;
  readContentsReportingEnd(&stream, -1, &ended);
  if (endedInsideSection != nullptr) *endedInsideSection = ended;
  return 1;
}

int ConfigSection::writeContents(ConfigStream* stream) {
  if (stream == nullptr || !stream->isOpen()) return 0;
  if (isPending() && stream->writeContentsText(keptText())) return 1;
  if (isPending()) {
    const int written = writeKeptChildren(stream);
    if (written >= 0) return written;
  }
  for (int32_t i = 1; i <= count(); ++i) {
    const ConfigValue* value = asValue(getByIndex(i));
    if (value == nullptr || value->isPlaceholder()) continue;
    if (!value->writeTo(stream)) return 0;
  }
  for (int32_t i = 1; i <= count(); ++i) {
    ConfigSection* section = asSection(getByIndex(i));
    if (section == nullptr || section->isPlaceholder()) continue;
    if (!section->writeWhole(stream)) return 0;
  }
  return 1;
}

int ConfigSection::writeKeptChildren(ConfigStream* stream) const {
  const DeferredContents contents = keptText();
  ChildTexts children;
  if (!readPlainChildren(textSource_->text(), contents, &children, true)) return -1;
  for (size_t i = 0; i < children.size(); ++i) {
    if (children[i].tagged) return -1;
  }
  for (size_t i = 0; i < children.size(); ++i) {
    const PlainChildText& child = children[i];
    const std::string name(textSource_->text().substr(child.nameBegin, child.nameLength));
    DeferredContents lines = contents;
    lines.begin = child.contentsBegin;
    lines.length = child.contentsLength;
    lines.depth = contents.depth + 1;
    lines.verbatim = child.verbatim;
    // As written back from the parsed section: its plain children as their text, the others
    // parsed.
    if (child.verbatim && stream->writeSectionText(name.c_str(), lines)) continue;
    ConfigSection section(name.c_str());
    section.readTakenText(lines);
    if (!section.writeWhole(stream)) return 0;
  }
  return 1;
}

int ConfigSection::save() { return saveFile(nullptr); }

int ConfigSection::saveFile(int* systemError) {
  if (systemError != nullptr) *systemError = 0;
  if (!fileBacked() || !hasName()) return 0;
  TextStream stream = TextStream::openForWriting(name());
  // The stream's error is taken before it is destroyed: removing its temporary file could
  // change the thread's last error.
  int result = 0;
  if (stream.isOpen() && writeContents(&stream)) result = stream.close();
  // Otherwise the stream is dropped: the file stays as it was.
  if (result == 0 && systemError != nullptr) *systemError = stream.systemError();
  return result;
}

int ConfigSection::writeWhole(ConfigStream* stream) {
  if (stream == nullptr || !stream->isOpen()) return 0;
  // Untouched since loading: as it was read, lines around included, when those are the same.
  if (isPending() && tagKind_ == kTagNone && extension() == nullptr &&
      stream->writeSectionText(name(), keptText())) {
    return 1;
  }
  preSave();
  if (!openSectionLine(stream, this)) return 0;
  if (!writeContents(stream)) return 0;
  return stream->closeSection();
}

ConfigSection* ConfigSection::clone() const {
  auto* copy = new (std::nothrow) ConfigSection(name(), fileBacked(), userValue());
  if (copy == nullptr) return nullptr;
  if (copy->fileBacked() != fileBacked() || copy->userValue() != userValue()) {
    copy->destroy();
    return nullptr;
  }
  copy->copyFlagsFrom(*this);
  if (tagKind_ == kTagHex) {
    copy->setHexTag(extras_->hexTag);
  } else if (tagKind_ == kTagText) {
    copy->setTextTag(extras_->textTag.get());
  }
  if (copy->tagKind_ != tagKind_) {
    copy->destroy();
    return nullptr;
  }
  if (tagKind_ != kTagNone && extras_->extension != nullptr) {
    copy->attachExtension(extras_->extension.get());
  }
  if (!copy->cloneChildrenFrom(*this)) {
    copy->destroy();
    return nullptr;
  }
  return copy;
}

ConfigValue* ConfigSection::valueByName(const char* name) const {
  bool valueNode = false;
  NamedObject* child = getByName(name, &valueNode);
  return child != nullptr && valueNode ? static_cast<ConfigValue*>(child) : nullValue();
}

ConfigValue* ConfigSection::valueByIndex(int32_t index) const {
  ConfigValue* value = asValue(getByIndex(index));
  return value != nullptr ? value : nullValue();
}

ConfigSection* ConfigSection::sectionByName(const char* name) const {
  bool valueNode = false;
  NamedObject* child = getByName(name, &valueNode);
  return child != nullptr && !valueNode ? static_cast<ConfigSection*>(child) : nullSection();
}

ConfigSection* ConfigSection::sectionByIndex(int32_t index) const {
  ConfigSection* section = asSection(getByIndex(index));
  return section != nullptr ? section : nullSection();
}

ConfigValue* ConfigSection::getOrCreateValue(const char* name) {
  if (!canChange()) return nullptr;
  NamedObject* existing = getByName(name);
  if (existing != nullptr) return asValue(existing);
  auto* value = new (std::nothrow) ConfigValue(name);
  if (value == nullptr) return nullptr;
  if (add(value) == 0) {
    value->destroy();
    return nullptr;
  }
  return value;
}

ConfigSection* ConfigSection::getOrCreateSection(const char* name) {
  if (!canChange()) return nullptr;
  NamedObject* existing = getByName(name);
  if (existing != nullptr) return asSection(existing);
  auto* section = new (std::nothrow) ConfigSection(name);
  if (section == nullptr) return nullptr;
  if (add(section) == 0) {
    section->destroy();
    return nullptr;
  }
  return section;
}

ConfigSection* ConfigSection::createSection(const char* name) {
  getOrCreateSection(name);
  return this;
}

ConfigSection* ConfigSection::createValue(const char* name) {
  getOrCreateValue(name);
  return this;
}

int ConfigSection::setInt(const char* name, int32_t value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->setInt(value) : 0;
}

int ConfigSection::setFloat(const char* name, float value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->setFloat(value) : 0;
}

int ConfigSection::setDouble(const char* name, double value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->setDouble(value) : 0;
}

int ConfigSection::setString(const char* name, const char* value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->setString(value) : 0;
}

int ConfigSection::setInt64(const char* name, int64_t value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->setInt64(value) : 0;
}

int ConfigSection::setBinary(const char* name, const void* data, uint32_t length) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->setBinary(data, length) : 0;
}

ValueItem* ConfigSection::addIntItem(const char* name, const char* itemName, int32_t value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->addIntItem(itemName, value) : nullptr;
}

ValueItem* ConfigSection::addFloatItem(const char* name, const char* itemName, float value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->addFloatItem(itemName, value) : nullptr;
}

ValueItem* ConfigSection::addStringItem(const char* name, const char* itemName,
                                        const char* value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->addStringItem(itemName, value) : nullptr;
}

ValueItem* ConfigSection::addDoubleItem(const char* name, const char* itemName, double value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->addDoubleItem(itemName, value) : nullptr;
}

ValueItem* ConfigSection::addInt64Item(const char* name, const char* itemName, int64_t value) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->addInt64Item(itemName, value) : nullptr;
}

ValueItem* ConfigSection::addBinaryItem(const char* name, const char* itemName,
                                        const void* data, uint32_t length) {
  ConfigValue* node = getOrCreateValue(name);
  return node != nullptr ? node->addBinaryItem(itemName, data, length) : nullptr;
}

namespace {

template <typename Matches>
ConfigValue* findValue(const ConfigSection& section, Matches matches) {
  for (int32_t i = 1; i <= section.count(); ++i) {
    ConfigValue* value = asValue(section.getByIndex(i));
    if (value != nullptr && !value->isPlaceholder() && matches(*value)) return value;
  }
  return nullValue();
}

}  // namespace

ConfigValue* ConfigSection::findValueByString(const char* text) const {
  const char* wanted = text != nullptr ? text : "";
  return findValue(*this, [wanted](const ConfigValue& v) {
    return platform::namesEqual(v.getString(), wanted);
  });
}

ConfigValue* ConfigSection::findValueByInt(int32_t value) const {
  return findValue(*this, [value](const ConfigValue& v) { return v.getInt() == value; });
}

ConfigValue* ConfigSection::findValueByFloat(float value) const {
  return findValue(*this, [value](const ConfigValue& v) { return v.getFloat() == value; });
}

ConfigValue* ConfigSection::findValueByDouble(double value) const {
  return findValue(*this, [value](const ConfigValue& v) { return v.getDouble() == value; });
}

ConfigValue* ConfigSection::findValueByInt64(int64_t value) const {
  return findValue(*this, [value](const ConfigValue& v) { return v.getInt64() == value; });
}

ConfigSection* ConfigSection::filteredCopy(NameComparator* selector) const {
  auto* copy = new (std::nothrow) ConfigSection(name());
  if (copy == nullptr) return nullptr;
  NameComparator acceptAll;
  NameComparator* s = selector != nullptr ? selector : &acceptAll;
  for (int32_t i = 1; i <= count(); ++i) {
    const NamedObject* child = getByIndex(i);
    if (child == nullptr || !s->accept(child)) continue;
    NamedObject* clone = child->clone();
    if (clone == nullptr || copy->add(clone) == 0) {
      if (clone != nullptr) clone->destroy();
      copy->destroy();
      return nullptr;
    }
  }
  return copy;
}

void ConfigSection::dropTag() {
  tagKind_ = kTagNone;
  if (extras_ == nullptr) return;
  extras_->hexTag = 0;
  extras_->textTag.reset();
  extras_->extension.reset();
}

void ConfigSection::setHexTag(uint32_t tag) {
  if (!canChange()) return;
  dropTag();
  Extras* e = extras();
  if (e == nullptr) return;
  tagKind_ = kTagHex;
  e->hexTag = tag;
}

void ConfigSection::setTextTag(const char* tag) {
  if (!canChange()) return;
  dropTag();
  if (tag == nullptr) return;
  Extras* e = extras();
  if (e == nullptr) return;
  e->textTag = copyText(tag);
  if (e->textTag == nullptr) return;
  tagKind_ = kTagText;
}

void ConfigSection::attachExtension(SectionExtension* extension) {
  if (!canChange() || extension == this->extension()) return;
  Extras* e = extras();
  if (e == nullptr) return;
  e->extension = CountedRef<SectionExtension>::share(extension);
}

void ConfigSection::preSave() {
  if (SectionExtension* extension = this->extension()) extension->prepareForSave(this);
}

}  // namespace gatekeeper
