// The request reader of the CGI programs: turns the request body, QUERY_STRING and HTTP_COOKIE
// into three separate field collections and hands them to the program's page entry.
#ifndef GATEKEEPER_WEBSUPPORT_REQUEST_READER_H_
#define GATEKEEPER_WEBSUPPORT_REQUEST_READER_H_

#include <cstdio>
#include <optional>
#include <string>

#include "websupport/form_fields.h"

namespace gatekeeper {

// A program's page entry: the form (body), query and cookie collections, in that order. Its
// result becomes the process's exit code.
using PageEntry = int (*)(const FormFields& form, const FormFields& query,
                          const FormFields& cookies);

// The raw request: the three variables as set (nullopt when unset) and the stream that holds
// the body.
struct RawRequest {
  std::optional<std::string> contentLength;
  std::optional<std::string> queryString;
  std::optional<std::string> cookie;
  std::FILE* body = nullptr;
};

// The largest request body a program reads: its forms are a few short fields.
inline constexpr int kLongestRequestBody = 64 * 1024;

struct RequestFields {
  FormFields form;
  FormFields query;
  FormFields cookies;
};

// Reads the body (CONTENT_LENGTH bytes as "%d" reads it; none when it is unset, not a number,
// 0 or negative; fewer when the stream ends first; readRequest refuses a body longer than
// kLongestRequestBody before it gets here) and splits the three sources into fields:
// segments separated by "&" (";" for cookies), each "name=value" with the value ending at the
// first raw carriage return, line feed or tab; name and value decoded after splitting. A
// segment that is empty or begins with "=" is dropped; one without "=" is a name with an empty
// value. Cookie names lose their leading blanks.
RequestFields parseRequest(const RawRequest& raw);

// Whether the request announces a body longer than kLongestRequestBody (CONTENT_LENGTH read as
// parseRequest reads it).
bool requestBodyTooLong(const RawRequest& raw);

// Reads the request of this process from its environment and standard input, then calls
// handleRequest with the three collections and returns its result. A request whose body is too
// long is refused before any of it is read: "Status: 413 Request Entity Too Large", a one-line
// page and an error log line; handleRequest is not called and the result is 0.
int readRequest(PageEntry handleRequest);

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_REQUEST_READER_H_
