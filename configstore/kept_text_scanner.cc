#include "configstore/kept_text_scanner.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "configstore/config_node.h"
#include "configstore/text_line.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

// A section is kept as plain text only when it is small: its lines are checked one by one, and
// names pairwise for duplicates.
constexpr size_t kMaxPlainLines = 64;
constexpr size_t kMaxPlainLineLength = 1000;
// A whole section kept as text nests at most this deep, far below the loader's own limit.
constexpr size_t kMaxWholeDepth = 100;
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

}  // namespace

bool KeptTextScanner::isPlainValueLine(const TextLine& parsed, const char* line, size_t length,
                                       size_t indent) {
  if (parsed.kind != LineKind::kValue || parsed.indent != indent) return false;
  // As the writer writes it: indented with spaces, the type word in lower case, a name without
  // an item name or a CR, a value that runs to the line end (no CR or NUL in it).
  constexpr uint32_t kFourSpaces = 0x20202020u;
  for (size_t i = 0; i < indent; i += 4) {  // indent: four spaces per open section
    uint32_t four;
    std::memcpy(&four, line + i, 4);
    if (four != kFourSpaces) return false;
  }
  if (!parsed.plainName || parsed.name.empty() || parsed.typeWord != typeWordOf(parsed.itemType) ||
      parsed.value.data() + parsed.value.size() != line + length) {
    return false;
  }
  return parsed.itemType == kItemString || readsBackAsWritten(parsed.itemType, parsed.value);
}

bool KeptTextScanner::canTake(const TextReader& reader) const {
  return keep_ && reader.isOpen() && !reader.blockOpen();
}

DeferredContents KeptTextScanner::keptPart(const TextReader& reader, size_t begin, size_t length,
                                           size_t depth, bool verbatim) const {
  DeferredContents part;
  part.source = CountedRef<SourceText>::share(reader.source());
  part.begin = reader.inputOffset() + begin;
  part.length = length;
  part.depth = static_cast<int32_t>(baseDepth_ + depth);
  part.verbatim = verbatim;
  return part;
}

size_t KeptTextScanner::scanPlainContents(const TextReader& reader, size_t begin, size_t depth,
                                          const char* sectionName, DeferredContents* out) {
  bool verbatim = false;
  size_t closing = 0;
  const size_t end =
      plainContentsEnd(std::string_view(reader.input(), reader.inputSize()), begin,
                       4 * (baseDepth_ + depth), sectionName, &verbatim, &names_, &closing);
  if (end == 0) return 0;
  *out = keptPart(reader, begin, closing - begin, depth, verbatim);
  return end;
}

size_t KeptTextScanner::plainContentsEnd(std::string_view text, size_t begin, size_t indent,
                                         const char* sectionName, bool* verbatim,
                                         std::string* scratch, size_t* closingLine) {
  const char* const in = text.data();
  const size_t inSize = text.size();
  // The names seen, each zero-terminated, for platform::namesEqual.
  std::string& names = *scratch;
  names.clear();
  size_t nameStarts[kMaxPlainLines];
  size_t count = 0;
  // Lines that end in LF alone read as they do ending in CR LF, but the writer writes CR LF.
  *verbatim = true;
  for (size_t pos = begin; pos < inSize;) {
    const char* line = in + pos;
    const size_t available = inSize - pos;
    const auto* newline = static_cast<const char*>(std::memchr(
        line, '\n', available < kMaxPlainLineLength ? available : kMaxPlainLineLength));
    if (newline == nullptr || newline == line) return 0;
    const size_t lineLength = static_cast<size_t>(newline - line) + 1;  // with the line end
    size_t length = lineLength - 1;
    if (newline[-1] == '\r') {
      --length;
    } else {
      *verbatim = false;
    }
    const TextLine parsed = classifyLine(line, length);
    if (parsed.kind == LineKind::kSectionClose) {
      // The closing line, read as reading it would.
      if (!sameName(parsed.name, sectionName)) return 0;
      if (closingLine != nullptr) *closingLine = pos;
      return pos + lineLength;
    }
    if (count == kMaxPlainLines || !isPlainValueLine(parsed, line, length, indent)) return 0;
    const std::string_view name = parsed.name;
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

int KeptTextScanner::takePlainSection(TextReader& reader, DeferredContents* out) {
  if (!canTake(reader) || reader.depth() == 0) return 0;
  const size_t next = scanPlainContents(reader, reader.position(), reader.depth(),
                                        reader.innermostName().c_str(), out);
  if (next == 0) return 0;
  reader.leaveSection();
  reader.setPosition(next);
  return 1;
}

int KeptTextScanner::takePlainChild(TextReader& reader, std::string* name,
                                    DeferredContents* out) {
  if (!canTake(reader) || reader.position() >= reader.inputSize()) return 0;
  // The next line, when it opens a section without a tag: "{", the name and ":" alone.
  const char* line = reader.input() + reader.position();
  const size_t available = reader.inputSize() - reader.position();
  const auto* newline = static_cast<const char*>(std::memchr(
      line, '\n', available < kMaxPlainLineLength ? available : kMaxPlainLineLength));
  if (newline == nullptr) return 0;
  const size_t lineLength = static_cast<size_t>(newline - line) + 1;
  const TextLine opening = classifyLine(line, lineLength);
  if (opening.kind != LineKind::kSectionOpen || opening.rest != ":") return 0;
  const char* afterRest = opening.rest.data() + 1;
  if (afterRest != newline && !(afterRest + 1 == newline && *afterRest == '\r')) return 0;
  name->assign(opening.name);
  const size_t next = scanPlainContents(reader, reader.position() + lineLength,
                                        reader.depth() + 1, name->c_str(), out);
  if (next == 0) return 0;
  reader.setPosition(next);
  return 1;
}

int KeptTextScanner::takeWholeSection(TextReader& reader, DeferredContents* out) {
  return keepWhole_ ? takeWhole(reader, out) : 0;
}

int KeptTextScanner::takeAnyWholeSection(TextReader& reader, DeferredContents* out) {
  return takeWhole(reader, out);
}

int KeptTextScanner::takeSectionOfLength(TextReader& reader, size_t length,
                                         DeferredContents* out) {
  if (!canTake(reader) || reader.depth() == 0) return 0;
  const size_t depth = reader.depth();
  const size_t begin = reader.position();
  if (length > reader.inputSize() - begin || length == 0 ||
      reader.input()[begin + length - 1] != '\n') {
    return 0;
  }
  reader.setPosition(begin + length);
  reader.readPiece();
  if (reader.depth() < depth) {
    *out = keptPart(reader, begin, length, depth, false);
    return 1;
  }
  reader.setPosition(begin);
  reader.dropSectionsAbove(depth);
  return 0;
}

int KeptTextScanner::takeWhole(TextReader& reader, DeferredContents* out) {
  if (!canTake(reader) || reader.depth() == 0) return 0;
  const char* const in = reader.input();
  const size_t inSize = reader.inputSize();
  const size_t depth = reader.depth();
  const size_t begin = reader.position();
  // Only lines that open or close a section or a block change the reading state: the text is
  // searched for line ends and the characters that start those lines, and a piece of a line
  // (as the line buffer cuts it) is read and parsed as reading does only when such a character
  // starts it after blanks.
  size_t lineStart = begin;
  size_t at = begin;
  while (at < inSize) {
    const size_t chunk = inSize - at < kMarkChunk ? inSize - at : kMarkChunk;
    uint32_t marks = markStructure(in + at, chunk);
    bool moved = false;
    while (marks != 0 && !moved) {
      const size_t hit = at + static_cast<size_t>(std::countr_zero(marks));
      marks &= marks - 1;
      if (in[hit] == '\n') {
        lineStart = hit + 1;
        continue;
      }
      const size_t pieceStart = linePieceStart(lineStart, hit);
      size_t blank = hit;
      while (blank > pieceStart && (in[blank - 1] == ' ' || in[blank - 1] == '\t')) --blank;
      if (blank != pieceStart) continue;
      reader.setPosition(pieceStart);
      reader.readPiece();
      if (reader.depth() < depth) {
        *out = keptPart(reader, begin, pieceStart - begin, depth, false);
        return 1;
      }
      if (reader.depth() > depth + kMaxWholeDepth) {
        at = inSize;
        break;
      }
      const size_t next = reader.position();
      if (in[next - 1] == '\n') lineStart = next;
      at = next;
      moved = true;
    }
    if (!moved && at < inSize) at += chunk;
  }
  // The text ends inside the section (or nests too deep): it is read line by line instead.
  reader.setPosition(begin);
  reader.dropSectionsAbove(depth);
  return 0;
}

}  // namespace gatekeeper
