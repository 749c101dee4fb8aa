#include "log_text.h"

// The escape of byte c into escape (up to 4 bytes, not terminated); returns its length.
static size_t escapeByte(unsigned char c, char escape[4]) {
  static const char kHex[] = "0123456789abcdef";
  static const char kShort[][2] = {{'\b', 'b'}, {'\n', 'n'}, {'\r', 'r'}, {'\t', 't'},
                                   {'\v', 'v'}, {'\\', '\\'}, {'"', '"'}};
  for (size_t i = 0; i < sizeof(kShort) / sizeof(kShort[0]); ++i) {
    if (c == (unsigned char)kShort[i][0]) {
      escape[0] = '\\';
      escape[1] = kShort[i][1];
      return 2;
    }
  }
  if (c >= 0x20 && c < 0x7f) {
    escape[0] = (char)c;
    return 1;
  }
  escape[0] = '\\';
  escape[1] = 'x';
  escape[2] = kHex[c >> 4];
  escape[3] = kHex[c & 0xf];
  return 4;
}

size_t escapedLogTextSize(const char* text) {
  size_t size = 1;
  char escape[4];
  for (const unsigned char* c = (const unsigned char*)text; *c != '\0'; ++c) {
    size += escapeByte(*c, escape);
  }
  return size;
}

size_t escapeLogText(const char* text, char* out, size_t outSize) {
  if (outSize == 0) return 0;
  size_t length = 0;
  char escape[4];
  for (const unsigned char* c = (const unsigned char*)text; *c != '\0'; ++c) {
    size_t n = escapeByte(*c, escape);
    if (length + n >= outSize) break;
    for (size_t i = 0; i < n; ++i) out[length++] = escape[i];
  }
  out[length] = '\0';
  return length;
}
