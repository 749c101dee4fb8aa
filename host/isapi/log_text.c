#include "log_text.h"

#include <string.h>

size_t escapedLogTextSize(const char* text) { return 4 * strlen(text) + 1; }

char* escapeLogText(const char* text, char* out) {
  static const char kHex[] = "0123456789abcdef";
  char* at = out;
  for (const unsigned char* c = (const unsigned char*)text; *c != '\0'; ++c) {
    if (*c == '\\') {
      *at++ = '\\';
      *at++ = '\\';
    } else if (*c < 0x20 || *c == 0x7F || *c == '"') {
      *at++ = '\\';
      *at++ = 'x';
      *at++ = kHex[*c >> 4];
      *at++ = kHex[*c & 0xF];
    } else {
      *at++ = (char)*c;
    }
  }
  *at = '\0';
  return out;
}
