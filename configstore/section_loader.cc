#include "configstore/section_loader.h"

#include <algorithm>
#include <new>
#include <utility>

#include "configstore/config_value.h"
#include "configstore/item_conversion.h"
#include "configstore/section_directory.h"

namespace gatekeeper {

namespace {

// Sections nested deeper than this in a file are read into the deepest allowed one, so that
// neither loading nor writing nor destroying the tree recurses without bound.
constexpr size_t kMaxLoadDepth = 1000;

// The most sections one allocation from the arena holds.
constexpr size_t kLongestArenaRun = 64;

}  // namespace

SectionLoader::SectionLoader(ConfigSection* into, ConfigStream* stream, int32_t limit)
    : into_(into),
      stream_(stream),
      limit_(limit),
      arena_(stream != nullptr ? stream->sourceText() : nullptr) {}

int SectionLoader::read() {
  endedInsideSection_ = false;
  if (stream_ == nullptr || !stream_->isOpen()) return 0;
  open_.assign(1, into_);
  while (true) {
    Progress progress = Progress::kGoOn;
    if (takePlainRun(&progress)) {
      if (progress == Progress::kDone) return 1;
      continue;
    }
    if (!stream_->readLine()) break;
    const StreamToken token = stream_->parseLine();
    switch (token) {
      case kTokenSectionOpen: progress = openSection(); break;
      case kTokenSectionClose: progress = closeSection(); break;
      case kTokenBlockOpen: readBinaryBlock(); break;
      case kTokenInt:
      case kTokenFloat:
      case kTokenString:
      case kTokenDouble:
      case kTokenInt64: readItem(token); break;
      default: break;
    }
    if (progress == Progress::kDone) return 1;
  }
  endedInsideSection_ = open_.size() > 1;
  return 1;
}

bool SectionLoader::takePlainRun(Progress* progress) {
  ConfigSection* current = open_.back();
  int32_t most = kRun;
  if (atTop() && limit_ >= 0) most = std::min(most, limit_ - sectionsRead_);
  if (current->isFrozen() || open_.size() >= kMaxLoadDepth) most = 0;
  int32_t taken = 0;
  while (taken < most && stream_->takePlainChild(&run_[taken].name, &run_[taken].contents)) {
    run_[taken].key = ConfigSection::keyOf(run_[taken].name.c_str());
    current->prefetchKey(run_[taken].key);
    ++taken;
  }
  if (taken == 0) return false;
  for (int32_t i = 0; i < taken; ++i) {
    addTaken(current, run_[i].name.c_str(), run_[i].key, &run_[i].contents);
    run_[i].contents = DeferredContents();
  }
  expectMore(current);
  *progress = countRead(taken);
  return true;
}

SectionLoader::Progress SectionLoader::openSection() {
  ConfigSection* current = open_.back();
  if (atTop() && limit_ == 0) return Progress::kDone;
  if (open_.size() >= kMaxLoadDepth) {
    open_.push_back(current);
    return Progress::kGoOn;
  }
  const std::string name = stream_->lastName(nullptr);
  const NameKey key = ConfigSection::keyOf(name.c_str());
  const Tag tag = readTag();
  // A small section of plain value lines stays text until first use. Its lines are taken
  // before the name is looked up, so that the lookup's memory reads overlap that work.
  current->prefetchKey(key);
  DeferredContents contents;
  const bool plain = !current->isFrozen() && stream_->takePlainSection(&contents);
  if (plain && tag.kind == kTagNone) {
    addTaken(current, name.c_str(), key, &contents);
    return countRead(1);
  }
  // An existing section of that name is reused; else (none, or a value node holds the name) a
  // new one is added, so that nothing of the file is lost and a save writes it back.
  ConfigSection* const existing = sectionOf(current, key);
  ConfigSection* child = existing;
  if (child == nullptr && !current->isFrozen()) {
    child = addLoaded(current, name.c_str(), key, plain ? &contents : nullptr);
  }
  // A new child took the plain contents.
  const bool fresh = child != nullptr && existing == nullptr;
  if (child == nullptr) child = current;
  applyTag(child, tag);
  if (plain) {
    if (!fresh) child->readKeptText(contents);  // lines of a repeated section merge into the first
    return countRead(1);
  }
  // Any whole section directly below the section being loaded may stay text too.
  if (fresh && atTop() && stream_->takeWholeSection(&contents)) {
    child->keepAsText(&contents);
    return countRead(1);
  }
  // So may a large one below those: a small one is read from the text taken, as it would
  // have been read line by line.
  if (fresh && largeSection_ != 0 && open_.size() == 2 && takeNestedSection(&contents)) {
    if (contents.length >= largeSection_) {
      child->keepAsText(&contents);
    } else {
      child->readTakenText(contents);
    }
    return Progress::kGoOn;
  }
  open_.push_back(child);
  return Progress::kGoOn;
}

bool SectionLoader::takeNestedSection(DeferredContents* contents) {
  // Where the text's directories record the section, its end is known: the loader that made
  // them found it so in this same text.
  size_t length = 0;
  if (arena_ != nullptr &&
      SectionDirectories::recordedLength(arena_->appendix(), stream_->sourceOffset(), &length) &&
      stream_->takeSectionOfLength(length, contents)) {
    return true;
  }
  return stream_->takeAnyWholeSection(contents) != 0;
}

SectionLoader::Progress SectionLoader::closeSection() {
  open_.pop_back();
  if (open_.empty()) return Progress::kDone;
  return countRead(1);
}

void SectionLoader::readBinaryBlock() {
  const char* itemName = nullptr;
  const std::string name = stream_->lastName(&itemName);
  const std::string item = itemName != nullptr ? itemName : "";
  const int32_t lines = stream_->countBlockLines();
  if (lines <= 0) {
    stream_->readBlock(nullptr, 0);
    return;
  }
  bytes_.assign(static_cast<size_t>(lines), 0);
  stream_->readBlock(bytes_.data(), static_cast<uint32_t>(lines));
  open_.back()->addBinaryItem(name.c_str(), itemName != nullptr ? item.c_str() : nullptr,
                              bytes_.data(), static_cast<uint32_t>(lines));
}

void SectionLoader::readItem(StreamToken token) {
  const char* itemName = nullptr;
  const char* name = stream_->lastName(&itemName);
  ConfigValue* value = open_.back()->getOrCreateValue(name);
  if (value == nullptr) return;
  switch (token) {
    case kTokenInt: value->addIntItem(itemName, stream_->lastInt()); break;
    case kTokenFloat: value->addFloatItem(itemName, stream_->lastFloat()); break;
    case kTokenString: value->addStringItem(itemName, stream_->lastString()); break;
    case kTokenDouble: value->addDoubleItem(itemName, stream_->lastDouble()); break;
    default: value->addInt64Item(itemName, stream_->lastInt64()); break;
  }
}

SectionLoader::Progress SectionLoader::countRead(int32_t sections) {
  if (!atTop()) return Progress::kGoOn;
  sectionsRead_ += sections;
  return limit_ > 0 && sectionsRead_ >= limit_ ? Progress::kDone : Progress::kGoOn;
}

SectionLoader::Tag SectionLoader::readTag() const {
  Tag tag;
  const char* tagText = nullptr;
  tag.kind = stream_->sectionTag(&tagText);
  if (tagText == nullptr) return tag;
  if (tag.kind == kTagHex) {
    tag.hex = scanHex(tagText, &tag.hexValue);
  } else if (tag.kind == kTagText) {
    tag.text = true;
    tag.textValue = tagText;
  }
  return tag;
}

void SectionLoader::applyTag(ConfigSection* section, const Tag& tag) {
  if (tag.hex) {
    section->setHexTag(tag.hexValue);
  } else if (tag.text) {
    section->setTextTag(tag.textValue.c_str());
  }
}

ConfigSection* SectionLoader::sectionOf(const ConfigSection* parent, const NameKey& key) {
  NamedObject* found = nullptr;
  bool valueNode = false;
  parent->findByKey(key, &found, &valueNode);
  return found != nullptr && !valueNode ? static_cast<ConfigSection*>(found) : nullptr;
}

ConfigSection* SectionLoader::addLoaded(ConfigSection* parent, const char* name,
                                        const NameKey& key, DeferredContents* kept) {
  ConfigSection* section = nullptr;
  if (arena_ == nullptr) {
    section = ConfigSection::newLoaded(nullptr, nullptr, name, kept);
  } else if (void* memory = arenaMemory()) {
    section = ConfigSection::newLoaded(memory, arena_, name, kept);
  }
  if (section == nullptr) return nullptr;
  if (parent->addWithKey(section, key) != 0) return section;
  // Not added (no memory): the contents it kept go back to the caller.
  if (section->keptAsText()) *kept = section->keptText();
  section->destroy();
  return nullptr;
}

void SectionLoader::addTaken(ConfigSection* parent, const char* name, const NameKey& key,
                             DeferredContents* contents) {
  ConfigSection* target = sectionOf(parent, key);
  if (target == nullptr) {
    if (addLoaded(parent, name, key, contents) != nullptr) return;
    target = parent;
  }
  target->readKeptText(*contents);
}

void* SectionLoader::arenaMemory() {
  if (arenaLeft_ == 0) {
    arenaNext_ = static_cast<char*>(arena_->allocate(arenaRun_ * sizeof(ConfigSection)));
    if (arenaNext_ == nullptr) return nullptr;
    arenaLeft_ = arenaRun_;
    // A load that makes few sections wastes little.
    if (arenaRun_ < kLongestArenaRun) arenaRun_ *= 2;
  }
  void* memory = arenaNext_;
  arenaNext_ += sizeof(ConfigSection);
  --arenaLeft_;
  return memory;
}

void SectionLoader::expectMore(ConfigSection* list) {
  const int32_t count = list->count();
  if (list != growingList_) {
    growingList_ = list;
    remainingAtStart_ = stream_->remainingBytes();
    countAtStart_ = count;
    nextCheck_ = count < 4096 ? 4096 : 2 * count;
    return;
  }
  if (count < nextCheck_) return;
  nextCheck_ = 2 * count;
  const uint64_t remaining = stream_->remainingBytes();
  const uint64_t consumed = remainingAtStart_ - remaining;
  const uint64_t taken = static_cast<uint64_t>(count - countAtStart_);
  if (consumed == 0 || taken == 0) return;
  const uint64_t perSection = consumed / taken > 0 ? consumed / taken : 1;
  uint64_t expected = static_cast<uint64_t>(count) + remaining / perSection;
  const uint64_t most = 4 * static_cast<uint64_t>(count);
  if (expected > most) expected = most;
  list->reserveNames(static_cast<size_t>(expected));
}

}  // namespace gatekeeper
