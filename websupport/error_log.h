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

// Writes one line about the client of this request (a failed logon) for log scanners that ban
// clients. Where standard error is the web server's error log file itself (Apache's mod_cgid
// hands it to programs as it is, and writes nothing around their lines), the line gets the
// prefix that Apache writes before its own lines, apacheClientPrefix for REMOTE_ADDR and
// REMOTE_PORT, so that the scanner knows the client (fail2ban's apache-auth filter). Elsewhere
// (a pipe: mod_cgi writes each line of a program with its own prefix, "AH01215: stderr from
// PROGRAM: ", which no stock filter reads) the line alone. Captured lines are the line alone.
void writeClientErrorLog(std::string_view line);

// "[Tue Dec 08 14:17:49.087532 2026] [cgid:error] [client ADDR:PORT] ": Apache's error log
// prefix for the local time given as seconds and microseconds since 1970; without ":PORT" when
// port is empty.
std::string apacheClientPrefix(long long seconds, int microseconds, std::string_view address,
                               std::string_view port);

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
