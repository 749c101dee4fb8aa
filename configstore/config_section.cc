#include "configstore/config_section.h"

#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "configstore/config_stream.h"
#include "configstore/item_conversion.h"
#include "configstore/pre_save_request.h"
#include "configstore/section_handle.h"
#include "configstore/text_stream.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

// Sections nested deeper than this in a file are read into the deepest allowed one, so that
// neither loading nor writing nor destroying the tree recurses without bound.
constexpr size_t kMaxLoadDepth = 1000;

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
    : ConfigNode(0, name), fileBacked_(fileBacked), userValue_(userValue) {}

ConfigSection::~ConfigSection() {
  dropTag();
  if (text_.source != nullptr) text_.source->release();
}

void ConfigSection::destroy() {
  if (!inArena_) {
    delete this;
    return;
  }
  // The arena holds this object's memory: keep it until the destructor is done.
  SourceText* arena = text_.source;
  arena->addRef();
  this->~ConfigSection();
  arena->release();
}

ConfigSection* ConfigSection::newLoaded(ConfigStream* stream, const char* name) {
  SourceText* arena = stream->sourceText();
  if (arena == nullptr) return new (std::nothrow) ConfigSection(name);
  void* memory = arena->allocate(sizeof(ConfigSection));
  if (memory == nullptr) return nullptr;
  auto* section = new (memory) ConfigSection(name);
  section->inArena_ = true;
  arena->addRef();
  section->text_.source = arena;
  return section;
}

void ConfigSection::keepAsText(const DeferredContents& contents) {
  // contents.source carries a reference of its own; an arena section already holds one.
  if (text_.source != nullptr) text_.source->release();
  text_ = contents;
  markPending();
}

void ConfigSection::settlePending() const {
  std::lock_guard<std::mutex> lock(settleLock(this));
  if (!isPending()) return;  // another thread settled it meanwhile
  ConfigSection parsed(nullptr);
  auto stream = TextStream::forReadingPart(text_.source, text_.begin, text_.length);
  stream->keepWholeSectionsAsText(false);
  stream->setBaseDepth(text_.depth);
  parsed.readContents(stream.get(), -1);
  takeChildren(parsed);
}

int ConfigSection::readContents(ConfigStream* stream, int32_t limit) {
  bool endedInsideSection = false;
  return readContentsReportingEnd(stream, limit, &endedInsideSection);
}

// Loads iteratively: open sections are kept on an explicit stack.
int ConfigSection::readContentsReportingEnd(ConfigStream* stream, int32_t limit,
                                            bool* endedInsideSection) {
  *endedInsideSection = false;
  if (stream == nullptr || !stream->isOpen()) return 0;
  std::vector<ConfigSection*> open{this};
  int32_t sectionsRead = 0;
  std::vector<unsigned char> bytes;
  while (stream->readLine()) {
    ConfigSection* current = open.back();
    const StreamToken token = stream->parseLine();
    switch (token) {
      case kTokenSectionOpen: {
        if (open.size() == 1 && limit == 0) return 1;
        ConfigSection* child = current;
        if (open.size() < kMaxLoadDepth) {
          const char* name = stream->lastName(nullptr);
          // An existing section of that name is reused; else (none, or a value node holds the
          // name) a new one is added, so that nothing of the file is lost and a save writes it
          // back.
          ConfigSection* existing = asSection(current->getByName(name));
          child = existing;
          if (child == nullptr && !current->isFrozen()) {
            child = newLoaded(stream, name);
            if (child != nullptr && current->add(child) == 0) {
              child->destroy();
              child = nullptr;
            }
          }
          if (child == nullptr) child = current;
          const char* tagText = nullptr;
          const int32_t kind = stream->sectionTag(&tagText);
          uint32_t hex = 0;
          if (kind == kTagHex && tagText != nullptr && scanHex(tagText, &hex)) {
            child->setHexTag(hex);
          } else if (kind == kTagText && tagText != nullptr) {
            child->setTextTag(tagText);
          }
          // A fresh section may stay text until first use: any small one of plain value lines,
          // and any whole section directly below the section being loaded.
          DeferredContents contents;
          if (existing == nullptr && child != current &&
              (stream->takePlainSection(&contents) ||
               (open.size() == 1 && stream->takeWholeSection(&contents)))) {
            child->keepAsText(contents);
            if (open.size() == 1) {
              ++sectionsRead;
              if (limit > 0 && sectionsRead >= limit) return 1;
            }
            break;
          }
        }
        open.push_back(child);
        break;
      }
      case kTokenSectionClose:
        open.pop_back();
        if (open.empty()) return 1;
        if (open.size() == 1) {
          ++sectionsRead;
          if (limit > 0 && sectionsRead >= limit) return 1;
        }
        break;
      case kTokenBlockOpen: {
        const char* itemName = nullptr;
        std::string name = stream->lastName(&itemName);
        std::string item = itemName != nullptr ? itemName : "";
        const int32_t lines = stream->countBlockLines();
        if (lines > 0) {
          bytes.assign(static_cast<size_t>(lines), 0);
          stream->readBlock(bytes.data(), static_cast<uint32_t>(lines));
          current->addBinaryItem(name.c_str(), itemName != nullptr ? item.c_str() : nullptr,
                                 bytes.data(), static_cast<uint32_t>(lines));
        } else {
          stream->readBlock(nullptr, 0);
        }
        break;
      }
      case kTokenInt:
      case kTokenFloat:
      case kTokenString:
      case kTokenDouble:
      case kTokenInt64: {
        const char* itemName = nullptr;
        const char* name = stream->lastName(&itemName);
        ConfigValue* value = current->getOrCreateValue(name);
        if (value == nullptr) break;
        switch (token) {
          case kTokenInt: value->addIntItem(itemName, stream->lastInt()); break;
          case kTokenFloat: value->addFloatItem(itemName, stream->lastFloat()); break;
          case kTokenString: value->addStringItem(itemName, stream->lastString()); break;
          case kTokenDouble: value->addDoubleItem(itemName, stream->lastDouble()); break;
          default: value->addInt64Item(itemName, stream->lastInt64()); break;
        }
        break;
      }
      default: break;
    }
  }
  *endedInsideSection = open.size() > 1;
  return 1;
}

int ConfigSection::load() {
  if (!fileBacked_ || !hasName()) return 0;
  TextStream stream(name(), 0);
  if (!stream.isOpen()) return 0;
  readContents(&stream, -1);
  return 1;
}

int ConfigSection::writeContents(ConfigStream* stream) {
  if (stream == nullptr || !stream->isOpen()) return 0;
  if (isPending() && stream->writeContentsText(text_)) return 1;
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

int ConfigSection::save() {
  if (!fileBacked_ || !hasName()) return 0;
  TextStream stream(name(), TextStream::kWriteMode);
  if (!stream.isOpen()) return 0;
  if (!writeContents(&stream)) return 0;  // the stream is dropped: the file stays as it was
  return stream.close();
}

int ConfigSection::writeWhole(ConfigStream* stream) {
  if (stream == nullptr || !stream->isOpen()) return 0;
  preSave();
  if (!openSectionLine(stream, this)) return 0;
  if (!writeContents(stream)) return 0;
  return stream->closeSection();
}

ConfigSection* ConfigSection::clone() const {
  auto* copy = new (std::nothrow) ConfigSection(name(), fileBacked_, userValue_);
  if (copy == nullptr) return nullptr;
  copy->flags_ = flags_;
  copy->tagKind_ = tagKind_;
  copy->hexTag_ = hexTag_;
  if (textTag_ != nullptr) {
    copy->textTag_ = copyText(textTag_.get());
    if (copy->textTag_ == nullptr) {
      copy->destroy();
      return nullptr;
    }
  }
  if (tagKind_ != kTagNone && extension_ != nullptr) copy->attachExtension(extension_);
  if (!copy->cloneChildrenFrom(*this)) {
    copy->destroy();
    return nullptr;
  }
  return copy;
}

CommonHandle* ConfigSection::getInterface(uint32_t id) {
  switch (id) {
    case kPlainInterface:
    case kNamedObjectInterface:
    case kObjectListInterface:
    case kConfigNodeInterface: return ConfigNode::getInterface(id);
    default: break;
  }
  if (extension_ != nullptr) {
    CommonHandle* answer = extension_->getInterface(id);
    if (answer != nullptr) return answer;
  }
  return id == kConfigSectionInterface ? newConfigSectionHandle(this) : nullptr;
}

ConfigValue* ConfigSection::valueByName(const char* name) const {
  ConfigValue* value = asValue(getByName(name));
  return value != nullptr ? value : nullValue();
}

ConfigValue* ConfigSection::valueByIndex(int32_t index) const {
  ConfigValue* value = asValue(getByIndex(index));
  return value != nullptr ? value : nullValue();
}

ConfigSection* ConfigSection::sectionByName(const char* name) const {
  ConfigSection* section = asSection(getByName(name));
  return section != nullptr ? section : nullSection();
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
  hexTag_ = 0;
  textTag_.reset();
  if (extension_ != nullptr) {
    RefObject* extension = extension_;
    extension_ = nullptr;
    extension->release();
  }
}

void ConfigSection::setHexTag(uint32_t tag) {
  if (!canChange()) return;
  dropTag();
  tagKind_ = kTagHex;
  hexTag_ = tag;
}

void ConfigSection::setTextTag(const char* tag) {
  if (!canChange()) return;
  dropTag();
  if (tag == nullptr) return;
  textTag_ = copyText(tag);
  if (textTag_ == nullptr) return;
  tagKind_ = kTagText;
}

void ConfigSection::attachExtension(RefObject* extension) {
  if (!canChange() || extension == extension_) return;
  if (extension != nullptr) extension->addRef();
  if (extension_ != nullptr) extension_->release();
  extension_ = extension;
}

void ConfigSection::preSave() {
  if (extension_ == nullptr) return;
  // An object that answers the pre-save identifier answers it with a PreSaveRequest.
  auto* request = static_cast<PreSaveRequest*>(extension_->getInterface(kPreSaveInterface));
  if (request == nullptr) return;
  request->prepare(this);  // the answer is not used
  request->release();
}

}  // namespace gatekeeper
