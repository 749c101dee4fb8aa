#include "configstore/text_line.h"

#include <cstring>

#include "configstore/config_node.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

// The longest piece of a line that one line read takes.
constexpr size_t kLinePiece = kLineBufferSize - 1;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The character at p, or NUL at the end of the line.
char at(const char* p, const char* end) { return p < end ? *p : '\0'; }

// The outcome of scanning one field.
enum class Field { kFilled, kEmpty, kTooLong };

// The longest run of characters (at least one, NUL ends it) for which accept holds, like a
// scanf "%[...]" conversion into a field buffer of kFieldBufferSize bytes. Advances *p past it.
template <typename Accept>
Field scanField(const char** p, const char* end, Accept accept, std::string_view* out) {
  const char* start = *p;
  const char* q = start;
  while (q < end && *q != '\0' && accept(*q)) ++q;
  if (q == start) return Field::kEmpty;
  const size_t length = static_cast<size_t>(q - start);
  if (length > kLongestField) return Field::kTooLong;
  *out = std::string_view(start, length);
  *p = q;
  return Field::kFilled;
}

// The blank run required after "[", "]", "{" and "}", then the name up to `stop` or the line
// end. false when either is missing or too long.
bool scanBlanksAndName(const char** p, const char* end, char stop, std::string_view* name) {
  std::string_view blanks;
  if (scanField(p, end, isBlank, &blanks) != Field::kFilled) return false;
  auto nameChar = [stop](char c) { return c != stop && !isLineEnd(c); };
  return scanField(p, end, nameChar, name) == Field::kFilled;
}

const struct {
  const char* word;
  int32_t type;
} kTypeWords[] = {{"int", kItemInt},
                  {"float", kItemFloat},
                  {"string", kItemString},
                  {"double", kItemDouble},
                  {"int64", kItemInt64}};

// Type words are ASCII: they compare folding A-Z only, the same on every platform.
int32_t typeOfWord(std::string_view word) {
  for (const auto& entry : kTypeWords) {
    const size_t length = std::strlen(entry.word);
    if (word.size() != length) continue;
    size_t i = 0;
    for (; i < length; ++i) {
      const char c = word[i];
      if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != entry.word[i]) break;
    }
    if (i == length) return entry.type;
  }
  return 0;
}

// "(type)name=value" or the nameless "(type)=value"; p is at "(".
void classifyValue(const char* p, const char* end, TextLine* line) {
  const char* q = p + 1;
  if (scanField(&q, end, [](char c) { return c != ')'; }, &line->typeWord) != Field::kFilled ||
      at(q, end) != ')') {
    return;
  }
  ++q;
  const char* const afterType = q;
  const Field name = scanField(&q, end, [](char c) { return c != '='; }, &line->name);
  if (name == Field::kTooLong) return;
  auto valueChar = [](char c) { return !isLineEnd(c); };
  Field value = Field::kEmpty;
  if (name == Field::kFilled && at(q, end) == '=') {
    ++q;
    value = scanField(&q, end, valueChar, &line->value);
    if (value == Field::kTooLong) return;
  }
  if (name != Field::kFilled || value != Field::kFilled) {
    // The nameless form.
    q = afterType;
    if (at(q, end) != '=') return;
    ++q;
    if (scanField(&q, end, valueChar, &line->value) != Field::kFilled) return;
    line->name = std::string_view();
  }
  line->itemType = typeOfWord(line->typeWord);
  if (line->itemType != 0) line->kind = LineKind::kValue;
}

// "{ name" and what follows up to the line end, which decides the tag; p is at "{".
void classifySectionOpen(const char* p, const char* end, TextLine* line) {
  const char* q = p + 1;
  if (!scanBlanksAndName(&q, end, ':', &line->name)) return;
  const Field rest = scanField(&q, end, [](char c) { return !isLineEnd(c); }, &line->rest);
  if (rest == Field::kTooLong) return;
  line->kind = LineKind::kSectionOpen;
  if (rest != Field::kFilled) return;
  // The text after the first "(" up to the next ")" (a text tag); else after the first "{" up
  // to the next "}" (a hex tag). Empty or unclosed: no tag.
  const std::string_view text = line->rest;
  char open = 0, close = 0;
  if (text.find('(') != std::string_view::npos) {
    open = '(', close = ')';
  } else if (text.find('{') != std::string_view::npos) {
    open = '{', close = '}';
  }
  if (open == 0) return;
  const size_t start = text.find(open) + 1;
  const size_t stop = text.find(close, start);
  if (stop == std::string_view::npos || stop == start) return;
  line->tag = text.substr(start, stop - start);
  line->tagKind = open == '(' ? 2 : 1;
}

}  // namespace

size_t linePieceLength(const char* text, size_t available) {
  const size_t length = available < kLinePiece ? available : kLinePiece;
  const void* newline = std::memchr(text, '\n', length);
  if (newline == nullptr) return length;
  return static_cast<size_t>(static_cast<const char*>(newline) - text) + 1;
}

size_t linePieceStart(size_t lineStart, size_t at) {
  return lineStart + (at - lineStart) / kLinePiece * kLinePiece;
}

TextLine classifyLine(const char* line, size_t length) {
  TextLine result;
  const char* const end = line + length;
  if (length > 0 && isLineEnd(line[0])) return result;
  const char* p = line;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  result.indent = static_cast<size_t>(p - line);
  const char* q = p < end ? p + 1 : end;
  switch (at(p, end)) {
    case '(': classifyValue(p, end, &result); break;
    case ';': break;
    case '[':
      if (scanBlanksAndName(&q, end, ':', &result.name)) result.kind = LineKind::kBlockOpen;
      break;
    case ']':
      if (scanBlanksAndName(&q, end, ';', &result.name)) result.kind = LineKind::kBlockClose;
      break;
    case '{': classifySectionOpen(p, end, &result); break;
    case '}':
      if (scanBlanksAndName(&q, end, ';', &result.name)) result.kind = LineKind::kSectionClose;
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
    if (entry.type == itemType) return entry.word;
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
