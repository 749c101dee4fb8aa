#include "configstore/section_directory.h"

#include <cstring>

#include "configstore/kept_text_scanner.h"
#include "configstore/text_line.h"
#include "configstore/text_stream.h"
#include "platform/names.h"

namespace gatekeeper {

// ---- A child read from its lines ----

namespace {

// Calls visit(line) for each value line of contents, in order, until it returns true; whether
// one did. Lines are cut and classified as the reader does.
template <typename Visit>
bool forEachValueLine(std::string_view contents, Visit visit) {
  const char* at = contents.data();
  size_t left = contents.size();
  while (left != 0) {
    const size_t length = linePieceLength(at, left);
    const TextLine line = classifyLine(at, length);
    at += length;
    left -= length;
    if (line.kind == LineKind::kValue && visit(line)) return true;
  }
  return false;
}

// The value name of a value line: its name without the item name.
std::string_view valueNameOf(const TextLine& line) {
  std::string_view valueName = line.name;
  std::string_view itemName;
  splitItemName(line.name, &valueName, &itemName);
  return valueName;
}

// The number a value line of a number type holds; false when the reader would skip the line
// (its text scans as no number).
bool scannedNumber(int32_t itemType, std::string_view value, NumberValue* number) {
  if (value.size() > kLongestField) return false;
  char text[kFieldBufferSize];
  std::memcpy(text, value.data(), value.size());
  text[value.size()] = '\0';
  return scanNumber(itemType, text, number);
}

}  // namespace

PlainChild::PlainChild(std::string_view name, std::string_view contents)
    : name_(name), contents_(contents) {
  forEachValueLine(contents, [&](const TextLine& line) {
    if (lineCount_ == kKeptLines) {
      lineCount_ = -1;
      return true;
    }
    lines_[lineCount_++] = ValueLine{valueNameOf(line), line.value, line.itemType};
    return false;
  });
}

template <typename Visit>
bool PlainChild::visitValueLines(const char* name, Visit visit) const {
  if (lineCount_ >= 0) {
    for (int i = 0; i < lineCount_; ++i) {
      if (sameName(lines_[i].name, name) && visit(lines_[i].itemType, lines_[i].value)) {
        return true;
      }
    }
    return false;
  }
  return forEachValueLine(contents_, [&](const TextLine& line) {
    return sameName(valueNameOf(line), name) && visit(line.itemType, line.value);
  });
}

bool PlainChild::hasValue(const char* name) const {
  // Whether the reader makes an item of one of the lines.
  return visitValueLines(name, [](int32_t itemType, std::string_view value) {
    NumberValue number;
    return itemType == kItemString || scannedNumber(itemType, value, &number);
  });
}

int32_t PlainChild::getInt(const char* name) const {
  int32_t result = 0;
  visitValueLines(name, [&](int32_t itemType, std::string_view value) {
    NumberValue number;
    if (itemType != kItemInt || !scannedNumber(itemType, value, &number)) return false;
    result = static_cast<int32_t>(number.whole);
    return true;
  });
  return result;
}

std::string PlainChild::getString(const char* name) const {
  std::string result;
  visitValueLines(name, [&](int32_t itemType, std::string_view value) {
    if (itemType != kItemString) return false;
    result.assign(value);
    return true;
  });
  return result;
}

// ---- A section's children from its lines ----

bool readPlainChildren(std::string_view text, const DeferredContents& contents,
                       ChildTexts* children, bool checkVerbatim) {
  children->clear();
  if (contents.begin > text.size() || contents.length > text.size() - contents.begin) {
    return false;
  }
  const char* const base = text.data();
  const size_t end = contents.begin + contents.length;
  bool inChild = false;
  std::string name;  // of the open child
  std::string scratch;
  PlainChildText child;
  for (size_t at = contents.begin; at < end;) {
    const size_t length = linePieceLength(base + at, end - at);
    // What a line is follows from its first character after blanks: only the lines that can
    // open or close something, or be a value of the section's own, are classified.
    size_t first = at;
    while (first < at + length && (base[first] == ' ' || base[first] == '\t')) ++first;
    const char c = first < at + length ? base[first] : '\0';
    if (c != '{' && c != '}' && c != '[' && c != ']' && (inChild || c != '(')) {
      at += length;
      continue;
    }
    const TextLine line = classifyLine(base + at, length);
    at += length;
    switch (line.kind) {
      case LineKind::kNothing:
      case LineKind::kOther: break;
      case LineKind::kValue:
        if (!inChild) return false;  // a value of the section's own
        break;
      case LineKind::kSectionOpen:
        if (inChild) return false;  // a section inside a child
        inChild = true;
        name.assign(line.name);
        child.nameBegin = static_cast<size_t>(line.name.data() - base);
        child.nameLength = line.name.size();
        child.tagged = line.tagKind != 0;
        child.contentsBegin = at;
        break;
      case LineKind::kSectionClose:
        // A closing line of another name is ignored by the reader.
        if (!inChild || !sameName(line.name, name.c_str())) break;
        inChild = false;
        child.contentsLength = at - length - child.contentsBegin;
        if (!platform::nameHash(name.c_str(), &child.hash)) return false;
        child.verbatim = checkVerbatim &&
                         KeptTextScanner::plainContentsEnd(
                             text.substr(0, end), child.contentsBegin,
                             4 * (static_cast<size_t>(contents.depth) + 1), name.c_str(),
                             &child.verbatim, &scratch) == at &&
                         child.verbatim;
        if (!children->push(child)) return false;
        break;
      default: return false;  // binary blocks
    }
  }
  if (inChild) return false;
  // A repeated name: the reader merges the two children into one.
  size_t slotCount = 16;
  while (slotCount < 2 * children->size() + 1) slotCount *= 2;
  platform::BlockArray<uint32_t> slots;
  if (!slots.assign(slotCount, 0)) return false;
  const uint64_t mask = slotCount - 1;
  auto nameOf = [&](const PlainChildText& c) { return text.substr(c.nameBegin, c.nameLength); };
  for (size_t i = 0; i < children->size(); ++i) {
    const PlainChildText& next = (*children)[i];
    uint64_t at = next.hash & mask;
    for (; slots[at] != 0; at = (at + 1) & mask) {
      const PlainChildText& other = (*children)[slots[at] - 1];
      if (other.hash == next.hash && sameName(nameOf(other), std::string(nameOf(next)).c_str())) {
        return false;
      }
    }
    slots[at] = static_cast<uint32_t>(i + 1);
  }
  return true;
}

// ---- The image ----
//
// Made and read on one machine (native byte order), 8-byte aligned throughout:
//   Header, then per directory: DirectoryHeader, Entry[childCount], Slot[slotCount].
// Slots are an open-addressing table (linear probing, at most half full) of the children's
// name hashes: the upper half of the hash, and the entry's index plus one (0: empty).

namespace {

constexpr uint64_t kImageMark = 0x4b47534543444952ull;  // "KGSECDIR"

struct Header {
  uint64_t mark;
  uint64_t directoryCount;
};

struct DirectoryHeader {
  uint64_t contentsBegin;
  uint64_t contentsLength;
  uint64_t childCount;
  uint64_t slotCount;
};

}  // namespace

struct SectionDirectory::Entry {
  uint64_t contentsBegin;   // offset in the text
  uint32_t contentsLength;
  uint16_t nameLength;
  uint16_t nameGap;         // from the name's first byte to the contents
};

struct SectionDirectory::Slot {
  uint32_t childPlusOne;
  uint32_t hashTag;
};

namespace {

template <typename T>
bool append(DirectoryImage* image, const T* values, size_t count) {
  return image->append(reinterpret_cast<const char*>(values), count * sizeof(T));
}

// The directory of one section kept as text, appended to the image; false (the image
// unchanged) when the section does not qualify.
bool appendDirectory(std::string_view text, const DeferredContents& contents,
                     DirectoryImage* image) {
  ChildTexts children;
  if (!readPlainChildren(text, contents, &children, false) || children.empty()) return false;
  for (size_t i = 0; i < children.size(); ++i) {
    const PlainChildText& child = children[i];
    if (child.contentsLength > UINT32_MAX || child.contentsBegin - child.nameBegin > UINT16_MAX ||
        child.nameLength > UINT16_MAX) {
      return false;
    }
  }
  uint64_t slotCount = 16;
  while (slotCount < 2 * children.size() + 1) slotCount *= 2;
  platform::BlockArray<SectionDirectory::Slot> slots;
  if (!slots.assign(slotCount, SectionDirectory::Slot{0, 0})) return false;
  for (size_t i = 0; i < children.size(); ++i) {
    uint64_t at = children[i].hash & (slotCount - 1);
    while (slots[at].childPlusOne != 0) at = (at + 1) & (slotCount - 1);
    slots[at] = {static_cast<uint32_t>(i + 1), static_cast<uint32_t>(children[i].hash >> 32)};
  }
  const size_t before = image->size();
  const DirectoryHeader head{contents.begin, contents.length, children.size(), slotCount};
  bool written = append(image, &head, 1);
  for (size_t i = 0; written && i < children.size(); ++i) {
    const PlainChildText& child = children[i];
    const SectionDirectory::Entry entry{
        child.contentsBegin, static_cast<uint32_t>(child.contentsLength),
        static_cast<uint16_t>(child.nameLength),
        static_cast<uint16_t>(child.contentsBegin - child.nameBegin)};
    written = append(image, &entry, 1);
  }
  written = written && append(image, slots.data(), slots.size());
  if (!written) image->truncate(before);
  return written;
}

}  // namespace

namespace {

// Calls visit on each section two levels down in a tree (a child of a top-level section).
template <typename Visit>
void forEachNestedSection(const ConfigSection& root, Visit visit) {
  for (int32_t i = 1; i <= root.count(); ++i) {
    const ConfigSection* top = root.sectionByIndex(i);
    for (int32_t j = 1; j <= top->count(); ++j) visit(*top->sectionByIndex(j));
  }
}

}  // namespace

DirectoryImage SectionDirectories::build(std::string_view text, size_t largeSections) {
  auto source = CountedRef<SourceText>::adopt(SourceText::borrow(text));
  if (source == nullptr || largeSections == 0) return DirectoryImage();
  DirectoryImage image;
  uint64_t directories = 0;
  const Header empty{kImageMark, 0};
  if (!append(&image, &empty, 1)) return DirectoryImage();
  {
    ConfigSection root(nullptr);
    TextStream stream(source.get(), 0, text.size());
    stream.keepWholeSectionsAsText(false);
    root.readContentsKeepingLarge(&stream, largeSections);
    forEachNestedSection(root, [&](const ConfigSection& section) {
      const DeferredContents contents = section.keptContents();
      if (contents.source != nullptr && contents.length >= largeSections &&
          appendDirectory(text, contents, &image)) {
        ++directories;
      }
    });
  }
  if (directories == 0) return DirectoryImage();
  const Header header{kImageMark, directories};
  std::memcpy(image.data(), &header, sizeof header);
  return image;
}

bool SectionDirectories::recordedLength(std::string_view image, size_t begin, size_t* length) {
  Header header;
  if (image.size() < sizeof header) return false;
  std::memcpy(&header, image.data(), sizeof header);
  if (header.mark != kImageMark) return false;
  size_t at = sizeof header;
  for (uint64_t d = 0; d < header.directoryCount; ++d) {
    DirectoryHeader head;
    if (image.size() - at < sizeof head) return false;
    std::memcpy(&head, image.data() + at, sizeof head);
    if (head.contentsBegin == begin) {
      *length = head.contentsLength;
      return true;
    }
    const uint64_t skip = head.childCount * sizeof(SectionDirectory::Entry) +
                          head.slotCount * sizeof(SectionDirectory::Slot);
    if (head.childCount > image.size() || head.slotCount > image.size() ||
        skip > image.size() - at - sizeof head) {
      return false;
    }
    at += sizeof head + skip;
  }
  return false;
}

SectionDirectories::SectionDirectories(std::string_view image, std::string_view text) {
  Header header;
  if (image.size() < sizeof header ||
      reinterpret_cast<uintptr_t>(image.data()) % alignof(uint64_t) != 0) {
    return;
  }
  std::memcpy(&header, image.data(), sizeof header);
  if (header.mark != kImageMark) return;
  size_t at = sizeof header;
  std::vector<SectionDirectory> found;
  for (uint64_t d = 0; d < header.directoryCount; ++d) {
    DirectoryHeader head;
    if (image.size() - at < sizeof head) return;
    std::memcpy(&head, image.data() + at, sizeof head);
    at += sizeof head;
    const uint64_t slotMask = head.slotCount - 1;
    if (head.contentsBegin > text.size() || head.contentsLength > text.size() - head.contentsBegin ||
        head.slotCount == 0 || (head.slotCount & slotMask) != 0 ||
        head.childCount >= head.slotCount ||
        (image.size() - at) / sizeof(SectionDirectory::Entry) < head.childCount) {
      return;
    }
    SectionDirectory directory;
    directory.text_ = text;
    directory.contentsBegin_ = head.contentsBegin;
    directory.contentsLength_ = head.contentsLength;
    directory.childCount_ = head.childCount;
    directory.slotMask_ = slotMask;
    directory.entries_ = reinterpret_cast<const SectionDirectory::Entry*>(image.data() + at);
    at += head.childCount * sizeof(SectionDirectory::Entry);
    if ((image.size() - at) / sizeof(SectionDirectory::Slot) < head.slotCount) return;
    directory.slots_ = reinterpret_cast<const SectionDirectory::Slot*>(image.data() + at);
    at += head.slotCount * sizeof(SectionDirectory::Slot);
    // Every child lies inside the section, its name before its contents; every slot names a
    // child: a lookup then never reads outside the text.
    const uint64_t end = head.contentsBegin + head.contentsLength;
    for (uint64_t i = 0; i < head.childCount; ++i) {
      const SectionDirectory::Entry& entry = directory.entries_[i];
      if (entry.contentsBegin > end || entry.contentsLength > end - entry.contentsBegin ||
          entry.nameGap > entry.contentsBegin - head.contentsBegin ||
          entry.nameLength >= entry.nameGap) {
        return;
      }
    }
    for (uint64_t i = 0; i < head.slotCount; ++i) {
      if (directory.slots_[i].childPlusOne > head.childCount) return;
    }
    found.push_back(directory);
  }
  directories_ = std::move(found);
}

SectionDirectories SectionDirectories::ofLoadedTree(const ConfigSection& root) {
  SectionDirectories directories;
  forEachNestedSection(root, [&](const ConfigSection& section) {
    const DeferredContents contents = section.keptContents();
    if (contents.source == nullptr) return;
    if (directories.source_ == nullptr) {
      directories = SectionDirectories(contents.source->appendix(), contents.source->text());
      directories.source_ = contents.source;
    }
    if (directories.forSection(section) == nullptr) section.count();  // parses it
  });
  return directories;
}

const SectionDirectory* SectionDirectories::forSection(const ConfigSection& section) const {
  const SourceText* source = nullptr;
  size_t begin = 0;
  size_t length = 0;
  if (directories_.empty() || !section.keptTextRange(&source, &begin, &length)) return nullptr;
  for (const SectionDirectory& directory : directories_) {
    if (source->text().data() == directory.text_.data() && begin == directory.contentsBegin_ &&
        length == directory.contentsLength_) {
      return &directory;
    }
  }
  return nullptr;
}

SectionDirectory::Lookup SectionDirectory::find(const char* name, PlainChild* child) const {
  uint64_t hash = 0;
  if (name == nullptr || !platform::nameHash(name, &hash)) return Lookup::kCannotTell;
  const uint32_t tag = static_cast<uint32_t>(hash >> 32);
  for (uint64_t at = hash & slotMask_, probes = 0; probes <= slotMask_;
       at = (at + 1) & slotMask_, ++probes) {
    const Slot& slot = slots_[at];
    if (slot.childPlusOne == 0) return Lookup::kAbsent;
    if (slot.hashTag != tag) continue;
    const Entry& entry = entries_[slot.childPlusOne - 1];
    const std::string_view childName =
        text_.substr(entry.contentsBegin - entry.nameGap, entry.nameLength);
    if (sameName(childName, name)) {
      *child = PlainChild(childName, text_.substr(entry.contentsBegin, entry.contentsLength));
      return Lookup::kFound;
    }
  }
  return Lookup::kAbsent;
}

}  // namespace gatekeeper
