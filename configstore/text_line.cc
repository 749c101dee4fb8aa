#include "configstore/text_line.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "configstore/config_node.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The character at p, or NUL at the end of the line.
char at(const char* p, const char* end) { return p < end ? *p : '\0'; }

// Whether byte c is one of kStops.
template <char... kStops>
bool isStop(char c) {
  return ((c == kStops) || ...);
}

// The first byte in [p, end) that is NUL (which ends a line) or one of kStops, or end. Fields
// run to such a byte: they are searched sixteen bytes at a time (eight without SSE2), the last
// few bytes too when the text from `floor` (readable, at most p) holds that many before end.
template <char... kStops>
const char* findStop(const char* floor, const char* p, const char* end) {
#if defined(__SSE2__)
  constexpr ptrdiff_t kChunk = 16;
  // Bit i set when byte i of the chunk at c is NUL or a stop.
  auto stopsAt = [](const char* c) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    __m128i hits = _mm_cmpeq_epi8(bytes, _mm_setzero_si128());
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(kStops)))), ...);
    return static_cast<uint32_t>(_mm_movemask_epi8(hits));
  };
  for (; end - p >= kChunk; p += kChunk) {
    if (const uint32_t hits = stopsAt(p); hits != 0) return p + std::countr_zero(hits);
  }
  if (p < end && end - floor >= kChunk) {
    // The chunk that ends at end, its bits shifted so that the bytes before p drop out: the
    // zeros shifted in stand for end.
    const uint32_t hits = (stopsAt(end - kChunk) >> (kChunk - (end - p))) | (1u << (end - p));
    return p + std::countr_zero(hits);
  }
#else
  if constexpr (std::endian::native == std::endian::little) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHighs = 0x8080808080808080ull;
    // The high bit of each byte that is zero; exact up to and including the lowest one.
    auto zeroBytes = [](uint64_t word) { return (word - kOnes) & ~word & kHighs; };
    for (; end - p >= 8; p += 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      const uint64_t hits =
          zeroBytes(word) | (zeroBytes(word ^ (kOnes * static_cast<unsigned char>(kStops))) | ...);
      if (hits != 0) return p + std::countr_zero(hits) / 8;
    }
  }
  static_cast<void>(floor);
#endif
  while (p < end && *p != '\0' && !isStop<kStops...>(*p)) ++p;
  return p;
}

constexpr uint64_t kEightSpaces = 0x2020202020202020ull;
constexpr uint32_t kFourSpaces = 0x20202020u;

// The outcome of scanning one field.
enum class Field { kFilled, kEmpty, kTooLong };

// The field from *p up to stop as a scanf "%[...]" conversion into a field buffer of
// kFieldBufferSize bytes takes it: at least one character, at most kLongestField. Moves *p to
// stop when it is filled.
Field takeField(const char** p, const char* stop, std::string_view* out) {
  const char* start = *p;
  if (stop == start) return Field::kEmpty;
  const size_t length = static_cast<size_t>(stop - start);
  if (length > kLongestField) return Field::kTooLong;
  *out = std::string_view(start, length);
  *p = stop;
  return Field::kFilled;
}

// The field that runs to the first NUL or one of kStops.
template <char... kStops>
Field scanField(const char* floor, const char** p, const char* end, std::string_view* out) {
  return takeField(p, findStop<kStops...>(floor, *p, end), out);
}

// The blank run required after "[", "]", "{" and "}", then the name up to kStop or the line
// end. false when either is missing or too long.
template <char kStop>
bool scanBlanksAndName(const char* floor, const char** p, const char* end, std::string_view* name) {
  const char* q = *p;
  while (q < end && isBlank(*q)) ++q;
  std::string_view blanks;
  if (takeField(p, q, &blanks) != Field::kFilled) return false;
  return takeField(p, findStop<kStop, '\r', '\n'>(floor, *p, end), name) == Field::kFilled;
}

const struct {
  std::string_view word;
  int32_t type;
} kTypeWords[] = {{"int", kItemInt},
                  {"float", kItemFloat},
                  {"string", kItemString},
                  {"double", kItemDouble},
                  {"int64", kItemInt64}};

// Type words are ASCII: they compare folding A-Z only, the same on every platform.
bool sameWord(std::string_view word, std::string_view lowerCase) {
  if (word.size() != lowerCase.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != lowerCase[i]) return false;
  }
  return true;
}

int32_t typeOfWord(std::string_view word) {
  // As the writer writes them first, compared whole.
  switch (word.size()) {
    case 3: if (word == "int") return kItemInt; break;
    case 5:
      if (word == "float") return kItemFloat;
      if (word == "int64") return kItemInt64;
      break;
    case 6:
      if (word == "string") return kItemString;
      if (word == "double") return kItemDouble;
      break;
    default: return 0;
  }
  for (const auto& entry : kTypeWords) {
    if (sameWord(word, entry.word)) return entry.type;
  }
  return 0;
}

// "(type)name=value" or the nameless "(type)=value" in the line that starts at text; p is at
// "(". The type runs to ")", the name to "=", the value to the line end (each may hold what the
// next one stops at).
void classifyValue(const char* text, const char* p, const char* end, TextLine* line) {
  const char* q = p + 1;
  if (takeField(&q, findStop<')'>(text, q, end), &line->typeWord) != Field::kFilled || at(q, end) != ')') return;
  ++q;
  const char* const afterType = q;
  // The name runs to "=": one scan finds it unless a "[" or a CR comes first.
  const char* nameEnd = findStop<'=', '[', '\r'>(text, q, end);
  if (nameEnd < end && *nameEnd != '=' && *nameEnd != '\0') {
    line->plainName = false;
    nameEnd = findStop<'='>(text, nameEnd, end);
  }
  const Field name = takeField(&q, nameEnd, &line->name);
  if (name == Field::kTooLong) return;
  Field value = Field::kEmpty;
  if (name == Field::kFilled && at(q, end) == '=') {
    ++q;
    value = scanField<'\r', '\n'>(text, &q, end, &line->value);
    if (value == Field::kTooLong) return;
  }
  if (name != Field::kFilled || value != Field::kFilled) {
    // The nameless form.
    q = afterType;
    if (at(q, end) != '=') return;
    ++q;
    if (scanField<'\r', '\n'>(text, &q, end, &line->value) != Field::kFilled) return;
    line->name = std::string_view();
  }
  line->itemType = typeOfWord(line->typeWord);
  if (line->itemType != 0) line->kind = LineKind::kValue;
}

// "{ name" and what follows up to the line end, which decides the tag, in the line that starts
// at text; p is at "{".
void classifySectionOpen(const char* text, const char* p, const char* end, TextLine* line) {
  const char* q = p + 1;
  if (!scanBlanksAndName<':'>(text, &q, end, &line->name)) return;
  const Field rest = takeField(&q, findStop<'\r', '\n'>(text, q, end), &line->rest);
  if (rest == Field::kTooLong) return;
  line->kind = LineKind::kSectionOpen;
  // The text after the first "(" up to the next ")" (a text tag); else after the first "{" up
  // to the next "}" (a hex tag). Empty or unclosed: no tag, as in ":" alone.
  const std::string_view restText = line->rest;
  if (rest != Field::kFilled || restText.size() < 3) return;
  char open = 0, close = 0;
  if (restText.find('(') != std::string_view::npos) {
    open = '(', close = ')';
  } else if (restText.find('{') != std::string_view::npos) {
    open = '{', close = '}';
  }
  if (open == 0) return;
  const size_t start = restText.find(open) + 1;
  const size_t stop = restText.find(close, start);
  if (stop == std::string_view::npos || stop == start) return;
  line->tag = restText.substr(start, stop - start);
  line->tagKind = open == '(' ? 2 : 1;
}

}  // namespace

TextLine classifyLine(const char* line, size_t length) {
  TextLine result;
  // A NUL ends every field, as it ends the text of the line buffer.
  const char* const end = line + length;
  if (length > 0 && isLineEnd(line[0])) return result;
  const char* p = line;
  // Indentation is four spaces per open section: eight at a time first.
  for (uint64_t word; end - p >= 8 && (std::memcpy(&word, p, 8), word == kEightSpaces);) p += 8;
  for (uint32_t word; end - p >= 4 && (std::memcpy(&word, p, 4), word == kFourSpaces);) p += 4;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  result.indent = static_cast<size_t>(p - line);
  const char* q = p < end ? p + 1 : end;
  switch (at(p, end)) {
    case '(': classifyValue(line, p, end, &result); break;
    case ';': break;
    case '[':
      if (scanBlanksAndName<':'>(line, &q, end, &result.name)) result.kind = LineKind::kBlockOpen;
      break;
    case ']':
      if (scanBlanksAndName<';'>(line, &q, end, &result.name)) result.kind = LineKind::kBlockClose;
      break;
    case '{': classifySectionOpen(line, p, end, &result); break;
    case '}':
      if (scanBlanksAndName<';'>(line, &q, end, &result.name)) result.kind = LineKind::kSectionClose;
      break;
    default: result.kind = LineKind::kOther; break;
  }
  return result;
}

bool splitItemName(std::string_view full, std::string_view* name, std::string_view* itemName) {
  const size_t bracket = full.find('[');
  if (bracket == std::string_view::npos) {
    *name = full;
    return false;
  }
  *name = full.substr(0, bracket);
  const std::string_view rest = full.substr(bracket + 1);
  *itemName = rest.substr(0, rest.find(']'));
  return true;
}

bool sameName(std::string_view field, const char* name) {
  if (field.size() > kLongestField) return false;
  char text[kFieldBufferSize];
  if (!field.empty()) std::memcpy(text, field.data(), field.size());
  text[field.size()] = '\0';
  return platform::namesEqual(text, name);
}

size_t formatNumber(int32_t itemType, const NumberValue& value, char* out) {
  switch (itemType) {
    case kItemInt: return formatInt64(static_cast<int32_t>(value.whole), out);
    case kItemInt64: return formatInt64(value.whole, out);
    case kItemFloat: return formatFixed(static_cast<float>(value.real), out);
    case kItemDouble: return formatGeneral(value.real, true, out);
    default: out[0] = '\0'; return 0;
  }
}

bool scanNumber(int32_t itemType, const char* text, NumberValue* value) {
  switch (itemType) {
    case kItemInt:
    case kItemInt64: return scanInteger(text, &value->whole);
    case kItemFloat:
    case kItemDouble: return scanFloating(text, &value->real);
    default: return false;
  }
}

bool readsBackAsWritten(int32_t itemType, std::string_view text) {
  if (itemType == kItemString) return true;
  if (text.size() > kLongestField) return false;
  char copy[kFieldBufferSize];
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  NumberValue value;
  if (!scanNumber(itemType, copy, &value)) return false;
  char formatted[kNumberTextSize];
  const size_t length = formatNumber(itemType, value, formatted);
  return length == text.size() && std::memcmp(formatted, text.data(), length) == 0;
}

const char* typeWordOf(int32_t itemType) {
  for (const auto& entry : kTypeWords) {
    if (entry.type == itemType) return entry.word.data();
  }
  return nullptr;
}

bool fitsField(std::string_view text) { return text.size() <= kLongestField; }

bool isSectionName(const char* name) {
  return name != nullptr && *name != '\0' && *name != ' ' && *name != '\t' &&
         std::strpbrk(name, ":;\r\n") == nullptr && fitsField(name);
}

bool isValueName(const char* name) { return std::strpbrk(name, "=[\r\n") == nullptr; }

bool isItemName(const char* itemName) { return std::strpbrk(itemName, "]=\r\n") == nullptr; }

bool isTextTag(const char* tag) {
  // The rest of the opening line after the name (": (tag)") is one field of the reader.
  return *tag != '\0' && std::strpbrk(tag, ")\r\n") == nullptr &&
         std::strlen(tag) + 4 <= kLongestField;
}

bool isStringValue(std::string_view text) {
  return fitsField(text) && text.find_first_of("\r\n") == std::string_view::npos;
}

}  // namespace gatekeeper
