// The response of a CGI program: header lines, the empty line, then the HTML body, written
// front to back as the page is produced. Every line ends in a single line feed. The response
// goes to standard output, or to a ResponseCapture's buffer while one exists (tests).
// Write errors on standard output are ignored: there is nobody left to tell.
#ifndef GATEKEEPER_WEBSUPPORT_RESPONSE_WRITER_H_
#define GATEKEEPER_WEBSUPPORT_RESPONSE_WRITER_H_

#include <string>
#include <string_view>

namespace gatekeeper {

// Writes text unchanged. Text from the request or the database goes through writeEscaped
// (websupport/html_escape.h) instead.
void writeText(std::string_view text);

// Writes text followed by a line feed.
void writeLine(std::string_view text);

// Writes the Content-Type header, always the last header, and the empty line ending the headers.
void writeContentType(std::string_view mediaType);

// Collects everything written while it exists, instead of standard output. Captures nest: the
// innermost one receives the output.
class ResponseCapture {
 public:
  ResponseCapture();
  ~ResponseCapture();
  ResponseCapture(const ResponseCapture&) = delete;
  ResponseCapture& operator=(const ResponseCapture&) = delete;

  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::string* previous_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_RESPONSE_WRITER_H_
