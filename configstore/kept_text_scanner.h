// Sections kept as text: finds where a section's lines end without parsing each line, so that
// loading can keep the section as a piece of the source text and parse it on first use.
#ifndef GATEKEEPER_CONFIGSTORE_KEPT_TEXT_SCANNER_H_
#define GATEKEEPER_CONFIGSTORE_KEPT_TEXT_SCANNER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "configstore/source_text.h"
#include "configstore/text_reader.h"

namespace gatekeeper {

// Works on a TextReader's text and state. Contract: a take either reads past the section as
// reading its lines one by one would (the reader's sections, block and position end exactly
// where they would: the section closed) and returns 1 with the kept text (a reference taken on
// the reader's source), or returns 0 and leaves the reader as it was. Lines are judged with
// classifyLine and cut as the line buffer cuts them, like the reader's own.
class KeptTextScanner {
 public:
  // Whether sections may be kept as text at all; on by default.
  void keepSections(bool keep) { keep_ = keep; }
  // Whether takeWholeSection may keep them (when keepSections is on); on by default.
  void keepWholeSections(bool keep) { keepWhole_ = keep; }
  // The number of sections open around the reader's text: kept sections record their depth,
  // and verbatim lines their indentation, with it.
  void setBaseDepth(int32_t depth) { baseDepth_ = depth > 0 ? static_cast<size_t>(depth) : 0; }

  // Right after a section opening line was parsed: when the section's lines up to its closing
  // line are few value lines, each with one distinct name, that the writer would write back
  // byte for byte at this depth (verbatim), or would but for lines that end in LF alone (not
  // verbatim), takes them (see ConfigStream::takePlainSection).
  int takePlainSection(TextReader& reader, DeferredContents* out);
  // Before a line is read: when the next line is a section opening without a tag ("{ name:"
  // alone) whose lines are plain as above, takes the whole section and gives its name.
  int takePlainChild(TextReader& reader, std::string* name, DeferredContents* out);
  // Right after a section opening line was parsed: any section that closes before the text
  // ends (not verbatim), following nesting and binary blocks.
  int takeWholeSection(TextReader& reader, DeferredContents* out);
  // The offset just past the closing line of the section named sectionName whose contents
  // start at offset begin of text, when they are plain as takePlainSection takes them (their
  // lines indented by `indent` spaces); 0 otherwise. *verbatim: whether the writer writes them
  // back byte for byte. scratch holds the names seen; *closingLine, when asked for, is where
  // the closing line starts.
  static size_t plainContentsEnd(std::string_view text, size_t begin, size_t indent,
                                 const char* sectionName, bool* verbatim, std::string* scratch,
                                 size_t* closingLine = nullptr);
  // As takeWholeSection, whether or not keepWholeSections is on.
  int takeAnyWholeSection(TextReader& reader, DeferredContents* out);
  // As takeAnyWholeSection for a section whose lines are known to take `length` bytes (a
  // loader of the same text found so): only the line after them is read, which must close
  // the section; else 0, the reader as it was.
  int takeSectionOfLength(TextReader& reader, size_t length, DeferredContents* out);

 private:
  bool canTake(const TextReader& reader) const;
  int takeWhole(TextReader& reader, DeferredContents* out);
  // The part [begin, begin + length) of the reader's text, read at `depth` open sections of
  // the reader, as kept text holding a reference of its own on the source.
  DeferredContents keptPart(const TextReader& reader, size_t begin, size_t length, size_t depth,
                            bool verbatim) const;
  // Plain contents from offset begin of a section open at `depth` (of the reader) named
  // sectionName: the offset after its closing line, with *out filled, or 0.
  size_t scanPlainContents(const TextReader& reader, size_t begin, size_t depth,
                           const char* sectionName, DeferredContents* out);
  // Whether a line (line end excluded), classified as parsed, is a value line that the writer
  // writes back byte for byte with `indent` spaces before it.
  static bool isPlainValueLine(const TextLine& parsed, const char* line, size_t length,
                               size_t indent);

  bool keep_ = true;
  bool keepWhole_ = true;
  size_t baseDepth_ = 0;
  std::string names_;  // scratch of scanPlainContents
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_KEPT_TEXT_SCANNER_H_
