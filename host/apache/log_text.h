// Text from a client or a filter made safe for one line of the server's error log, the way
// Apache's ap_escape_logitem makes it: nothing can end the line, forge another, or break a
// quoted part. Pure functions: no server, no allocation.
#ifndef GATEKEEPER_HOST_APACHE_LOG_TEXT_H_
#define GATEKEEPER_HOST_APACHE_LOG_TEXT_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// The size escapeLogText needs for text, terminating zero included (at most 4 bytes a byte).
size_t escapedLogTextSize(const char* text);

// Writes text escaped into out, of outSize bytes, always zero-terminated (when outSize > 0):
// backspace, line feed, carriage return, tab and vertical tab as \b \n \r \t \v; a backslash and
// a double quote preceded by a backslash; every other byte that is not printable ASCII (control
// characters, DEL, bytes from 0x80) as \xhh. An escape that does not fit whole is left out with
// everything after it. Returns the length written.
size_t escapeLogText(const char* text, char* out, size_t outSize);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_APACHE_LOG_TEXT_H_
