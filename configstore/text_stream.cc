#include "configstore/text_stream.h"

#include <cerrno>

#include "platform/files.h"
#include "platform/system_error.h"

namespace gatekeeper {

TextStream::TextStream(const char* path, Role role, SharedCopy shared,
                       const platform::SharedFileCopy::AppendixMaker& makeAppendix)
    : ConfigStream(path), writes_(role == Role::kWrites) {
  if (path == nullptr || *path == '\0') return;
  if (writes_) {
    writer_.openFile(path);
    return;
  }
  // A large file is read from the copy that the processes reading it share, when there is one
  // to be had.
  auto copy =
      platform::SharedFileCopy::open(path, shared == SharedCopy::kMakeOrMap, makeAppendix);
  if (auto source = CountedRef<SourceText>::adopt(SourceText::adopt(std::move(copy)))) {
    const size_t size = source->text().size();
    reader_.open(std::move(source), 0, size);
    return;
  }
  platform::MemoryBlock text;
  size_t length = 0;
  // Cleared first: a path that names no regular file fails without a call that sets errno.
  errno = 0;
  if (platform::readFileContents(path, &text, &length)) {
    auto source = CountedRef<SourceText>::adopt(SourceText::adopt(std::move(text), length));
    if (source != nullptr) reader_.open(source, 0, source->text().size());
  } else {
    readError_ = platform::lastSystemError();
  }
}

std::unique_ptr<TextStream> TextStream::forReading(std::string text) {
  std::unique_ptr<TextStream> stream(new TextStream(Role::kReads));
  auto source = CountedRef<SourceText>::adopt(SourceText::adopt(text));
  if (source != nullptr) stream->reader_.open(source, 0, source->text().size());
  return stream;
}

std::unique_ptr<TextStream> TextStream::forWriting(std::string* out) {
  std::unique_ptr<TextStream> stream(new TextStream(Role::kWrites));
  stream->writer_.openString(out);
  return stream;
}

TextStream::TextStream(SourceText* text, size_t begin, size_t length)
    : ConfigStream(nullptr), writes_(false) {
  if (text == nullptr || begin > text->text().size() || length > text->text().size() - begin) {
    return;  // closed
  }
  reader_.open(CountedRef<SourceText>::share(text), begin, length);
}

TextStream::~TextStream() = default;

int TextStream::close() {
  if (!isOpen()) return 0;
  if (writes_) return writer_.finish();
  reader_.close();
  return 1;
}

int TextStream::isOpen() const { return writer_.isOpen() || reader_.isOpen() ? 1 : 0; }

int TextStream::capabilities() const { return 15; }

int32_t TextStream::depth() const {
  return static_cast<int32_t>(writes_ ? writer_.depth() : reader_.depth());
}

uint64_t TextStream::position() const { return writes_ ? writer_.position() : reader_.position(); }

// ---- Writing ----

int TextStream::openSectionWithTextTag(const char* name, const char* tag) {
  return writer_.openSectionWithTextTag(name, tag);
}
int TextStream::openSectionWithHexTag(const char* name, uint32_t tag) {
  return writer_.openSectionWithHexTag(name, tag);
}
int TextStream::openSection(const char* name) { return writer_.openSection(name); }
int TextStream::closeSection() { return writer_.closeSection(); }
int TextStream::openBlock(const char* name, const char* itemName) {
  return writer_.openBlock(name, itemName);
}
int TextStream::closeBlock() { return writer_.closeBlock(); }
int TextStream::writeBytes(const void* data, uint32_t length) {
  return writer_.writeBytes(data, length);
}
int TextStream::writeInt64(const char* name, int64_t value, const char* itemName) {
  return writer_.writeInt64(name, value, itemName);
}
int TextStream::writeDouble(const char* name, double value, const char* itemName) {
  return writer_.writeDouble(name, value, itemName);
}
int TextStream::writeString(const char* name, const char* value, const char* itemName) {
  return writer_.writeString(name, value, itemName);
}
int TextStream::writeFloat(const char* name, float value, const char* itemName) {
  return writer_.writeFloat(name, value, itemName);
}
int TextStream::writeInt(const char* name, int32_t value, const char* itemName) {
  return writer_.writeInt(name, value, itemName);
}
int TextStream::writeContentsText(const DeferredContents& contents) {
  return writer_.writeContentsText(contents);
}
int TextStream::writeSectionText(const char* name, const DeferredContents& contents) {
  return writer_.writeSectionText(name, contents);
}

// ---- Reading ----

int TextStream::readLine() { return reader_.readLine(); }
StreamToken TextStream::parseLine() { return reader_.parseLine(); }
int32_t TextStream::sectionTag(const char** text) const { return reader_.sectionTag(text); }
const char* TextStream::lastName(const char** itemName) { return reader_.lastName(itemName); }
int32_t TextStream::countBlockLines() { return reader_.countBlockLines(); }
uint32_t TextStream::readBlock(unsigned char* buffer, uint32_t size) {
  return reader_.readBlock(buffer, size);
}
uint32_t TextStream::readBlockInto(std::vector<unsigned char>* bytes) {
  return reader_.readBlockInto(bytes);
}
// A writer has nothing to rewind: it reports whether it is open.
int TextStream::rewind() { return writes_ ? isOpen() : reader_.rewind(); }
uint32_t TextStream::findBlock(const char* name, unsigned char* buffer, uint32_t size) {
  return reader_.findBlock(name, buffer, size);
}
int TextStream::findInt64(const char* name, int64_t* value) {
  return reader_.findInt64(name, value);
}
int TextStream::findDouble(const char* name, double* value) {
  return reader_.findDouble(name, value);
}
int TextStream::findString(const char* name, std::string* value) {
  return reader_.findString(name, value);
}
int TextStream::findFloat(const char* name, float* value) {
  return reader_.findFloat(name, value);
}
int TextStream::findInt(const char* name, int32_t* value) { return reader_.findInt(name, value); }
int TextStream::enterSection(const char* name) { return reader_.enterSection(name); }
int TextStream::enterNextSection() { return reader_.enterSection(nullptr); }
int TextStream::skipSection() { return reader_.skipSection(); }
int TextStream::restartSection() { return reader_.restartSection(); }
int TextStream::findValue(const char* name, int32_t type) {
  return reader_.findValue(name, type);
}
int TextStream::findBlockByName(const char* name) { return reader_.findBlockByName(name); }
int TextStream::enterPath(const char* path) { return reader_.enterPath(path); }

// ---- Sections kept as text ----

int TextStream::takePlainSection(DeferredContents* out) {
  return scanner_.takePlainSection(reader_, out);
}
int TextStream::takeWholeSection(DeferredContents* out) {
  return scanner_.takeWholeSection(reader_, out);
}
int TextStream::takeAnyWholeSection(DeferredContents* out) {
  return scanner_.takeAnyWholeSection(reader_, out);
}
int TextStream::takeSectionOfLength(size_t length, DeferredContents* out) {
  return scanner_.takeSectionOfLength(reader_, length, out);
}
size_t TextStream::sourceOffset() const { return reader_.inputOffset() + reader_.position(); }
int TextStream::takePlainChild(std::string* name, DeferredContents* out) {
  return scanner_.takePlainChild(reader_, name, out);
}

}  // namespace gatekeeper
