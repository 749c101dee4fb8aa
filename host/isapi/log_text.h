// Texts from a client (a user name, a path) for an error log that writes what it is given as
// it is (nginx's): control characters, '"' and '\' escaped, so that a line cannot be broken or
// forged, and a text in quotes holds no quote at all: a pattern that reads up to the closing
// quote (fail2ban's) finds the line's own.
#ifndef GATEKEEPER_HOST_ISAPI_LOG_TEXT_H_
#define GATEKEEPER_HOST_ISAPI_LOG_TEXT_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// The size escapeLogText needs for text (terminator included): at most 4 bytes per byte.
size_t escapedLogTextSize(const char* text);

// Writes text into out with '\' as \\ and '"', 0x7F and every byte below 0x20 as \xHH (bytes
// of 0x80 and above, UTF-8, stay); returns out.
char* escapeLogText(const char* text, char* out);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_LOG_TEXT_H_
