#include "accountdb/event_line.h"

#include <charconv>
#include <cstdio>

#include "accountdb/event_ids.h"

namespace gatekeeper::accountdb {
namespace {

constexpr platform::FileTime kTicksPerMinute = 60 * platform::kTicksPerSecond;

// What the writer puts between two fields; the reader splits at its comma.
constexpr std::string_view kFieldSeparator = ", ";

std::string_view textOf(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

// The text of one field of an event line, and whether the request chose it.
struct EventField {
  std::string_view text;
  bool fromRequest;
};

// The encoding of the fields that the request chooses (the user name as sent, the binding key,
// the resource and the site): a comma, every control character (0x00 to 0x1F, among them CR
// and LF, and DEL, 0x7F) and the percent sign itself are written as "%" and two upper-case hex
// digits ("," is "%2C", "%" is "%25"); every other byte is written as it is. Such a field
// therefore never adds a field or a line to the log, and its text is recovered exactly by
// decoding every "%XX". Text without those characters is written unchanged, byte for byte.
bool needsEncoding(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte == ',' || byte == '%' || byte < 0x20 || byte == 0x7F;
}

std::size_t encodedSize(std::string_view text) {
  std::size_t size = text.size();
  for (const char c : text) {
    if (needsEncoding(c)) size += 2;
  }
  return size;
}

void appendEncoded(std::string_view text, std::string* line) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::size_t plain = 0;  // start of the run of bytes not yet appended
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!needsEncoding(text[i])) continue;
    const auto byte = static_cast<unsigned char>(text[i]);
    line->append(text.data() + plain, i - plain);
    const char escape[3] = {'%', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
    line->append(escape, sizeof escape);
    plain = i + 1;
  }
  line->append(text.data() + plain, text.size() - plain);
}

bool endsField(char c) { return c == kFieldSeparator.front() || c == '\r' || c == '\n'; }

}  // namespace

std::string_view localTimeAndDate(platform::FileTime now) {
  // Local minutes begin with UTC minutes (zones are whole minutes apart), so one text serves
  // the whole minute. Plain data: nothing to destroy when a thread ends.
  struct Cached {
    platform::FileTime minute = -1;
    char text[96] = {};
  };
  static thread_local Cached cached;
  const platform::FileTime minute = now / kTicksPerMinute;
  if (minute != cached.minute) {
    const platform::CalendarTime local = platform::localTimeAt(minute * kTicksPerMinute);
    std::snprintf(cached.text, sizeof cached.text, "%s, %2u/%2u/%4u",
                  platform::formatTimeOfDay(local).c_str(), static_cast<unsigned>(local.month),
                  static_cast<unsigned>(local.day), static_cast<unsigned>(local.year));
    cached.minute = minute;
  }
  return cached.text;
}

std::string formatEventLine(std::int32_t eventId, std::string_view timeAndDate,
                            const char* description, const char* parameter1,
                            const char* parameter2, std::string_view resource,
                            std::string_view site) {
  char id[16];
  const auto idLength = std::to_chars(id, id + sizeof id, eventId).ptr - id;
  const bool parameter1FromRequest = isParameter1FromRequest(eventId);
  const EventField fields[] = {{timeAndDate, false},
                               {textOf(description), false},
                               {textOf(parameter1), parameter1FromRequest},
                               {textOf(parameter2), false},
                               {resource, true},
                               {site, true}};
  std::size_t length = static_cast<std::size_t>(idLength);
  for (const EventField& field : fields) {
    length += kFieldSeparator.size() +
              (field.fromRequest ? encodedSize(field.text) : field.text.size());
  }
  // Built in one allocation: this runs for every decision.
  std::string line;
  line.reserve(length);
  line.append(id, static_cast<std::size_t>(idLength));
  for (const EventField& field : fields) {
    line += kFieldSeparator;
    if (field.fromRequest) {
      appendEncoded(field.text, &line);
    } else {
      line += field.text;
    }
  }
  return line;
}

std::vector<std::string_view> splitLogLine(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || endsField(line[i])) {
      fields.push_back(line.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  return fields;
}

}  // namespace gatekeeper::accountdb
