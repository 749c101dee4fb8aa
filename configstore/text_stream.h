// The line-oriented text format of the configuration store.
//
//   { MAIN:                     section opening (also "{ name: {1F}" and "{ name: (text)")
//       (int)Disable=0          value lines: (type)name=value or (type)name[item]=value
//       (string)log=C:\log.txt
//       [ key:                  binary block: one hexadecimal byte per line
//       1F
//       ] key;
//   } MAIN;                     section closing
//
// Every line is indented by four spaces per open section and ends in CR LF on every platform,
// so a file is byte-identical whichever platform wrote it; the reader accepts LF and CR LF.
#ifndef GATEKEEPER_CONFIGSTORE_TEXT_STREAM_H_
#define GATEKEEPER_CONFIGSTORE_TEXT_STREAM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "configstore/config_stream.h"

namespace gatekeeper::platform {
class AtomicFileWriter;
}

namespace gatekeeper {

// A ConfigStream on a file (its name is the path) or on a text in memory.
//
// Writing never produces text that reads back differently: a name or text the format cannot
// carry (a line break anywhere; ":" or ";" or a leading blank in a section or block name; "="
// or "[" in a value name; "]" in an item name; an empty section name; a field longer than 1023
// characters) makes that write return 0 and marks the stream failed, and a failed file stream
// never replaces its target. A file opened for writing is replaced only by close() (or the
// destructor), atomically: until then the previous file stays as it was.
//
// Reading takes the whole input at once; lines are read as by a 4096-byte line buffer (a longer
// line arrives in pieces of 4095 characters, each parsed as a line of its own). A name, type
// word or value longer than 1023 characters makes its line kTokenNothing.
class TextStream : public ConfigStream {
 public:
  static constexpr int32_t kWriteMode = 1;  // mode bit 0
  static constexpr int32_t kOpenFlag = 2;   // mode bit 1
  static constexpr int kLineBufferSize = 4096;
  static constexpr int kFieldBufferSize = 1024;

  // Opens the file for writing (mode bit 0 set: a temporary file beside the target, which
  // close() renames over it) or reading (bit 0 clear). A file that cannot be opened leaves the
  // stream closed.
  TextStream(const char* path, int32_t mode);
  // A stream that reads the given text.
  static std::unique_ptr<TextStream> forReading(std::string text);
  // A stream that reads length bytes of a shared text from offset begin, without copying them
  // (takes a reference on the text). A reader that parses one small section lives on the stack
  // (the object is some 10 KB: from the heap it would cost a large allocation per section).
  TextStream(SourceText* text, size_t begin, size_t length);
  // Whether loading from this stream may keep sections as text (takePlainSection); on by
  // default. Off, every line is parsed at once: the reference the kept text is checked against.
  void keepSectionsAsText(bool keep) { keepText_ = keep; }
  // Whether takeWholeSection keeps sections as text too (when keepSectionsAsText is on); on by
  // default. Off when parsing kept text, which is never scanned twice.
  void keepWholeSectionsAsText(bool keep) { keepWhole_ = keep; }
  // The number of sections open around the text read (contents kept as text are read alone):
  // sections kept as text record their depth, and verbatim lines their indentation, with it.
  void setBaseDepth(int32_t depth) { baseDepth_ = depth > 0 ? static_cast<size_t>(depth) : 0; }
  // A stream that writes into *out (appending) until it is destroyed.
  static std::unique_ptr<TextStream> forWriting(std::string* out);
  ~TextStream() override;

  // Finishes the stream. Writing: flushes and, for a file, replaces the target; 1 only when
  // every write succeeded (0 leaves the target untouched). Reading: 1. Afterwards the stream
  // is closed.
  int close();
  // true once a write failed (an unwritable name or text, or a file write error).
  bool failed() const { return failed_; }
  // The system's error code (platform/system_error.h) of the first failure of the file itself,
  // taken where it happened: the file could not be read or its temporary file created (the
  // stream stayed closed), a write failed, or close() could not replace the target. 0 when
  // none of these failed: a name or text that the format cannot carry fails without one, and
  // so does a path that names no regular file where the system reports nothing.
  int systemError() const { return systemError_; }

  int isOpen() const override;
  int capabilities() const override;
  int openSectionWithTextTag(const char* name, const char* tag) override;
  int openSectionWithHexTag(const char* name, uint32_t tag) override;
  int openSection(const char* name) override;
  int closeSection() override;
  int openBlock(const char* name, const char* itemName) override;
  int closeBlock() override;
  int writeBytes(const void* data, uint32_t length) override;
  int writeInt64(const char* name, int64_t value, const char* itemName) override;
  int writeDouble(const char* name, double value, const char* itemName) override;
  int writeString(const char* name, const char* value, const char* itemName) override;
  int writeFloat(const char* name, float value, const char* itemName) override;
  int writeInt(const char* name, int32_t value, const char* itemName) override;

  StreamToken parseLine() override;
  int32_t sectionTag(const char** text) const override;
  const char* lastName(const char** itemName) override;
  int32_t lastInt() const override { return lastInt_; }
  float lastFloat() const override { return lastFloat_; }
  const char* lastString() const override { return valueBuffer_; }
  double lastDouble() const override { return lastDouble_; }
  int64_t lastInt64() const override { return lastInt64_; }
  const char* lineBuffer() const override { return lineBuffer_; }
  int32_t countBlockLines() override;
  uint32_t readBlock(unsigned char* buffer, uint32_t size) override;
  uint32_t readBlockInto(std::vector<unsigned char>* bytes) override;
  int readLine() override;
  int rewind() override;

  uint32_t findBlock(const char* name, unsigned char* buffer, uint32_t size) override;
  int findInt64(const char* name, int64_t* value) override;
  int findDouble(const char* name, double* value) override;
  int findString(const char* name, std::string* value) override;
  int findFloat(const char* name, float* value) override;
  int findInt(const char* name, int32_t* value) override;
  int enterSection(const char* name) override;
  int enterNextSection() override;
  int skipSection() override;
  int restartSection() override;
  int findValue(const char* name, int32_t type) override;
  int findBlockByName(const char* name) override;
  int enterPath(const char* path) override;
  SourceText* sourceText() const override { return source_; }
  uint64_t remainingBytes() const override {
    return (mode_ & kWriteMode) || readPos_ >= inSize_ ? 0 : inSize_ - readPos_;
  }
  int takePlainSection(DeferredContents* out) override;
  int takeWholeSection(DeferredContents* out) override;
  int takePlainChild(std::string* name, DeferredContents* out) override;
  int writeContentsText(const DeferredContents& contents) override;
  int writeSectionText(const char* name, const DeferredContents& contents) override;

  // Number of open sections (the indentation depth).
  int32_t depth() const { return static_cast<int32_t>(positions_.size()); }
  // Byte offset of the next line to be read, or the number of bytes written.
  uint64_t position() const;

 private:
  TextStream();
  void takeInput(SourceText* source);
  // Whether a line (line end excluded) is a value line that reads back unchanged at this depth;
  // its name goes to *name.
  bool isPlainValueLine(const char* line, size_t length, size_t indent,
                        std::string_view* name) const;
  // Whether a line (its text up to its line end, at most kLineBufferSize - 1 bytes, starting
  // with blanks and "}") closes an open section of that name, as parseLine reads it.
  static bool closesSection(const char* line, size_t length, const char* sectionName);
  // Reads the piece of a line at the read position that starts with blanks and "{", "}", "["
  // or "]", as readLine and parseLine would.
  void readStructuralPiece();
  // Whether sections may be taken as text now.
  bool canTakeText() const;
  // Plain contents (see takePlainSection) from offset begin of a section open at depth (of
  // this stream) with that name: the offset after its closing line, with *out filled (a
  // reference taken), or 0.
  // The part [begin, begin + length) of the input, read at `depth` open sections below the
  // base, as kept text holding a reference of its own on the source.
  DeferredContents keptPart(size_t begin, size_t length, size_t depth, bool verbatim) const;
  size_t scanPlainContents(size_t begin, size_t depth, const char* sectionName,
                           DeferredContents* out);
  // Writing helpers.
  void writeIndent();
  void append(const char* text, size_t length);
  // Text of a source to be written as it is: runs that follow each other in the source are
  // written as one piece (a long one without a copy), once anything else is written.
  void holdText(SourceText* source, size_t begin, size_t length);
  void writeHeld();
  void append(const std::string& text) { append(text.data(), text.size()); }
  void endLine();
  int fail();
  // Marks a write of the file as failed, keeping the system's error of the first failure.
  void failWriting();
  int writeValueLine(const char* typeWord, const char* name, const char* itemName,
                     const std::string& valueText);
  int openSectionLine(const char* name, const std::string& tagPart);
  void flushOutput(bool force);
  // Reading helpers.
  void seekTo(uint64_t offset);
  void popSection();
  // Scans forward for a line of the wanted kind at the current depth (see findValue); token.
  int scanAtDepth(const char* name, int32_t type, bool wantSection);

  int32_t mode_ = 0;
  bool failed_ = false;
  int systemError_ = 0;
  bool keepText_ = true;
  bool keepWhole_ = true;
  size_t baseDepth_ = 0;
  // Writing.
  std::unique_ptr<platform::AtomicFileWriter> file_;
  std::string* memoryOut_ = nullptr;
  std::string out_;
  uint64_t written_ = 0;
  SourceText* heldSource_ = nullptr;  // a counted reference while text is held
  const char* heldText_ = nullptr;
  size_t heldLength_ = 0;
  // Reading: the text (a counted reference) and a view of it.
  SourceText* source_ = nullptr;
  const char* in_ = "";
  size_t inSize_ = 0;
  size_t inOffset_ = 0;  // of in_ within the source text
  size_t readPos_ = 0;
  // Open sections: names and the offset right after each opening line.
  std::vector<std::string> sectionNames_;
  std::vector<uint64_t> positions_;
  bool blockOpen_ = false;
  std::string blockName_;
  // Last parsed line.
  int32_t tagKind_ = 0;
  int32_t lastInt_ = 0;
  float lastFloat_ = 0.0f;
  double lastDouble_ = 0.0;
  int64_t lastInt64_ = 0;
  char lineBuffer_[kLineBufferSize] = {};
  char nameBuffer_[kFieldBufferSize] = {};
  char typeBuffer_[kFieldBufferSize] = {};
  char valueBuffer_[kFieldBufferSize] = {};
  char tagBuffer_[kFieldBufferSize] = {};
  char splitName_[kFieldBufferSize] = {};
  char splitItem_[kFieldBufferSize] = {};
  std::string plainNames_;  // scratch of takePlainSection
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_TEXT_STREAM_H_
