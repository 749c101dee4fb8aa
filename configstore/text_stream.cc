#include "configstore/text_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "configstore/config_node.h"
#include "configstore/item_conversion.h"
#include "platform/files.h"
#include "platform/names.h"
#include "platform/system_error.h"

namespace gatekeeper {

namespace {

constexpr size_t kFieldLimit = TextStream::kFieldBufferSize - 1;
// The longest line (line end excluded) that a reader takes in one piece with its line end.
constexpr size_t kLineLimit = TextStream::kLineBufferSize - 3;
// Output is handed to the file in pieces of about this size.
constexpr size_t kFlushSize = 1 << 20;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool hasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

// Whether length bytes of text hold a NUL or a CR: eight bytes at a time.
bool hasNulOrCr(const char* text, size_t length) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, 8);
    const uint64_t cr = word ^ (kOnes * '\r');
    if ((((word - kOnes) & ~word) | ((cr - kOnes) & ~cr)) & kHighs) return true;
  }
  for (; i < length; ++i) {
    if (text[i] == '\0' || text[i] == '\r') return true;
  }
  return false;
}

// The outcome of scanning one field.
enum class Field { kFilled, kEmpty, kTooLong };

// Copies the longest run of characters (at least one) for which accept holds into out, like a
// scanf "%[...]" conversion with a field buffer of kFieldBufferSize bytes. Advances *p.
template <typename Accept>
Field scanField(const char** p, Accept accept, char* out) {
  const char* start = *p;
  const char* end = start;
  while (*end != '\0' && accept(*end)) ++end;
  if (end == start) return Field::kEmpty;
  const size_t length = static_cast<size_t>(end - start);
  if (length > kFieldLimit) return Field::kTooLong;
  std::memcpy(out, start, length);
  out[length] = '\0';
  *p = end;
  return Field::kFilled;
}

// The blank run required after "[", "]", "{" and "}".
Field scanBlanks(const char** p) {
  char ignored[TextStream::kFieldBufferSize];
  return scanField(p, isBlank, ignored);
}

// Value name of a block name "name[item]": the part before the first "[".
std::string valueNamePart(const std::string& blockName) {
  return blockName.substr(0, blockName.find('['));
}

int32_t typeOfWord(const char* word) {
  static const struct {
    const char* word;
    int32_t type;
  } kWords[] = {{"int", kItemInt},
                {"float", kItemFloat},
                {"string", kItemString},
                {"double", kItemDouble},
                {"int64", kItemInt64}};
  // Type words are ASCII: they compare folding A-Z only, the same on every platform.
  auto equalWords = [](const char* a, const char* b) {
    for (;; ++a, ++b) {
      const char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + 32) : *a;
      if (x != *b) return false;
      if (x == '\0') return true;
    }
  };
  for (const auto& entry : kWords) {
    if (equalWords(word, entry.word)) return entry.type;
  }
  return 0;
}

// Names that read back unchanged in each place of a line.
bool fitsField(const char* text) { return std::strlen(text) <= kFieldLimit; }

bool validSectionName(const char* name) {
  return name != nullptr && *name != '\0' && *name != ' ' && *name != '\t' &&
         std::strpbrk(name, ":;\r\n") == nullptr && fitsField(name);
}

bool validValueName(const char* name) {
  return std::strpbrk(name, "=[\r\n") == nullptr;
}

bool validItemName(const char* itemName) {
  return std::strpbrk(itemName, "]=\r\n") == nullptr;
}

}  // namespace

TextStream::TextStream() : ConfigStream(nullptr) {}

TextStream::TextStream(const char* path, int32_t mode) : ConfigStream(path) {
  if (path == nullptr || *path == '\0') return;
  if (mode & kWriteMode) {
    file_.reset(new (std::nothrow) platform::AtomicFileWriter(path));
    if (file_ != nullptr && file_->isOpen()) {
      mode_ = kWriteMode | kOpenFlag;
    } else {
      systemError_ = platform::lastSystemError();
      file_.reset();
    }
    return;
  }
  // Read whole and at once, sharing the file so that a concurrent save can still replace it.
  platform::MemoryBlock text;
  size_t length = 0;
  // Cleared first: a path that names no regular file fails without a call that sets errno.
  errno = 0;
  if (platform::readFileContents(path, &text, &length)) {
    takeInput(SourceText::adopt(std::move(text), length));
    if (source_ != nullptr) mode_ = kOpenFlag;
  } else {
    systemError_ = platform::lastSystemError();
  }
}

void TextStream::takeInput(SourceText* source) {
  source_ = source;
  if (source_ == nullptr) return;
  in_ = source_->text().data();
  inSize_ = source_->text().size();
}

std::unique_ptr<TextStream> TextStream::forReading(std::string text) {
  std::unique_ptr<TextStream> stream(new TextStream());
  stream->takeInput(SourceText::adopt(text));
  if (stream->source_ != nullptr) stream->mode_ = kOpenFlag;
  return stream;
}

TextStream::TextStream(SourceText* text, size_t begin, size_t length) : ConfigStream(nullptr) {
  if (text == nullptr || begin > text->text().size() || length > text->text().size() - begin) {
    return;  // closed
  }
  text->addRef();
  source_ = text;
  in_ = text->text().data() + begin;
  inSize_ = length;
  inOffset_ = begin;
  mode_ = kOpenFlag;
}


std::unique_ptr<TextStream> TextStream::forWriting(std::string* out) {
  std::unique_ptr<TextStream> stream(new TextStream());
  if (out != nullptr) {
    stream->memoryOut_ = out;
    stream->mode_ = kWriteMode | kOpenFlag;
  }
  return stream;
}

TextStream::~TextStream() {
  // A file still open for writing is abandoned: its target stays as it was.
  if ((mode_ & kOpenFlag) && memoryOut_ != nullptr) {
    writeHeld();
    flushOutput(true);
  }
  if (heldSource_ != nullptr) heldSource_->release();
  if (source_ != nullptr) source_->release();
}

int TextStream::close() {
  if (!(mode_ & kOpenFlag)) return 0;
  int result = 1;
  if (mode_ & kWriteMode) {
    writeHeld();
    flushOutput(true);
    if (file_ != nullptr) {
      result = !failed_ && file_->commit() ? 1 : 0;
      if (result == 0 && systemError_ == 0) systemError_ = platform::lastSystemError();
      file_.reset();
    } else {
      result = failed_ ? 0 : 1;
    }
  } else {
    if (source_ != nullptr) source_->release();
    source_ = nullptr;
    in_ = "";
    inSize_ = 0;
    readPos_ = 0;
  }
  mode_ &= ~kOpenFlag;
  return result;
}

int TextStream::isOpen() const { return (mode_ & kOpenFlag) ? 1 : 0; }

int TextStream::capabilities() const { return 15; }

uint64_t TextStream::position() const {
  return (mode_ & kWriteMode) ? written_ + out_.size() + heldLength_ : readPos_;
}

// ---- Writing ----

int TextStream::fail() {
  failed_ = true;
  return 0;
}

void TextStream::failWriting() {
  if (!failed_) systemError_ = platform::lastSystemError();
  failed_ = true;
}

void TextStream::flushOutput(bool force) {
  if (out_.empty() || (!force && out_.size() < kFlushSize)) return;
  if (memoryOut_ != nullptr) {
    memoryOut_->append(out_);
  } else if (file_ != nullptr && !file_->write(out_.data(), out_.size())) {
    failWriting();
  }
  written_ += out_.size();
  out_.clear();
}

void TextStream::holdText(SourceText* source, size_t begin, size_t length) {
  const char* text = source->text().data() + begin;
  if (heldSource_ == source && heldText_ + heldLength_ == text) {
    heldLength_ += length;
  } else {
    writeHeld();
    source->addRef();
    heldSource_ = source;
    heldText_ = text;
    heldLength_ = length;
  }
  if (heldLength_ >= kFlushSize) writeHeld();
}

void TextStream::writeHeld() {
  if (heldSource_ == nullptr) return;
  if (heldLength_ < kFlushSize) {
    out_.append(heldText_, heldLength_);
  } else {
    // A long run goes to the output as it is, without a copy into the buffer.
    flushOutput(true);
    if (memoryOut_ != nullptr) {
      memoryOut_->append(heldText_, heldLength_);
    } else if (file_ != nullptr && !file_->write(heldText_, heldLength_)) {
      failWriting();
    }
    written_ += heldLength_;
  }
  heldSource_->release();
  heldSource_ = nullptr;
  heldText_ = nullptr;
  heldLength_ = 0;
  flushOutput(false);
}

void TextStream::append(const char* text, size_t length) {
  if (heldSource_ != nullptr) writeHeld();
  out_.append(text, length);
}

void TextStream::writeIndent() {
  if (heldSource_ != nullptr) writeHeld();
  out_.append(4 * positions_.size(), ' ');
}

void TextStream::endLine() {
  out_.append("\r\n", 2);
  flushOutput(false);
}

int TextStream::openSectionLine(const char* name, const std::string& tagPart) {
  if (!(mode_ & kWriteMode) || !isOpen() || failed_) return 0;
  if (!validSectionName(name)) return fail();
  const size_t lineLength = 4 * positions_.size() + 4 + std::strlen(name) + tagPart.size();
  if (lineLength > kLineLimit) return fail();
  writeIndent();
  append("{ ", 2);
  append(name, std::strlen(name));
  append(":", 1);
  append(tagPart);
  endLine();
  sectionNames_.emplace_back(name);
  positions_.push_back(position());
  return 1;
}

int TextStream::openSectionWithTextTag(const char* name, const char* tag) {
  if (tag == nullptr) return openSection(name);
  // The reader takes the text between the first "(" and the next ")"; an empty tag reads as
  // none.
  // The rest of the line after the name (": (tag)") is one field of the reader.
  if (*tag == '\0' || std::strpbrk(tag, ")\r\n") != nullptr ||
      std::strlen(tag) + 4 > kFieldLimit) {
    return fail();
  }
  return openSectionLine(name, std::string(" (") + tag + ")");
}

int TextStream::openSectionWithHexTag(const char* name, uint32_t tag) {
  char hex[kNumberTextSize];
  formatHex(tag, hex);
  return openSectionLine(name, std::string(" {") + hex + "}");
}

int TextStream::openSection(const char* name) { return openSectionLine(name, std::string()); }

int TextStream::closeSection() {
  if (!(mode_ & kWriteMode) || !isOpen() || failed_ || positions_.empty()) return 0;
  std::string name = std::move(sectionNames_.back());
  sectionNames_.pop_back();
  positions_.pop_back();
  writeIndent();
  append("} ", 2);
  append(name);
  append(";", 1);
  endLine();
  return 1;
}

int TextStream::openBlock(const char* name, const char* itemName) {
  if (!(mode_ & kWriteMode) || !isOpen() || failed_ || blockOpen_) return 0;
  if (itemName != nullptr && *itemName == '\0') itemName = nullptr;
  std::string full = name != nullptr ? name : "";
  if (!validSectionName(full.c_str()) || !validValueName(full.c_str())) return fail();
  if (itemName != nullptr) {
    if (!validItemName(itemName) || std::strpbrk(itemName, ":;") != nullptr) return fail();
    full = full + "[" + itemName + "]";
  }
  if (!fitsField(full.c_str()) || 4 * positions_.size() + 3 + full.size() > kLineLimit) {
    return fail();
  }
  writeIndent();
  append("[ ", 2);
  append(full);
  append(":", 1);
  endLine();
  blockOpen_ = true;
  blockName_ = name;
  return 1;
}

int TextStream::closeBlock() {
  if (!(mode_ & kWriteMode) || !isOpen() || failed_ || !blockOpen_) return 0;
  writeIndent();
  append("] ", 2);
  append(blockName_);
  append(";", 1);
  endLine();
  blockOpen_ = false;
  blockName_.clear();
  return 1;
}

int TextStream::writeBytes(const void* data, uint32_t length) {
  if (!(mode_ & kWriteMode) || !isOpen() || failed_ || data == nullptr) return 0;
  const auto* bytes = static_cast<const unsigned char*>(data);
  char hex[kNumberTextSize];
  for (uint32_t i = 0; i < length; ++i) {
    writeIndent();
    append(hex, formatHex(bytes[i], hex));
    endLine();
  }
  return 1;
}

int TextStream::writeValueLine(const char* typeWord, const char* name, const char* itemName,
                               const std::string& valueText) {
  if (!(mode_ & kWriteMode) || !isOpen() || failed_) return 0;
  if (name == nullptr) name = "";
  if (itemName != nullptr && *itemName == '\0') itemName = nullptr;
  if (!validValueName(name)) return fail();
  std::string fullName = name;
  if (itemName != nullptr) {
    if (!validItemName(itemName)) return fail();
    fullName = fullName + "[" + itemName + "]";
  }
  if (!fitsField(fullName.c_str()) || valueText.size() > kFieldLimit ||
      hasLineBreak(valueText.c_str())) {
    return fail();
  }
  const size_t lineLength =
      4 * positions_.size() + std::strlen(typeWord) + 3 + fullName.size() + valueText.size();
  if (lineLength > kLineLimit) return fail();
  writeIndent();
  append("(", 1);
  append(typeWord, std::strlen(typeWord));
  append(")", 1);
  append(fullName);
  append("=", 1);
  append(valueText);
  endLine();
  return 1;
}

int TextStream::writeInt64(const char* name, int64_t value, const char* itemName) {
  char text[kNumberTextSize];
  return writeValueLine("int64", name, itemName, std::string(text, formatInt64(value, text)));
}

int TextStream::writeDouble(const char* name, double value, const char* itemName) {
  char text[kNumberTextSize];
  return writeValueLine("double", name, itemName,
                        std::string(text, formatGeneral(value, true, text)));
}

int TextStream::writeString(const char* name, const char* value, const char* itemName) {
  return writeValueLine("string", name, itemName, value != nullptr ? value : "");
}

int TextStream::writeFloat(const char* name, float value, const char* itemName) {
  char text[kNumberTextSize];
  return writeValueLine("float", name, itemName, std::string(text, formatFixed(value, text)));
}

int TextStream::writeInt(const char* name, int32_t value, const char* itemName) {
  char text[kNumberTextSize];
  return writeValueLine("int", name, itemName, std::string(text, formatInt64(value, text)));
}

// ---- Reading ----

int TextStream::readLine() {
  if ((mode_ & (kOpenFlag | kWriteMode)) != kOpenFlag || readPos_ >= inSize_) {
    lineBuffer_[0] = '\0';
    return 0;
  }
  const size_t available = inSize_ - readPos_;
  size_t length = available < kLineBufferSize - 1 ? available : kLineBufferSize - 1;
  const void* newline = std::memchr(in_ + readPos_, '\n', length);
  if (newline != nullptr) {
    length = static_cast<size_t>(static_cast<const char*>(newline) - (in_ + readPos_)) + 1;
  }
  std::memcpy(lineBuffer_, in_ + readPos_, length);
  lineBuffer_[length] = '\0';
  readPos_ += length;
  return 1;
}

void TextStream::popSection() {
  sectionNames_.pop_back();
  positions_.pop_back();
}

StreamToken TextStream::parseLine() {
  const char* p = lineBuffer_;
  if (isLineEnd(*p)) return kTokenNothing;
  while (*p == ' ' || *p == '\t') ++p;
  switch (*p) {
    case '(': {
      const char* q = p + 1;
      auto notClose = [](char c) { return c != ')'; };
      auto notEquals = [](char c) { return c != '='; };
      auto notLineEnd = [](char c) { return !isLineEnd(c); };
      Field type = scanField(&q, notClose, typeBuffer_);
      if (type != Field::kFilled || *q != ')') return kTokenNothing;
      ++q;
      const char* afterType = q;
      Field name = scanField(&q, notEquals, nameBuffer_);
      if (name == Field::kTooLong) return kTokenNothing;
      Field value = Field::kEmpty;
      if (name == Field::kFilled && *q == '=') {
        ++q;
        value = scanField(&q, notLineEnd, valueBuffer_);
        if (value == Field::kTooLong) return kTokenNothing;
      }
      if (name != Field::kFilled || value != Field::kFilled) {
        // The nameless form "(type)=value".
        q = afterType;
        if (*q != '=') return kTokenNothing;
        ++q;
        if (scanField(&q, notLineEnd, valueBuffer_) != Field::kFilled) return kTokenNothing;
        nameBuffer_[0] = '\0';
      }
      const int32_t itemType = typeOfWord(typeBuffer_);
      int64_t whole = 0;
      double real = 0.0;
      switch (itemType) {
        case kItemString: return kTokenString;
        case kItemInt:
          if (!scanInteger(valueBuffer_, &whole)) return kTokenNothing;
          lastInt_ = static_cast<int32_t>(whole);
          return kTokenInt;
        case kItemInt64:
          if (!scanInteger(valueBuffer_, &whole)) return kTokenNothing;
          lastInt64_ = whole;
          return kTokenInt64;
        case kItemFloat:
          if (!scanFloating(valueBuffer_, &real)) return kTokenNothing;
          lastFloat_ = static_cast<float>(real);
          return kTokenFloat;
        case kItemDouble:
          if (!scanFloating(valueBuffer_, &real)) return kTokenNothing;
          lastDouble_ = real;
          return kTokenDouble;
        default: return kTokenNothing;
      }
    }
    case ';': return kTokenNothing;
    case '[': {
      if (blockOpen_) return kTokenNothing;
      const char* q = p + 1;
      if (scanBlanks(&q) != Field::kFilled) return kTokenNothing;
      auto nameChar = [](char c) { return c != ':' && !isLineEnd(c); };
      if (scanField(&q, nameChar, nameBuffer_) != Field::kFilled) return kTokenNothing;
      blockOpen_ = true;
      blockName_ = nameBuffer_;
      return kTokenBlockOpen;
    }
    case ']': {
      if (!blockOpen_) return kTokenNothing;
      const char* q = p + 1;
      char name[kFieldBufferSize];
      if (scanBlanks(&q) != Field::kFilled) return kTokenNothing;
      auto nameChar = [](char c) { return c != ';' && !isLineEnd(c); };
      if (scanField(&q, nameChar, name) != Field::kFilled) return kTokenNothing;
      // The writer closes a block with the value name alone; the whole opening name (item
      // name included) is accepted too.
      if (!platform::namesEqual(name, blockName_.c_str()) &&
          !platform::namesEqual(name, valueNamePart(blockName_).c_str())) {
        return kTokenNothing;
      }
      blockOpen_ = false;
      blockName_.clear();
      return kTokenBlockClose;
    }
    case '{': {
      if (blockOpen_) return kTokenNothing;
      const char* q = p + 1;
      if (scanBlanks(&q) != Field::kFilled) return kTokenNothing;
      auto nameChar = [](char c) { return c != ':' && !isLineEnd(c); };
      if (scanField(&q, nameChar, nameBuffer_) != Field::kFilled) return kTokenNothing;
      char rest[kFieldBufferSize];
      Field restField = scanField(&q, [](char c) { return !isLineEnd(c); }, rest);
      if (restField == Field::kTooLong) return kTokenNothing;
      tagKind_ = 0;
      tagBuffer_[0] = '\0';
      if (restField == Field::kFilled) {
        char open = 0, close = 0;
        if (std::strchr(rest, '(') != nullptr) {
          open = '(', close = ')';
        } else if (std::strchr(rest, '{') != nullptr) {
          open = '{', close = '}';
        }
        if (open != 0) {
          const char* start = std::strchr(rest, open) + 1;
          const char* end = std::strchr(start, close);
          if (end != nullptr && end != start) {
            std::memcpy(tagBuffer_, start, static_cast<size_t>(end - start));
            tagBuffer_[end - start] = '\0';
            tagKind_ = open == '(' ? 2 : 1;
          }
        }
      }
      sectionNames_.emplace_back(nameBuffer_);
      positions_.push_back(readPos_);
      return kTokenSectionOpen;
    }
    case '}': {
      if (blockOpen_) return kTokenNothing;
      const char* q = p + 1;
      char name[kFieldBufferSize];
      if (scanBlanks(&q) != Field::kFilled) return kTokenNothing;
      auto nameChar = [](char c) { return c != ';' && !isLineEnd(c); };
      if (scanField(&q, nameChar, name) != Field::kFilled) return kTokenNothing;
      if (sectionNames_.empty() || !platform::namesEqual(name, sectionNames_.back().c_str())) {
        return kTokenNothing;
      }
      popSection();
      return kTokenSectionClose;
    }
    default: return kTokenOther;
  }
}

int32_t TextStream::sectionTag(const char** text) const {
  if (text != nullptr) *text = tagBuffer_;
  return tagKind_;
}

const char* TextStream::lastName(const char** itemName) {
  if (itemName == nullptr) return nameBuffer_;
  *itemName = nullptr;
  const char* bracket = std::strchr(nameBuffer_, '[');
  if (bracket == nullptr) return nameBuffer_;
  const size_t nameLength = static_cast<size_t>(bracket - nameBuffer_);
  std::memcpy(splitName_, nameBuffer_, nameLength);
  splitName_[nameLength] = '\0';
  const char* itemStart = bracket + 1;
  const char* itemEnd = std::strchr(itemStart, ']');
  const size_t itemLength =
      itemEnd != nullptr ? static_cast<size_t>(itemEnd - itemStart) : std::strlen(itemStart);
  std::memcpy(splitItem_, itemStart, itemLength);
  splitItem_[itemLength] = '\0';
  *itemName = splitItem_;
  return splitName_;
}

int32_t TextStream::countBlockLines() {
  if (!blockOpen_ || (mode_ & kWriteMode)) return 0;
  const size_t start = readPos_;
  const std::string closeAll = blockName_;
  const std::string closeValue = valueNamePart(blockName_);
  int32_t lines = 0;
  while (readLine()) {
    // The same test as the block-closing branch of parseLine, without changing any state.
    const char* q = lineBuffer_;
    while (*q == ' ' || *q == '\t') ++q;
    if (*q == ']' && !isLineEnd(lineBuffer_[0])) {
      ++q;
      char name[kFieldBufferSize];
      auto nameChar = [](char c) { return c != ';' && !isLineEnd(c); };
      if (scanBlanks(&q) == Field::kFilled && scanField(&q, nameChar, name) == Field::kFilled &&
          (platform::namesEqual(name, closeAll.c_str()) ||
           platform::namesEqual(name, closeValue.c_str()))) {
        break;
      }
    }
    ++lines;
  }
  readPos_ = start;
  return lines;
}

uint32_t TextStream::readBlock(unsigned char* buffer, uint32_t size) {
  if (!blockOpen_ || (mode_ & kWriteMode)) return 0;
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

uint32_t TextStream::readBlockInto(std::vector<unsigned char>* bytes) {
  const int32_t lines = countBlockLines();
  if (bytes == nullptr) return readBlock(nullptr, 0);
  bytes->assign(static_cast<size_t>(lines), 0);
  return readBlock(bytes->data(), static_cast<uint32_t>(lines));
}

void TextStream::seekTo(uint64_t offset) {
  readPos_ = offset < inSize_ ? static_cast<size_t>(offset) : inSize_;
  blockOpen_ = false;
  blockName_.clear();
}

int TextStream::rewind() {
  sectionNames_.clear();
  positions_.clear();
  seekTo(0);
  return isOpen();
}

// ---- Navigation ----

int TextStream::scanAtDepth(const char* name, int32_t type, bool wantSection) {
  if ((mode_ & (kOpenFlag | kWriteMode)) != kOpenFlag) return 0;
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

int TextStream::findValue(const char* name, int32_t type) {
  return scanAtDepth(name, type, false);
}

int TextStream::findBlockByName(const char* name) {
  return scanAtDepth(name, kItemBinary, false) == kTokenBlockOpen ? 1 : 0;
}

uint32_t TextStream::findBlock(const char* name, unsigned char* buffer, uint32_t size) {
  if (!findBlockByName(name)) return 0;
  return readBlock(buffer, size);
}

int TextStream::findInt64(const char* name, int64_t* value) {
  const bool found = findValue(name, kItemInt64) == kTokenInt64;
  if (value != nullptr) *value = found ? lastInt64_ : 0;
  return found ? 1 : 0;
}

int TextStream::findDouble(const char* name, double* value) {
  const bool found = findValue(name, kItemDouble) == kTokenDouble;
  if (value != nullptr) *value = found ? lastDouble_ : 0.0;
  return found ? 1 : 0;
}

int TextStream::findString(const char* name, std::string* value) {
  const bool found = findValue(name, kItemString) == kTokenString;
  if (value != nullptr) value->assign(found ? valueBuffer_ : "");
  return found ? 1 : 0;
}

int TextStream::findFloat(const char* name, float* value) {
  const bool found = findValue(name, kItemFloat) == kTokenFloat;
  if (value != nullptr) *value = found ? lastFloat_ : 0.0f;
  return found ? 1 : 0;
}

int TextStream::findInt(const char* name, int32_t* value) {
  const bool found = findValue(name, kItemInt) == kTokenInt;
  if (value != nullptr) *value = found ? lastInt_ : 0;
  return found ? 1 : 0;
}

int TextStream::enterSection(const char* name) { return scanAtDepth(name, 0, true); }

int TextStream::enterNextSection() { return enterSection(nullptr); }

int TextStream::skipSection() {
  if ((mode_ & (kOpenFlag | kWriteMode)) != kOpenFlag || positions_.empty()) return 0;
  const size_t depthHere = positions_.size();
  while (readLine()) {
    if (parseLine() == kTokenSectionClose && positions_.size() < depthHere) return 1;
  }
  return 0;
}

int TextStream::restartSection() {
  if ((mode_ & (kOpenFlag | kWriteMode)) != kOpenFlag) return 0;
  if (positions_.empty()) return rewind();
  seekTo(positions_.back());
  return 1;
}

int TextStream::enterPath(const char* path) {
  if (!rewind() || path == nullptr || (mode_ & kWriteMode)) return 0;
  std::string all = path;
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

// ---- Sections kept as text ----

namespace {

// A section is kept as text only when it is small: its lines are checked one by one, and names
// pairwise for duplicates.
constexpr size_t kMaxPlainLines = 64;
constexpr size_t kMaxPlainLineLength = 1000;
// A whole section kept as text nests at most this deep, far below the loader's own limit.
constexpr size_t kMaxWholeDepth = 100;
// The longest piece of a line that one line read takes.
constexpr size_t kLinePiece = TextStream::kLineBufferSize - 1;
// Bytes marked at once by markStructure.
constexpr size_t kMarkChunk = 16;

// Bit i set when byte i of the first `length` (at most kMarkChunk) bytes of text is a line
// feed or one of the characters that start section and block lines.
uint32_t markStructure(const char* text, size_t length) {
#if defined(__SSE2__)
  if (length == kMarkChunk) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    __m128i marked = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'));
    marked = _mm_or_si128(marked, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('{')));
    marked = _mm_or_si128(marked, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('}')));
    marked = _mm_or_si128(marked, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('[')));
    marked = _mm_or_si128(marked, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(']')));
    return static_cast<uint32_t>(_mm_movemask_epi8(marked));
  }
#endif
  uint32_t marks = 0;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '\n' || c == '{' || c == '}' || c == '[' || c == ']') marks |= 1u << i;
  }
  return marks;
}

int lowestBit(uint32_t bits) {
#if defined(__GNUC__)
  return __builtin_ctz(bits);
#else
  int i = 0;
  while ((bits & 1u) == 0) {
    bits >>= 1;
    ++i;
  }
  return i;
#endif
}

}  // namespace

bool TextStream::isPlainValueLine(const char* line, size_t length, size_t indent,
                                  std::string_view* name) const {
  if (length <= indent + 4 || line[indent] != '(') return false;
  for (size_t i = 0; i < indent; ++i) {
    if (line[i] != ' ') return false;
  }
  const char* const end = line + length;
  if (hasNulOrCr(line + indent, length - indent)) return false;
  const char* type = line + indent + 1;
  const auto* close =
      static_cast<const char*>(std::memchr(type, ')', static_cast<size_t>(end - type)));
  if (close == nullptr) return false;
  const auto* equals =
      static_cast<const char*>(std::memchr(close, '=', static_cast<size_t>(end - close)));
  if (equals == nullptr ||
      std::memchr(close, '[', static_cast<size_t>(equals - close)) != nullptr) {
    return false;
  }
  const std::string_view word(type, static_cast<size_t>(close - type));
  const char* nameStart = close + 1;
  if (equals == nameStart) return false;
  *name = std::string_view(nameStart, static_cast<size_t>(equals - nameStart));
  const char* value = equals + 1;
  const size_t valueLength = static_cast<size_t>(end - value);
  if (valueLength == 0) return false;
  if (word == "string") return true;
  // A number reads back unchanged only when it is written as the writer formats it.
  char text[kMaxPlainLineLength + 1];
  std::memcpy(text, value, valueLength);
  text[valueLength] = '\0';
  char formatted[kNumberTextSize];
  size_t formattedLength = 0;
  int64_t whole = 0;
  double real = 0.0;
  if (word == "int" || word == "int64") {
    if (!scanInteger(text, &whole)) return false;
    formattedLength = formatInt64(word == "int" ? static_cast<int32_t>(whole) : whole, formatted);
  } else if (word == "float" || word == "double") {
    if (!scanFloating(text, &real)) return false;
    formattedLength = word == "float" ? formatFixed(static_cast<float>(real), formatted)
                                      : formatGeneral(real, true, formatted);
  } else {
    return false;
  }
  return formattedLength == valueLength && std::memcmp(formatted, value, valueLength) == 0;
}

bool TextStream::closesSection(const char* line, size_t length, const char* sectionName) {
  // parseLine's "}" branch on the text of a line (line end included) that starts with blanks
  // and "}", outside a block: blanks, then a name up to ";" or the line end, equal to the
  // section's name. A NUL ends the line for the scans, as in the line buffer.
  const char* p = line;
  const char* const end = line + length;
  while (*p != '}') ++p;
  ++p;
  const char* blanks = p;
  while (p < end && isBlank(*p)) ++p;
  if (p == blanks || static_cast<size_t>(p - blanks) > kFieldLimit) return false;
  const char* nameStart = p;
  while (p < end && *p != '\0' && *p != ';' && !isLineEnd(*p)) ++p;
  const size_t nameLength = static_cast<size_t>(p - nameStart);
  if (nameLength == 0 || nameLength > kFieldLimit) return false;
  char name[kFieldBufferSize];
  std::memcpy(name, nameStart, nameLength);
  name[nameLength] = '\0';
  return platform::namesEqual(name, sectionName);
}

bool TextStream::canTakeText() const {
  return (mode_ & (kOpenFlag | kWriteMode)) == kOpenFlag && keepText_ && source_ != nullptr &&
         !blockOpen_;
}

DeferredContents TextStream::keptPart(size_t begin, size_t length, size_t depth,
                                      bool verbatim) const {
  DeferredContents part;
  part.source = CountedRef<SourceText>::share(source_);
  part.begin = inOffset_ + begin;
  part.length = length;
  part.depth = static_cast<int32_t>(baseDepth_ + depth);
  part.verbatim = verbatim;
  return part;
}

size_t TextStream::scanPlainContents(size_t begin, size_t depth, const char* sectionName,
                                     DeferredContents* out) {
  const size_t indent = 4 * (baseDepth_ + depth);
  // The names seen, each zero-terminated, for platform::namesEqual.
  std::string& names = plainNames_;
  names.clear();
  size_t nameStarts[kMaxPlainLines];
  size_t count = 0;
  // Lines that end in LF alone read as they do ending in CR LF, but the writer writes CR LF.
  bool verbatim = true;
  for (size_t pos = begin; pos < inSize_;) {
    const char* line = in_ + pos;
    const size_t available = inSize_ - pos;
    const auto* newline = static_cast<const char*>(
        std::memchr(line, '\n', available < kMaxPlainLineLength ? available : kMaxPlainLineLength));
    if (newline == nullptr || newline == line) return 0;
    const size_t lineLength = static_cast<size_t>(newline - line) + 1;  // with the line end
    size_t length = lineLength - 1;
    if (newline[-1] == '\r') {
      --length;
    } else {
      verbatim = false;
    }
    const char* first = line;
    while (first < newline && (*first == ' ' || *first == '\t')) ++first;
    if (*first == '}') {
      // The closing line, read as reading it would.
      if (!closesSection(line, lineLength, sectionName)) return 0;
      *out = keptPart(begin, pos - begin, depth, verbatim);
      return pos + lineLength;
    }
    std::string_view name;
    if (count == kMaxPlainLines || !isPlainValueLine(line, length, indent, &name)) return 0;
    // A repeated name would gather its items into one node, written together.
    const size_t start = names.size();
    names.append(name).push_back('\0');
    for (size_t i = 0; i < count; ++i) {
      if (platform::namesEqual(names.c_str() + nameStarts[i], names.c_str() + start)) return 0;
    }
    nameStarts[count++] = start;
    pos += lineLength;
  }
  return 0;
}

int TextStream::takePlainSection(DeferredContents* out) {
  if (!canTakeText() || positions_.empty()) return 0;
  const size_t next =
      scanPlainContents(readPos_, positions_.size(), sectionNames_.back().c_str(), out);
  if (next == 0) return 0;
  popSection();
  readPos_ = next;
  return 1;
}

int TextStream::takePlainChild(std::string* name, DeferredContents* out) {
  if (!canTakeText() || readPos_ >= inSize_) return 0;
  // The next line, when it is "{ name:" alone (blanks before, between and none after), read in
  // one piece.
  const char* line = in_ + readPos_;
  const char* const end = in_ + inSize_;
  const char* p = line;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (p == end || *p != '{') return 0;
  ++p;
  const char* blanks = p;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  if (p == blanks || p == end) return 0;
  const char* nameStart = p;
  while (p < end && *p != ':' && *p != '\0' && !isLineEnd(*p)) ++p;
  const size_t nameLength = static_cast<size_t>(p - nameStart);
  if (nameLength == 0 || p == end || *p != ':') return 0;
  ++p;
  if (p < end && *p == '\r') ++p;
  if (p == end || *p != '\n') return 0;
  const size_t lineLength = static_cast<size_t>(p - line) + 1;
  if (nameLength > kFieldLimit || lineLength > kMaxPlainLineLength) return 0;
  name->assign(nameStart, nameLength);
  const size_t next = scanPlainContents(readPos_ + lineLength, positions_.size() + 1,
                                        name->c_str(), out);
  if (next == 0) return 0;
  readPos_ = next;
  return 1;
}

int TextStream::takeWholeSection(DeferredContents* out) {
  if (!canTakeText() || !keepWhole_ || positions_.empty()) return 0;
  const size_t depth = positions_.size();
  const size_t begin = readPos_;
  // Only lines that open or close a section or a block change the reading state: the text is
  // searched for line ends and the characters that start those lines, and a line is read and
  // parsed as reading does only when such a character starts a piece of it (after blanks) as
  // the line reads would cut it.
  size_t lineStart = readPos_;  // where the pieces of the current line start, every 4095 bytes
  size_t at = readPos_;
  while (at < inSize_) {
    const size_t chunk = inSize_ - at < kMarkChunk ? inSize_ - at : kMarkChunk;
    uint32_t marks = markStructure(in_ + at, chunk);
    bool moved = false;
    while (marks != 0 && !moved) {
      const size_t hit = at + static_cast<size_t>(lowestBit(marks));
      marks &= marks - 1;
      if (in_[hit] == '\n') {
        lineStart = hit + 1;
        continue;
      }
      const size_t pieceStart = lineStart + (hit - lineStart) / kLinePiece * kLinePiece;
      size_t blank = hit;
      while (blank > pieceStart && (in_[blank - 1] == ' ' || in_[blank - 1] == '\t')) --blank;
      if (blank != pieceStart) continue;
      const size_t lineAt = pieceStart;
      readPos_ = pieceStart;
      readStructuralPiece();
      if (positions_.size() < depth) {
        *out = keptPart(begin, lineAt - begin, depth, false);
        return 1;
      }
      if (positions_.size() > depth + kMaxWholeDepth) {
        at = inSize_;
        break;
      }
      if (in_[readPos_ - 1] == '\n') lineStart = readPos_;
      at = readPos_;
      moved = true;
    }
    if (!moved && at < inSize_) at += chunk;
  }
  // The input ends inside the section (or nests too deep): read it line by line instead.
  readPos_ = begin;
  sectionNames_.resize(depth);
  positions_.resize(depth);
  blockOpen_ = false;
  blockName_.clear();
  return 0;
}

void TextStream::readStructuralPiece() {
  const char* line = in_ + readPos_;
  const size_t available = inSize_ - readPos_;
  const size_t limit = available < kLinePiece ? available : kLinePiece;
  const auto* newline = static_cast<const char*>(std::memchr(line, '\n', limit));
  if (newline != nullptr) {
    // A whole line: the common shapes are read here, as parseLine reads them.
    const size_t length = static_cast<size_t>(newline - line) + 1;
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    if (blockOpen_ ? *p != ']' : *p == '}') {
      // Inside a block only "]" counts; outside, "}" closes the innermost section or nothing.
      if (!blockOpen_ && !sectionNames_.empty() &&
          closesSection(line, length, sectionNames_.back().c_str())) {
        popSection();
      }
      readPos_ += length;
      return;
    }
    if (*p == '{') {
      // "{", blanks, the name and ":" alone.
      ++p;
      const char* blanks = p;
      while (*p == ' ' || *p == '\t') ++p;
      const char* name = p;
      while (*p != ':' && *p != '\0' && !isLineEnd(*p)) ++p;
      const size_t nameLength = static_cast<size_t>(p - name);
      if (name != blanks && nameLength > 0 && nameLength <= kFieldLimit && *p == ':') {
        ++p;
        if (*p == '\r') ++p;
        if (p == newline) {
          readPos_ += length;
          sectionNames_.emplace_back(name, nameLength);
          positions_.push_back(readPos_);
          tagKind_ = 0;
          tagBuffer_[0] = '\0';
          return;
        }
      }
    }
  }
  readLine();
  parseLine();
}

int TextStream::writeContentsText(const DeferredContents& contents) {
  if ((mode_ & (kOpenFlag | kWriteMode)) != (kOpenFlag | kWriteMode) || failed_ || blockOpen_ ||
      contents.source == nullptr || !contents.verbatim || positions_.size() != static_cast<size_t>(contents.depth)) {
    return 0;
  }
  holdText(contents.source, contents.begin, contents.length);
  return 1;
}

int TextStream::writeSectionText(const char* name, const DeferredContents& contents) {
  if ((mode_ & (kOpenFlag | kWriteMode)) != (kOpenFlag | kWriteMode) || failed_ || blockOpen_ ||
      contents.source == nullptr || !contents.verbatim || name == nullptr ||
      positions_.size() + 1 != static_cast<size_t>(contents.depth)) {
    return 0;
  }
  // Exactly the lines openSection(name) and closeSection() would write here: else (a name they
  // refuse included) the caller writes line by line.
  const size_t indent = 4 * positions_.size();
  const size_t nameLength = std::strlen(name);
  const size_t frameLength = indent + nameLength + 5;  // "{ " name ":" CR LF, or "} " name ";"
  if (!validSectionName(name) || indent + 4 + nameLength > kLineLimit) return 0;
  const auto& text = contents.source->text();  // the whole source text
  if (contents.begin < frameLength || contents.length > text.size() - contents.begin ||
      text.size() - contents.begin - contents.length < frameLength) {
    return 0;
  }
  const char* open = text.data() + contents.begin - frameLength;
  const char* close = text.data() + contents.begin + contents.length;
  auto frames = [&](const char* line, char bracket, char end) {
    for (size_t i = 0; i < indent; ++i) {
      if (line[i] != ' ') return false;
    }
    line += indent;
    return line[0] == bracket && line[1] == ' ' && std::memcmp(line + 2, name, nameLength) == 0 &&
           line[2 + nameLength] == end && line[3 + nameLength] == '\r' &&
           line[4 + nameLength] == '\n';
  };
  if (!frames(open, '{', ':') || !frames(close, '}', ';')) return 0;
  holdText(contents.source, static_cast<size_t>(open - text.data()),
           static_cast<size_t>(close + frameLength - open));
  return 1;
}

}  // namespace gatekeeper
