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
//
// The grammar of a line is in text_line.h; TextStream puts together a TextWriter
// (text_writer.h), a TextReader (text_reader.h) and a KeptTextScanner (kept_text_scanner.h).
#ifndef GATEKEEPER_CONFIGSTORE_TEXT_STREAM_H_
#define GATEKEEPER_CONFIGSTORE_TEXT_STREAM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "configstore/config_stream.h"
#include "configstore/kept_text_scanner.h"
#include "configstore/text_line.h"
#include "configstore/text_reader.h"
#include "configstore/text_writer.h"
#include "platform/shared_file_copy.h"

namespace gatekeeper {

// A ConfigStream on a file (its name is the path) or on a text in memory; a stream either
// writes or reads.
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
  static constexpr int kLineBufferSize = static_cast<int>(::gatekeeper::kLineBufferSize);
  static constexpr int kFieldBufferSize = static_cast<int>(::gatekeeper::kFieldBufferSize);

  // Whether a reader of a large file makes the copy that the processes reading it share
  // (platform::SharedFileCopy) when there is none yet, or only maps one that is there. Making
  // it costs about half a read more, mapping it a fifth of a read: content that many processes
  // hold (the filter's) makes it, a program that reads a file once only maps it.
  enum class SharedCopy { kMapOnly, kMakeOrMap };
  // A stream that reads the file at path, whole and at once (sharing the file, so that a
  // concurrent save can still replace it). A file that cannot be read leaves the stream closed,
  // with systemError() telling why.
  // A copy made here carries what makeAppendix derives from the text (see
  // platform::SharedFileCopy::appendix and SourceText::appendix).
  static TextStream openForReading(
      const char* path, SharedCopy shared = SharedCopy::kMapOnly,
      const platform::SharedFileCopy::AppendixMaker& makeAppendix = nullptr) {
    return TextStream(path, Role::kReads, shared, makeAppendix);
  }
  // A stream that writes the file at path: into a temporary file beside it, which close()
  // renames over it. A temporary file that cannot be created leaves the stream closed.
  static TextStream openForWriting(const char* path) {
    return TextStream(path, Role::kWrites, SharedCopy::kMapOnly, nullptr);
  }
  // A stream that reads the given text.
  static std::unique_ptr<TextStream> forReading(std::string text);
  // A stream that writes into *out (appending) until it is destroyed.
  static std::unique_ptr<TextStream> forWriting(std::string* out);
  // A stream that reads length bytes of a shared text from offset begin, without copying them
  // (takes a reference on the text). A reader that parses one small section lives on the stack
  // (the object is some 10 KB: from the heap it would cost a large allocation per section).
  TextStream(SourceText* text, size_t begin, size_t length);
  ~TextStream() override;
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;

  // Whether loading from this stream may keep sections as text (takePlainSection); on by
  // default. Off, every line is parsed at once: the reference the kept text is checked against.
  void keepSectionsAsText(bool keep) { scanner_.keepSections(keep); }
  // Whether takeWholeSection keeps sections as text too (when keepSectionsAsText is on); on by
  // default. Off when parsing kept text, which is never scanned twice.
  void keepWholeSectionsAsText(bool keep) { scanner_.keepWholeSections(keep); }
  // The number of sections open around the text read (contents kept as text are read alone):
  // sections kept as text record their depth, and verbatim lines their indentation, with it.
  void setBaseDepth(int32_t depth) { scanner_.setBaseDepth(depth); }

  // Finishes the stream. Writing: flushes and, for a file, replaces the target; 1 only when
  // every write succeeded (0 leaves the target untouched). Reading: 1. Afterwards the stream
  // is closed.
  int close();
  // true once a write failed (an unwritable name or text, or a file write error).
  bool failed() const { return writer_.failed(); }
  // The system's error code (platform/system_error.h) of the first failure of the file itself,
  // taken where it happened: the file could not be read or its temporary file created (the
  // stream stayed closed), a write failed, or close() could not replace the target. 0 when
  // none of these failed: a name or text that the format cannot carry fails without one, and
  // so does a path that names no regular file where the system reports nothing.
  int systemError() const { return readError_ != 0 ? readError_ : writer_.systemError(); }

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
  int32_t lastInt() const override { return reader_.lastInt(); }
  float lastFloat() const override { return reader_.lastFloat(); }
  const char* lastString() const override { return reader_.lastString(); }
  double lastDouble() const override { return reader_.lastDouble(); }
  int64_t lastInt64() const override { return reader_.lastInt64(); }
  const char* lineBuffer() const override { return reader_.lineBuffer(); }
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
  SourceText* sourceText() const override { return reader_.source(); }
  uint64_t remainingBytes() const override { return writes_ ? 0 : reader_.remainingBytes(); }
  int takePlainSection(DeferredContents* out) override;
  int takeWholeSection(DeferredContents* out) override;
  int takeAnyWholeSection(DeferredContents* out) override;
  int takeSectionOfLength(size_t length, DeferredContents* out) override;
  size_t sourceOffset() const override;
  int takePlainChild(std::string* name, DeferredContents* out) override;
  int writeContentsText(const DeferredContents& contents) override;
  int writeSectionText(const char* name, const DeferredContents& contents) override;

  // Number of open sections (the indentation depth).
  int32_t depth() const;
  // Byte offset of the next line to be read, or the number of bytes written.
  uint64_t position() const;

 private:
  enum class Role { kReads, kWrites };
  // A closed stream.
  explicit TextStream(Role role) : ConfigStream(nullptr), writes_(role == Role::kWrites) {}
  TextStream(const char* path, Role role, SharedCopy shared,
             const platform::SharedFileCopy::AppendixMaker& makeAppendix);

  bool writes_;
  int readError_ = 0;
  TextWriter writer_;
  TextReader reader_;
  KeptTextScanner scanner_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_TEXT_STREAM_H_
