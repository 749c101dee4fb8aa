// Texts from a client (a user name, a path) for an error log that writes what it is given as
// it is (nginx's): control characters, '"' and '\' escaped, so that a line cannot be forged or
// broken and a quoted text ends where it seems to.
#ifndef GATEKEEPER_HOST_ISAPI_LOG_TEXT_H_
#define GATEKEEPER_HOST_ISAPI_LOG_TEXT_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// The size escapeLogText needs for text (terminator included): at most 4 bytes per byte.
size_t escapedLogTextSize(const char* text);

// Writes text into out with '"' as \", '\' as \\ and every byte below 0x20 or 0x7F as \xHH
// (bytes of 0x80 and above, UTF-8, stay); returns out.
char* escapeLogText(const char* text, char* out);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_LOG_TEXT_H_
