// The error log of a CGI program: its standard error, which the web server writes to its own
// error log (Apache's mod_cgid: "[cgid:error] ... [client IP:port] AH01215: LINE: /path/to/
// program"). Every failure that a page reports only in its own words (a database that cannot
// be loaded or saved, a lock, the settings key, a refused request) is named here too, with the
// path and the system's reason, so that the administrator can repair it.
#ifndef GATEKEEPER_WEBSUPPORT_ERROR_LOG_H_
#define GATEKEEPER_WEBSUPPORT_ERROR_LOG_H_

#include <string>
#include <string_view>

namespace gatekeeper {

// Writes one line: line followed by a line feed, in a single write. Control characters inside
// it (C0, DEL and C1, line breaks included) are written as "\xHH", so one call always adds
// exactly one line and a text taken from the request cannot forge another.
void writeErrorLog(std::string_view line);

// Text from the request or the database made fit for a log line: control characters, the
// backslash and the backquote written as "\xHH" ("\x5c", "\x60"). The backquote is escaped
// because log scanners skip a user name that starts with one (fail2ban's apache-auth).
std::string escapeForLog(std::string_view text);

// Collects every line written to the error log while it exists, instead of standard error.
// Captures nest: the innermost one receives the lines.
class ErrorLogCapture {
 public:
  ErrorLogCapture();
  ~ErrorLogCapture();
  ErrorLogCapture(const ErrorLogCapture&) = delete;
  ErrorLogCapture& operator=(const ErrorLogCapture&) = delete;

  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::string* previous_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_ERROR_LOG_H_
