#include "configstore/text_writer.h"

#include <cstring>
#include <new>

#include "configstore/config_node.h"
#include "configstore/item_conversion.h"
#include "configstore/text_line.h"
#include "platform/files.h"
#include "platform/system_error.h"

namespace gatekeeper {

namespace {

// Output is handed to the file in pieces of about this size.
constexpr size_t kFlushSize = 1 << 20;

}  // namespace

TextWriter::TextWriter() = default;

TextWriter::~TextWriter() {
  // A file still open is abandoned: its target stays as it was.
  if (open_ && stringOut_ != nullptr) {
    writeHeld();
    flushOutput(true);
  }
}

bool TextWriter::openFile(const char* path) {
  file_.reset(new (std::nothrow) platform::AtomicFileWriter(path));
  if (file_ != nullptr && file_->isOpen()) {
    open_ = true;
  } else {
    systemError_ = platform::lastSystemError();
    file_.reset();
  }
  return open_;
}

void TextWriter::openString(std::string* out) {
  if (out == nullptr) return;
  stringOut_ = out;
  open_ = true;
}

int TextWriter::finish() {
  if (!open_) return 0;
  writeHeld();
  flushOutput(true);
  int result = failed_ ? 0 : 1;
  if (file_ != nullptr) {
    result = !failed_ && file_->commit() ? 1 : 0;
    if (result == 0 && systemError_ == 0) systemError_ = platform::lastSystemError();
    file_.reset();
  }
  open_ = false;
  return result;
}

int TextWriter::fail() {
  failed_ = true;
  return 0;
}

void TextWriter::failWriting() {
  if (!failed_) systemError_ = platform::lastSystemError();
  failed_ = true;
}

void TextWriter::flushOutput(bool force) {
  if (out_.empty() || (!force && out_.size() < kFlushSize)) return;
  if (stringOut_ != nullptr) {
    stringOut_->append(out_);
  } else if (file_ != nullptr && !file_->write(out_.data(), out_.size())) {
    failWriting();
  }
  written_ += out_.size();
  out_.clear();
}

void TextWriter::holdText(SourceText* source, size_t begin, size_t length) {
  const char* text = source->text().data() + begin;
  if (heldSource_ == source && heldText_ + heldLength_ == text) {
    heldLength_ += length;
  } else {
    writeHeld();
    heldSource_ = CountedRef<SourceText>::share(source);
    heldText_ = text;
    heldLength_ = length;
  }
  if (heldLength_ >= kFlushSize) writeHeld();
}

void TextWriter::writeHeld() {
  if (heldSource_ == nullptr) return;
  if (heldLength_ < kFlushSize) {
    out_.append(heldText_, heldLength_);
  } else {
    // A long run goes to the output as it is, without a copy into the buffer.
    flushOutput(true);
    if (stringOut_ != nullptr) {
      stringOut_->append(heldText_, heldLength_);
    } else if (file_ != nullptr && !file_->write(heldText_, heldLength_)) {
      failWriting();
    }
    written_ += heldLength_;
  }
  heldSource_.reset();
  heldText_ = nullptr;
  heldLength_ = 0;
  flushOutput(false);
}

void TextWriter::writeLine(std::initializer_list<std::string_view> parts) {
  if (heldSource_ != nullptr) writeHeld();
  out_.append(4 * sectionNames_.size(), ' ');
  for (std::string_view part : parts) out_.append(part);
  out_.append("\r\n", 2);
  flushOutput(false);
}

int TextWriter::openSectionLine(const char* name, const std::string& tagPart) {
  if (!canWrite()) return 0;
  if (!isSectionName(name)) return fail();
  const size_t lineLength = 4 * sectionNames_.size() + 4 + std::strlen(name) + tagPart.size();
  if (lineLength > kLongestLine) return fail();
  writeLine({"{ ", name, ":", tagPart});
  sectionNames_.emplace_back(name);
  return 1;
}

int TextWriter::openSectionWithTextTag(const char* name, const char* tag) {
  if (tag == nullptr) return openSection(name);
  // The reader takes the text between the first "(" and the next ")"; an empty tag reads as
  // none.
  if (!isTextTag(tag)) return fail();
  return openSectionLine(name, std::string(" (") + tag + ")");
}

int TextWriter::openSectionWithHexTag(const char* name, uint32_t tag) {
  char hex[kNumberTextSize];
  formatHex(tag, hex);
  return openSectionLine(name, std::string(" {") + hex + "}");
}

int TextWriter::openSection(const char* name) { return openSectionLine(name, std::string()); }

int TextWriter::closeSection() {
  if (!canWrite() || sectionNames_.empty()) return 0;
  std::string name = std::move(sectionNames_.back());
  sectionNames_.pop_back();
  writeLine({"} ", name, ";"});
  return 1;
}

int TextWriter::openBlock(const char* name, const char* itemName) {
  if (!canWrite() || blockOpen_) return 0;
  if (itemName != nullptr && *itemName == '\0') itemName = nullptr;
  std::string full = name != nullptr ? name : "";
  if (!isSectionName(full.c_str()) || !isValueName(full.c_str())) return fail();
  if (itemName != nullptr) {
    if (!isItemName(itemName) || std::strpbrk(itemName, ":;") != nullptr) return fail();
    full = full + "[" + itemName + "]";
  }
  if (!fitsField(full) || 4 * sectionNames_.size() + 3 + full.size() > kLongestLine) {
    return fail();
  }
  writeLine({"[ ", full, ":"});
  blockOpen_ = true;
  blockName_ = name;
  return 1;
}

int TextWriter::closeBlock() {
  if (!canWrite() || !blockOpen_) return 0;
  writeLine({"] ", blockName_, ";"});
  blockOpen_ = false;
  blockName_.clear();
  return 1;
}

int TextWriter::writeBytes(const void* data, uint32_t length) {
  if (!canWrite() || data == nullptr) return 0;
  const auto* bytes = static_cast<const unsigned char*>(data);
  char hex[kNumberTextSize];
  for (uint32_t i = 0; i < length; ++i) {
    writeLine({std::string_view(hex, formatHex(bytes[i], hex))});
  }
  return 1;
}

int TextWriter::writeValueLine(int32_t itemType, const char* name, const char* itemName,
                               const std::string& valueText) {
  if (!canWrite()) return 0;
  if (name == nullptr) name = "";
  if (itemName != nullptr && *itemName == '\0') itemName = nullptr;
  if (!isValueName(name)) return fail();
  std::string fullName = name;
  if (itemName != nullptr) {
    if (!isItemName(itemName)) return fail();
    fullName = fullName + "[" + itemName + "]";
  }
  if (!fitsField(fullName) || !isStringValue(valueText)) return fail();
  const char* typeWord = typeWordOf(itemType);
  const size_t lineLength =
      4 * sectionNames_.size() + std::strlen(typeWord) + 3 + fullName.size() + valueText.size();
  if (lineLength > kLongestLine) return fail();
  writeLine({"(", typeWord, ")", fullName, "=", valueText});
  return 1;
}

int TextWriter::writeNumberLine(int32_t itemType, const char* name, const char* itemName,
                                int64_t whole, double real) {
  NumberValue value;
  value.whole = whole;
  value.real = real;
  char text[kNumberTextSize];
  return writeValueLine(itemType, name, itemName,
                        std::string(text, formatNumber(itemType, value, text)));
}

int TextWriter::writeInt64(const char* name, int64_t value, const char* itemName) {
  return writeNumberLine(kItemInt64, name, itemName, value, 0.0);
}

int TextWriter::writeDouble(const char* name, double value, const char* itemName) {
  return writeNumberLine(kItemDouble, name, itemName, 0, value);
}

int TextWriter::writeString(const char* name, const char* value, const char* itemName) {
  return writeValueLine(kItemString, name, itemName, value != nullptr ? value : "");
}

int TextWriter::writeFloat(const char* name, float value, const char* itemName) {
  return writeNumberLine(kItemFloat, name, itemName, 0, value);
}

int TextWriter::writeInt(const char* name, int32_t value, const char* itemName) {
  return writeNumberLine(kItemInt, name, itemName, value, 0.0);
}

int TextWriter::writeContentsText(const DeferredContents& contents) {
  if (!canWrite() || blockOpen_ || contents.source == nullptr || !contents.verbatim ||
      sectionNames_.size() != static_cast<size_t>(contents.depth)) {
    return 0;
  }
  holdText(contents.source, contents.begin, contents.length);
  return 1;
}

int TextWriter::writeSectionText(const char* name, const DeferredContents& contents) {
  if (!canWrite() || blockOpen_ || contents.source == nullptr || !contents.verbatim ||
      name == nullptr || sectionNames_.size() + 1 != static_cast<size_t>(contents.depth)) {
    return 0;
  }
  // Exactly the lines openSection(name) and closeSection() would write here: else (a name they
  // refuse included) the caller writes line by line.
  const size_t indent = 4 * sectionNames_.size();
  const size_t nameLength = std::strlen(name);
  const size_t frameLength = indent + nameLength + 5;  // "{ " name ":" CR LF, or "} " name ";"
  if (!isSectionName(name) || indent + 4 + nameLength > kLongestLine) return 0;
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
