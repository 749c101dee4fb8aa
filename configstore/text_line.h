// The grammar of one line of the text format, in one place: what a line is and where its parts
// are, how the 4096-byte line buffer cuts the input into lines, how numbers are written and
// read, and which names and texts a line can carry so that they read back unchanged.
//
//   { name:            section opening; "{ name: {1F}" (hex tag) and "{ name: (text)" (text tag)
//   } name;            section closing
//   [ name:            binary block opening ("[ name[item]:"), one hexadecimal byte per line
//   ] name;            binary block closing
//   (type)name=value   value line; also (type)name[item]=value and the nameless (type)=value
//   ; comment
//
// The reader (TextReader), the kept-text scanner (KeptTextScanner) and the writer's checks
// (TextWriter) all use these functions, so they cannot disagree about a line.
#ifndef GATEKEEPER_CONFIGSTORE_TEXT_LINE_H_
#define GATEKEEPER_CONFIGSTORE_TEXT_LINE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "configstore/item_conversion.h"

namespace gatekeeper {

// The line buffer of a reader: a line of up to kLineBufferSize - 1 characters, line end
// included, is read in one piece.
constexpr size_t kLineBufferSize = 4096;
// The field buffers of a reader: a name, type word, value, tag or blank run longer than
// kFieldBufferSize - 1 characters makes its line read as nothing.
constexpr size_t kFieldBufferSize = 1024;
constexpr size_t kLongestField = kFieldBufferSize - 1;
// The longest line (line end excluded) that a reader takes in one piece with its CR LF.
constexpr size_t kLongestLine = kLineBufferSize - 3;

// ---- Line pieces ----

// The length of the next piece of the input that one line read takes from text (available
// bytes, at least 1): up to and including the first LF, at most kLineBufferSize - 1 bytes. A
// longer line arrives in pieces, each read as a line of its own.
inline size_t linePieceLength(const char* text, size_t available) {
  const size_t length = available < kLineBufferSize - 1 ? available : kLineBufferSize - 1;
  const void* newline = std::memchr(text, '\n', length);
  if (newline == nullptr) return length;
  return static_cast<size_t>(static_cast<const char*>(newline) - text) + 1;
}
// The offset at which the piece holding offset `at` starts, for a line that starts at
// lineStart (no LF in between): pieces follow each other every kLineBufferSize - 1 bytes.
inline size_t linePieceStart(size_t lineStart, size_t at) {
  return lineStart + (at - lineStart) / (kLineBufferSize - 1) * (kLineBufferSize - 1);
}

// ---- What a line is ----

enum class LineKind {
  kNothing,       // empty, comment or malformed line (also an unknown type word)
  kSectionOpen,   // name, and tagKind/tag
  kSectionClose,  // name (whether it closes the innermost section is the reader's matter)
  kBlockOpen,     // name (item name included)
  kBlockClose,    // name
  kValue,         // itemType, typeWord, name (item name included; empty: nameless), value
  kOther,         // the first non-blank character starts none of the forms above
};

// One line as the reader sees it. The views point into the classified text.
struct TextLine {
  LineKind kind = LineKind::kNothing;
  // Offset of the first character that is not a space or tab.
  size_t indent = 0;
  std::string_view name;
  // kValue: the item type of the type word (kItemInt ... kItemInt64), the word as written and
  // the value text (line end excluded; for numbers not yet scanned).
  int32_t itemType = 0;
  std::string_view typeWord;
  std::string_view value;
  // kValue: whether the name holds neither an item name ("[") nor a CR, as the writer's names.
  bool plainName = true;
  // kSectionOpen: what follows the name (from the ":" up to the line end, empty when the name
  // runs to the line end), and the tag read from it: kind 0 none, 1 hex ({...}), 2 text ((...)).
  std::string_view rest;
  int32_t tagKind = 0;
  std::string_view tag;
};

// Classifies one line as the line buffer delivers it: length bytes (a whole line with its line
// end, or one piece of a longer line). A NUL ends the line, as it ends the text of the buffer.
TextLine classifyLine(const char* line, size_t length);

// Splits a value or block name at its first "[": the item name runs to the following "]" or
// the end. false (and *name the whole text) when there is no item name.
bool splitItemName(std::string_view full, std::string_view* name, std::string_view* itemName);

// Whether a field of a line names the same as a zero-terminated name (ignoring case, as every
// name lookup of the store does).
bool sameName(std::string_view field, const char* name);

// ---- Numbers ----

// A number of a value line: whole for int and int64, real for float and double.
struct NumberValue {
  int64_t whole = 0;
  double real = 0.0;
};
// Writes the value text of a number item (kItemInt, kItemInt64, kItemFloat, kItemDouble) into
// out (kNumberTextSize bytes, zero-terminated) and returns its length: int and int64 in
// signed decimal, float with six decimals, double with six significant digits ("%G").
size_t formatNumber(int32_t itemType, const NumberValue& value, char* out);
// Scans the zero-terminated value text of a number item as the reader does ("%i", "%I64i",
// "%f", "%lG": trailing characters ignored); false when nothing scans.
bool scanNumber(int32_t itemType, const char* text, NumberValue* value);
// Whether a value text of that item type is exactly what the writer writes for the value it
// reads as (any string text is). false for other item types.
bool readsBackAsWritten(int32_t itemType, std::string_view text);
// The lower-case type word of an item type ("int", "float", "string", "double", "int64"), or
// nullptr.
const char* typeWordOf(int32_t itemType);

// ---- What a line can carry ----

// A name or text that fits a field buffer.
bool fitsField(std::string_view text);
// A section or block name: not empty, no leading blank, no ":", ";" or line break, fits.
bool isSectionName(const char* name);
// A value name: no "=", "[" or line break (empty is the nameless value).
bool isValueName(const char* name);
// An item name: no "]", "=" or line break.
bool isItemName(const char* itemName);
// A text tag: not empty, no ")" or line break, and ": (tag)" fits a field.
bool isTextTag(const char* tag);
// A string value: no line break, fits a field.
bool isStringValue(std::string_view text);

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_TEXT_LINE_H_
