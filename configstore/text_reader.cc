#include "configstore/text_reader.h"

#include <cstring>

#include "configstore/config_node.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

// Copies a field (at most kLongestField characters, as the classifier gives them) into a field
// buffer, zero-terminated.
void copyField(std::string_view field, char* out) {
  if (!field.empty()) std::memcpy(out, field.data(), field.size());
  out[field.size()] = '\0';
}

}  // namespace

TextReader::~TextReader() { close(); }

void TextReader::open(CountedRef<SourceText> source, size_t begin, size_t length) {
  close();
  if (source == nullptr) return;
  source_ = std::move(source);
  in_ = source_->text().data() + begin;
  inSize_ = length;
  inOffset_ = begin;
}

void TextReader::close() {
  source_.reset();
  in_ = "";
  inSize_ = 0;
  readPos_ = 0;
}

int TextReader::readLine() {
  if (!isOpen() || readPos_ >= inSize_) {
    lineBuffer_[0] = '\0';
    lineLength_ = 0;
    return 0;
  }
  const size_t length = linePieceLength(in_ + readPos_, inSize_ - readPos_);
  std::memcpy(lineBuffer_, in_ + readPos_, length);
  lineBuffer_[length] = '\0';
  lineLength_ = length;
  readPos_ += length;
  return 1;
}

StreamToken TextReader::readPiece() {
  if (!isOpen() || readPos_ >= inSize_) return kTokenNothing;
  const char* text = in_ + readPos_;
  const size_t length = linePieceLength(text, inSize_ - readPos_);
  readPos_ += length;
  return parsePiece(text, length, false);
}

void TextReader::leaveSection() {
  sectionNames_.pop_back();
  positions_.pop_back();
}

void TextReader::dropSectionsAbove(size_t depth) {
  sectionNames_.resize(depth);
  positions_.resize(depth);
  blockOpen_ = false;
  blockName_.clear();
  blockValueName_.clear();
}

bool TextReader::closesBlock(std::string_view name) const {
  // The writer closes a block with the value name alone; the whole opening name (item name
  // included) is accepted too.
  return sameName(name, blockName_.c_str()) || sameName(name, blockValueName_.c_str());
}

StreamToken TextReader::parseValue(const TextLine& line) {
  copyField(line.name, nameBuffer_);
  copyField(line.value, valueBuffer_);
  if (line.itemType == kItemString) return kTokenString;
  NumberValue number;
  if (!scanNumber(line.itemType, valueBuffer_, &number)) return kTokenNothing;
  switch (line.itemType) {
    case kItemInt: lastInt_ = static_cast<int32_t>(number.whole); return kTokenInt;
    case kItemInt64: lastInt64_ = number.whole; return kTokenInt64;
    case kItemFloat: lastFloat_ = static_cast<float>(number.real); return kTokenFloat;
    default: lastDouble_ = number.real; return kTokenDouble;
  }
}

StreamToken TextReader::parsePiece(const char* text, size_t length, bool keepFields) {
  const TextLine line = classifyLine(text, length);
  switch (line.kind) {
    case LineKind::kValue: return parseValue(line);
    case LineKind::kBlockOpen: {
      if (blockOpen_) return kTokenNothing;
      if (keepFields) copyField(line.name, nameBuffer_);
      blockOpen_ = true;
      blockName_.assign(line.name);
      std::string_view valueName, itemName;
      splitItemName(line.name, &valueName, &itemName);
      blockValueName_.assign(valueName);
      return kTokenBlockOpen;
    }
    case LineKind::kBlockClose:
      if (!blockOpen_ || !closesBlock(line.name)) return kTokenNothing;
      blockOpen_ = false;
      blockName_.clear();
      blockValueName_.clear();
      return kTokenBlockClose;
    case LineKind::kSectionOpen:
      if (blockOpen_) return kTokenNothing;
      if (keepFields) {
        copyField(line.name, nameBuffer_);
        tagKind_ = line.tagKind;
        copyField(line.tag, tagBuffer_);
      }
      sectionNames_.emplace_back(line.name);
      positions_.push_back(readPos_);
      return kTokenSectionOpen;
    case LineKind::kSectionClose:
      if (blockOpen_ || sectionNames_.empty() ||
          !sameName(line.name, sectionNames_.back().c_str())) {
        return kTokenNothing;
      }
      leaveSection();
      return kTokenSectionClose;
    case LineKind::kOther: return kTokenOther;
    default: return kTokenNothing;
  }
}

int32_t TextReader::sectionTag(const char** text) const {
  if (text != nullptr) *text = tagBuffer_;
  return tagKind_;
}

const char* TextReader::lastName(const char** itemName) {
  if (itemName == nullptr) return nameBuffer_;
  *itemName = nullptr;
  std::string_view name, item;
  if (!splitItemName(nameBuffer_, &name, &item)) return nameBuffer_;
  copyField(name, splitName_);
  copyField(item, splitItem_);
  *itemName = splitItem_;
  return splitName_;
}

int32_t TextReader::countBlockLines() {
  if (!blockOpen_) return 0;
  const size_t start = readPos_;
  int32_t lines = 0;
  while (readLine()) {
    // The closing line as parseLine reads it, without changing any state.
    const TextLine line = classifyLine(lineBuffer_, lineLength_);
    if (line.kind == LineKind::kBlockClose && closesBlock(line.name)) break;
    ++lines;
  }
  readPos_ = start;
  return lines;
}

uint32_t TextReader::readBlock(unsigned char* buffer, uint32_t size) {
  if (!blockOpen_) return 0;
  uint32_t lines = 0;
  while (readLine()) {
    if (parseLine() == kTokenBlockClose) break;
    if (lines < size && buffer != nullptr) {
      uint32_t byte = 0;
      buffer[lines] = scanHex(lineBuffer_, &byte) ? static_cast<unsigned char>(byte) : 0;
    }
    ++lines;
  }
  return lines;
}

uint32_t TextReader::readBlockInto(std::vector<unsigned char>* bytes) {
  const int32_t lines = countBlockLines();
  if (bytes == nullptr) return readBlock(nullptr, 0);
  bytes->assign(static_cast<size_t>(lines), 0);
  return readBlock(bytes->data(), static_cast<uint32_t>(lines));
}

void TextReader::seekTo(uint64_t offset) {
  readPos_ = offset < inSize_ ? static_cast<size_t>(offset) : inSize_;
  blockOpen_ = false;
  blockName_.clear();
  blockValueName_.clear();
}

int TextReader::rewind() {
  sectionNames_.clear();
  positions_.clear();
  seekTo(0);
  return isOpen() ? 1 : 0;
}

// ---- Navigation ----

int TextReader::scanAtDepth(const char* name, int32_t type, bool wantSection) {
  if (!isOpen()) return 0;
  const size_t depthHere = positions_.size();
  while (true) {
    std::string currentName;
    uint64_t currentStart = 0;
    if (depthHere > 0 && positions_.size() == depthHere) {
      currentName = sectionNames_.back();
      currentStart = positions_.back();
    }
    if (!readLine()) {
      rewind();
      return 0;
    }
    const StreamToken token = parseLine();
    if (token == kTokenSectionClose && positions_.size() < depthHere) {
      // The current section ended first: stay in it, back at its start.
      sectionNames_.push_back(std::move(currentName));
      positions_.push_back(currentStart);
      seekTo(currentStart);
      return 0;
    }
    if (token == kTokenSectionOpen) {
      if (wantSection && positions_.size() == depthHere + 1 &&
          (name == nullptr || platform::namesEqual(nameBuffer_, name))) {
        return 1;
      }
      continue;
    }
    if (wantSection || positions_.size() != depthHere) continue;
    const bool isValue = token >= kTokenInt && token <= kTokenInt64;
    const bool isBlock = token == kTokenBlockOpen;
    if (!isValue && !isBlock) continue;
    if (type != 0 && !(isValue && type == token) && !(isBlock && type == kItemBinary)) continue;
    const char* itemName = nullptr;
    if (name != nullptr && platform::namesEqual(lastName(&itemName), name)) return token;
  }
}

int TextReader::findValue(const char* name, int32_t type) {
  return scanAtDepth(name, type, false);
}

int TextReader::findBlockByName(const char* name) {
  return scanAtDepth(name, kItemBinary, false) == kTokenBlockOpen ? 1 : 0;
}

uint32_t TextReader::findBlock(const char* name, unsigned char* buffer, uint32_t size) {
  if (!findBlockByName(name)) return 0;
  return readBlock(buffer, size);
}

namespace {

// The value found by a lookup, or zero.
template <typename T>
int found(bool isFound, const T& last, T* value) {
  if (value != nullptr) *value = isFound ? last : T();
  return isFound ? 1 : 0;
}

}  // namespace

int TextReader::findInt64(const char* name, int64_t* value) {
  return found(findValue(name, kItemInt64) == kTokenInt64, lastInt64_, value);
}

int TextReader::findDouble(const char* name, double* value) {
  return found(findValue(name, kItemDouble) == kTokenDouble, lastDouble_, value);
}

int TextReader::findString(const char* name, std::string* value) {
  const bool isFound = findValue(name, kItemString) == kTokenString;
  if (value != nullptr) value->assign(isFound ? valueBuffer_ : "");
  return isFound ? 1 : 0;
}

int TextReader::findFloat(const char* name, float* value) {
  return found(findValue(name, kItemFloat) == kTokenFloat, lastFloat_, value);
}

int TextReader::findInt(const char* name, int32_t* value) {
  return found(findValue(name, kItemInt) == kTokenInt, lastInt_, value);
}

int TextReader::enterSection(const char* name) { return scanAtDepth(name, 0, true); }

int TextReader::skipSection() {
  if (!isOpen() || positions_.empty()) return 0;
  const size_t depthHere = positions_.size();
  while (readLine()) {
    if (parseLine() == kTokenSectionClose && positions_.size() < depthHere) return 1;
  }
  return 0;
}

int TextReader::restartSection() {
  if (!isOpen()) return 0;
  if (positions_.empty()) return rewind();
  seekTo(positions_.back());
  return 1;
}

int TextReader::enterPath(const char* path) {
  if (!rewind() || path == nullptr) return 0;
  const std::string all = path;
  size_t start = 0;
  while (start <= all.size()) {
    size_t slash = all.find('/', start);
    if (slash == std::string::npos) slash = all.size();
    if (slash > start) {
      const std::string component = all.substr(start, slash - start);
      if (!enterSection(component.c_str())) return 0;
    }
    start = slash + 1;
  }
  return 1;
}

}  // namespace gatekeeper
