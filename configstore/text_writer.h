// The writing half of TextStream: lines of the text format into a file or a string.
#ifndef GATEKEEPER_CONFIGSTORE_TEXT_WRITER_H_
#define GATEKEEPER_CONFIGSTORE_TEXT_WRITER_H_

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "configstore/source_text.h"

namespace gatekeeper::platform {
class AtomicFileWriter;
}

namespace gatekeeper {

// Writes lines indented by four spaces per open section, each ending in CR LF.
//
// Contract: a write either adds exactly the lines that read back as what was written, or
// returns 0 and marks the writer failed (a name or text the format cannot carry: see the checks
// of text_line.h); once failed, every write returns 0. A file is written to a temporary file
// beside its target and replaces the target only in finish(), atomically, and only when no
// write failed; a writer destroyed before finish() leaves the target as it was. A string
// receives what was written when finish() runs or the writer is destroyed.
//
// Text kept from a source (writeContentsText, writeSectionText) is held, not copied: runs that
// follow each other in the source are written as one piece, once anything else is written or
// the writer finishes.
class TextWriter {
 public:
  TextWriter();
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // Opens on the file at path; false (and the system's error kept) when its temporary file
  // cannot be created.
  bool openFile(const char* path);
  // Opens on *out, appending.
  void openString(std::string* out);
  bool isOpen() const { return open_; }
  // Writes what is pending and, for a file, replaces the target; 1 only when every write
  // succeeded. Closes the writer. 0 when it was not open.
  int finish();

  bool failed() const { return failed_; }
  // The system's error of the first failure of the file itself (creation, a write, the
  // replacement in finish()); 0 when none failed.
  int systemError() const { return systemError_; }
  // Number of open sections.
  size_t depth() const { return sectionNames_.size(); }
  // Number of bytes written so far, pending and held text included.
  uint64_t position() const { return written_ + out_.size() + heldLength_; }

  // The operations of ConfigStream's writing part, with its results.
  int openSectionWithTextTag(const char* name, const char* tag);
  int openSectionWithHexTag(const char* name, uint32_t tag);
  int openSection(const char* name);
  int closeSection();
  int openBlock(const char* name, const char* itemName);
  int closeBlock();
  int writeBytes(const void* data, uint32_t length);
  int writeInt64(const char* name, int64_t value, const char* itemName);
  int writeDouble(const char* name, double value, const char* itemName);
  int writeString(const char* name, const char* value, const char* itemName);
  int writeFloat(const char* name, float value, const char* itemName);
  int writeInt(const char* name, int32_t value, const char* itemName);
  // Verbatim kept contents at this depth: held as they are; 0 when they must be written item
  // by item instead (not verbatim, another depth, a block open).
  int writeContentsText(const DeferredContents& contents);
  // A section without a tag around verbatim kept contents, one level deeper: held as one piece
  // of the source when the opening and closing lines there are exactly the ones openSection
  // and closeSection would write; else 0.
  int writeSectionText(const char* name, const DeferredContents& contents);

 private:
  bool canWrite() const { return open_ && !failed_; }
  int fail();
  // Marks a write of the file as failed, keeping the system's error of the first failure.
  void failWriting();
  // One line of these parts, indented, with its line end.
  void writeLine(std::initializer_list<std::string_view> parts);
  void flushOutput(bool force);
  void holdText(SourceText* source, size_t begin, size_t length);
  void writeHeld();
  int openSectionLine(const char* name, const std::string& tagPart);
  int writeNumberLine(int32_t itemType, const char* name, const char* itemName, int64_t whole,
                      double real);
  int writeValueLine(int32_t itemType, const char* name, const char* itemName,
                     const std::string& valueText);

  bool open_ = false;
  bool failed_ = false;
  int systemError_ = 0;
  std::unique_ptr<platform::AtomicFileWriter> file_;
  std::string* stringOut_ = nullptr;
  std::string out_;
  uint64_t written_ = 0;
  CountedRef<SourceText> heldSource_;  // while text is held
  const char* heldText_ = nullptr;
  size_t heldLength_ = 0;
  std::vector<std::string> sectionNames_;
  bool blockOpen_ = false;
  std::string blockName_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_TEXT_WRITER_H_
