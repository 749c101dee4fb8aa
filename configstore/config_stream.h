// The abstract stream that sections are written to and read from.
#ifndef GATEKEEPER_CONFIGSTORE_CONFIG_STREAM_H_
#define GATEKEEPER_CONFIGSTORE_CONFIG_STREAM_H_

#include <cstdint>
#include <string>
#include <vector>

#include "configstore/ref_object.h"
#include "configstore/source_text.h"

namespace gatekeeper {

// What one parsed line is.
enum StreamToken : int32_t {
  kTokenNothing = 0,       // empty, comment, malformed or unmatched line
  kTokenSectionOpen = 1,   // name and tag available
  kTokenSectionClose = 2,  // closes the innermost open section
  kTokenBlockOpen = 3,     // opening of a binary block
  kTokenBlockClose = 4,    // closing of the open binary block
  kTokenInt = 6,           // value lines: name and value available
  kTokenFloat = 7,
  kTokenString = 8,
  kTokenDouble = 9,
  kTokenInt64 = 10,
  kTokenOther = 11,  // any other line
};

// A stream of sections, value lines and binary blocks. The writers, the line parser, the name
// and value getters, the line buffer, line reading and rewinding belong to the implementation;
// every other operation does nothing here and reports 0 (clearing its out values), and the
// tagged section openings fall back to the plain one. Results are 1/0 unless said otherwise.
class ConfigStream : public NamedObject {
 public:
  explicit ConfigStream(const char* name = nullptr) : NamedObject(name) {}

  virtual int isOpen() const;
  // Bit set of what the stream can do; 15 (write, read, navigate, blocks).
  virtual int capabilities() const;

  // Writing.
  virtual int openSectionWithTextTag(const char* name, const char* tag);
  virtual int openSectionWithHexTag(const char* name, uint32_t tag);
  virtual int openSection(const char* name);
  // Closes the innermost open section; 0 when none is open.
  virtual int closeSection();
  // Opens a binary block (value name, optional item name); 0 while one is open.
  virtual int openBlock(const char* name, const char* itemName);
  // 0 when no block is open.
  virtual int closeBlock();
  // One line per byte; 0 for absent data.
  virtual int writeBytes(const void* data, uint32_t length);
  // Value lines (value node name, value, optional item name).
  virtual int writeInt64(const char* name, int64_t value, const char* itemName) = 0;
  virtual int writeDouble(const char* name, double value, const char* itemName) = 0;
  virtual int writeString(const char* name, const char* value, const char* itemName) = 0;
  virtual int writeFloat(const char* name, float value, const char* itemName) = 0;
  virtual int writeInt(const char* name, int32_t value, const char* itemName) = 0;
  // Begin and end of a value node (no output in the text format).
  virtual int beginValue(const char* name);
  virtual int endValue();

  // Reading: parse the current line (read by readLine) into a token.
  virtual StreamToken parseLine() = 0;
  // Tag of the last section opening line: kind (SectionTagKind) and text ("" when none).
  virtual int32_t sectionTag(const char** text) const;
  // Name part of the last value, block or section line. With itemName non-null the name is
  // split at its first "[": the item name (up to "]" or the end) goes to *itemName (nullptr
  // when there is none) and the part before it is returned. Valid until the next line.
  virtual const char* lastName(const char** itemName) = 0;
  // Values of the last value line.
  virtual int32_t lastInt() const = 0;
  virtual float lastFloat() const = 0;
  virtual const char* lastString() const = 0;
  virtual double lastDouble() const = 0;
  virtual int64_t lastInt64() const = 0;
  // The current line as read.
  virtual const char* lineBuffer() const = 0;
  // Counts the lines up to the closing line of the open block, keeping the position.
  virtual int32_t countBlockLines();
  // Read the block's lines up to its closing line, storing the byte of each line that scans
  // (zero otherwise) while it fits in the buffer. Return the number of lines found.
  virtual uint32_t readBlock(unsigned char* buffer, uint32_t size);
  virtual uint32_t readBlockInto(std::vector<unsigned char>* bytes);
  // Reads the next line into the line buffer; 0 at the end of the input.
  virtual int readLine() = 0;
  // Back to the start: both stacks emptied, the open block dropped.
  virtual int rewind() = 0;

  // Navigation. Lookups scan forward from the current position at the current depth, matching
  // names ignoring case; when the current section closes first they return to its start and
  // report 0; at the end of the input they rewind and report 0.
  // Finds a block by name and reads it into the buffer; the number of lines found, 0 if none.
  virtual uint32_t findBlock(const char* name, unsigned char* buffer, uint32_t size);
  virtual int findInt64(const char* name, int64_t* value);
  virtual int findDouble(const char* name, double* value);
  virtual int findString(const char* name, std::string* value);
  virtual int findFloat(const char* name, float* value);
  virtual int findInt(const char* name, int32_t* value);
  // Enters the direct subsection of that name (nullptr: the next subsection).
  virtual int enterSection(const char* name);
  virtual int enterNextSection();
  // Skips past the closing line of the current section (leaving it).
  virtual int skipSection();
  // Returns to the line after the current section's opening line.
  virtual int restartSection();
  // Finds a value line of that name and type (0: any value type or a block) at the current
  // depth; its token, or 0.
  virtual int findValue(const char* name, int32_t type);
  // Finds a block opening line by name at the current depth.
  virtual int findBlockByName(const char* name);
  // Enters a path of section names separated by "/" from the start of the input; 0 as soon as
  // a component is missing.
  virtual int enterPath(const char* path);

  // The number of bytes still to be read (0 when not known).
  virtual uint64_t remainingBytes() const { return 0; }

  // Sections kept as text. The text being read, also the arena for the sections loaded from
  // it (nullptr: the stream cannot share it).
  virtual SourceText* sourceText() const { return nullptr; }
  // Called right after a section opening line was parsed. When the section's lines up to its
  // closing line are few value lines, each with one distinct name, that the writer would write
  // back byte for byte at this depth (verbatim), or would but for lines that end in LF alone
  // (not verbatim), reads past the closing line (as reading it would), fills *out (taking a
  // reference on the text) and returns 1; else returns 0 and reads nothing.
  virtual int takePlainSection(DeferredContents* /*out*/) { return 0; }
  // Called before a line is read: when the next line opens a section without a tag (blanks,
  // "{", blanks, the name and ":" alone) whose lines are plain as above, reads past its
  // closing line (as reading each line would), gives its name and contents (a reference
  // taken) and returns 1; else returns 0 and reads nothing.
  virtual int takePlainChild(std::string* /*name*/, DeferredContents* /*out*/) { return 0; }
  // The same for any section that closes before the input ends (not verbatim): reads past its
  // closing line, following nesting and binary blocks as reading each line would.
  virtual int takeWholeSection(DeferredContents* /*out*/) { return 0; }
  // The same whether or not the stream keeps whole sections as text when asked by
  // takeWholeSection (for a loader that keeps some of them by their size).
  virtual int takeAnyWholeSection(DeferredContents* /*out*/) { return 0; }
  // The same for a section whose lines are known to take `length` bytes: only the line after
  // them is read, and it must close the section (else 0, nothing read).
  virtual int takeSectionOfLength(size_t /*length*/, DeferredContents* /*out*/) { return 0; }
  // The offset in sourceText() of the next line to be read.
  virtual size_t sourceOffset() const { return 0; }
  // Writes contents kept as text verbatim, when this stream writes text at their depth; 0 when
  // they must be written item by item instead.
  virtual int writeContentsText(const DeferredContents& /*contents*/) { return 0; }
  // Writes a whole section without a tag whose contents are kept as text verbatim: its opening
  // line, contents and closing line, as one piece of the text when the lines around the
  // contents there are the ones this stream would write for that name; 0 when the section must
  // be written line by line instead.
  virtual int writeSectionText(const char* /*name*/, const DeferredContents& /*contents*/) {
    return 0;
  }
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_CONFIG_STREAM_H_
