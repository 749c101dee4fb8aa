#include "websupport/request_reader.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "platform/standard_streams.h"
#include "websupport/error_log.h"
#include "websupport/leading_number.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"
#include "websupport/url_encoding.h"

namespace gatekeeper {
namespace {

// At most length bytes of the body; reading stops early at the end of the stream, so a
// CONTENT_LENGTH larger than the body sent neither blocks past it nor reads beyond it.
std::string readBody(std::FILE* body, int length) {
  std::string bytes;
  if (body == nullptr || length <= 0) return bytes;
  const auto wanted = static_cast<std::size_t>(length);
  char chunk[4096];
  while (bytes.size() < wanted) {
    const std::size_t ask = std::min(sizeof chunk, wanted - bytes.size());
    const std::size_t got = std::fread(chunk, 1, ask, body);
    bytes.append(chunk, got);
    if (got < ask) break;
  }
  return bytes;
}

int bodyLength(const RawRequest& raw) {
  return raw.contentLength ? leadingNumber(*raw.contentLength) : 0;
}

void refuseLongBody(const RawRequest& raw) {
  writeErrorLog("request refused: its body of " + escapeForLog(*raw.contentLength) +
                " bytes is longer than the " + std::to_string(kLongestRequestBody) +
                " bytes a form may have");
  writeText("Status: 413 Request Entity Too Large\n");
  writeContentType("text/html");
  writeLine("<HTML><BODY>");
  writeLine("Request refused - the form sent is too large !<BR>");
  writeLine("</BODY></HTML>");
}

bool isLineBreakOrTab(char c) { return c == '\r' || c == '\n' || c == '\t'; }

// Splits one raw segment into its name and value and inserts them decoded.
void insertPair(std::string_view segment, bool trimName, FormFields* fields) {
  if (segment.empty() || segment.front() == '=') return;
  std::string_view name = segment;
  std::string_view value;
  if (const std::size_t equals = segment.find('='); equals != std::string_view::npos) {
    name = segment.substr(0, equals);
    value = segment.substr(equals + 1);
    std::size_t end = 0;
    while (end < value.size() && !isLineBreakOrTab(value[end])) ++end;
    value = value.substr(0, end);
  }
  std::string decodedName = urlDecode(name);
  if (trimName) {
    const std::size_t first = decodedName.find_first_not_of(" \t\r\n");
    decodedName.erase(0, first == std::string::npos ? decodedName.size() : first);
  }
  fields->insert(std::move(decodedName), urlDecode(value));
}

// Splits a source at every separator; a trailing separator gives no further segment.
void insertSegments(std::string_view source, char separator, bool trimNames,
                    FormFields* fields) {
  std::size_t start = 0;
  while (start < source.size()) {
    std::size_t end = source.find(separator, start);
    if (end == std::string_view::npos) end = source.size();
    insertPair(source.substr(start, end - start), trimNames, fields);
    start = end + 1;
  }
}

}  // namespace

bool requestBodyTooLong(const RawRequest& raw) { return bodyLength(raw) > kLongestRequestBody; }

RequestFields parseRequest(const RawRequest& raw) {
  RequestFields fields;
  insertSegments(readBody(raw.body, bodyLength(raw)), '&', false, &fields.form);
  if (raw.queryString) insertSegments(*raw.queryString, '&', false, &fields.query);
  if (raw.cookie) insertSegments(*raw.cookie, ';', true, &fields.cookies);
  return fields;
}

int readRequest(PageEntry handleRequest) {
  platform::useBinaryStandardStreams();
  RawRequest raw;
  raw.contentLength = serverVariable("CONTENT_LENGTH");
  raw.queryString = serverVariable("QUERY_STRING");
  raw.cookie = serverVariable("HTTP_COOKIE");
  raw.body = stdin;
  if (requestBodyTooLong(raw)) {
    refuseLongBody(raw);
    return 0;
  }
  const RequestFields fields = parseRequest(raw);
  return handleRequest(fields.form, fields.query, fields.cookies);
}

}  // namespace gatekeeper
