#include "basic_credentials.h"

#include <string.h>
#include <strings.h>

static const char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

static int isBlank(char c) { return c == ' ' || c == '\t'; }

static int base64Value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Receives the decoded bytes one at a time and routes them to the user name until the first
// colon, to the password after it.
typedef struct {
  char* user;
  size_t userSize;
  size_t userLength;
  char* password;
  size_t passwordSize;
  size_t passwordLength;
  int seenColon;
  int tooLong;
  int hasZeroByte;
} CredentialsSplitter;

static void appendByte(char* buffer, size_t size, size_t* length, int* tooLong, char c) {
  if (*length + 1 < size) {
    buffer[(*length)++] = c;
    buffer[*length] = '\0';
  } else {
    *tooLong = 1;
  }
}

static void splitByte(CredentialsSplitter* s, unsigned char b) {
  if (b == 0) {
    s->hasZeroByte = 1;
  } else if (!s->seenColon && b == ':') {
    s->seenColon = 1;
  } else if (!s->seenColon) {
    appendByte(s->user, s->userSize, &s->userLength, &s->tooLong, (char)b);
  } else {
    appendByte(s->password, s->passwordSize, &s->passwordLength, &s->tooLong, (char)b);
  }
}

// Decodes token[0..length) as base64 (padding optional) into the splitter; 0 when the token
// is not valid base64.
static int decodeBase64(const char* token, size_t length, CredentialsSplitter* s) {
  size_t dataLength = length;
  while (dataLength > 0 && token[dataLength - 1] == '=' && length - dataLength < 2) {
    --dataLength;
  }
  if (dataLength < length && length % 4 != 0) return 0;
  if (dataLength % 4 == 1) return 0;
  unsigned long bits = 0;
  int bitCount = 0;
  for (size_t i = 0; i < dataLength; ++i) {
    int value = base64Value((unsigned char)token[i]);
    if (value < 0) return 0;
    bits = ((bits << 6) | (unsigned long)value) & 0xFFFFFFul;
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      splitByte(s, (unsigned char)((bits >> bitCount) & 0xFF));
    }
  }
  return 1;
}

const char* credentialsScheme(const char* header, size_t* length) {
  *length = 0;
  if (header == NULL) return NULL;
  while (isBlank(*header)) ++header;
  while (header[*length] != '\0' && !isBlank(header[*length])) ++*length;
  return header;
}

CredentialsResult decodeBasicCredentials(const char* header, char* user, size_t userSize,
                                         char* password, size_t passwordSize) {
  if (userSize > 0) user[0] = '\0';
  if (passwordSize > 0) password[0] = '\0';
  size_t schemeLength;
  const char* scheme = credentialsScheme(header, &schemeLength);
  if (schemeLength != 5 || strncasecmp(scheme, "Basic", 5) != 0) return kCredentialsNone;
  if (userSize == 0 || passwordSize == 0) return kCredentialsTooLong;

  const char* token = scheme + schemeLength;
  while (isBlank(*token)) ++token;
  size_t tokenLength = 0;
  while (token[tokenLength] != '\0' && !isBlank(token[tokenLength])) ++tokenLength;
  for (const char* rest = token + tokenLength; *rest != '\0'; ++rest) {
    if (!isBlank(*rest)) return kCredentialsMalformed;
  }

  CredentialsSplitter s = {user, userSize, 0, password, passwordSize, 0, 0, 0, 0};
  CredentialsResult result = kCredentialsDecoded;
  if (!decodeBase64(token, tokenLength, &s) || s.hasZeroByte || !s.seenColon) {
    result = kCredentialsMalformed;
  } else if (s.tooLong) {
    result = kCredentialsTooLong;
  }
  if (result != kCredentialsDecoded) {
    user[0] = '\0';
    password[0] = '\0';
  }
  return result;
}

size_t encodedBasicCredentialsSize(size_t userLength, size_t passwordLength) {
  size_t raw = userLength + 1 + passwordLength;
  return 6 + (raw + 2) / 3 * 4 + 1;
}

size_t encodeBasicCredentials(const char* user, const char* password, char* out, size_t outSize) {
  size_t userLength = strlen(user);
  size_t passwordLength = strlen(password);
  if (memchr(user, ':', userLength) != NULL) return 0;
  if (outSize < encodedBasicCredentialsSize(userLength, passwordLength)) return 0;

  size_t rawLength = userLength + 1 + passwordLength;
  size_t written = 0;
  memcpy(out, "Basic ", 6);
  written = 6;
  for (size_t i = 0; i < rawLength; i += 3) {
    unsigned long group = 0;
    size_t count = rawLength - i < 3 ? rawLength - i : 3;
    for (size_t k = 0; k < 3; ++k) {
      size_t at = i + k;
      unsigned char b = 0;
      if (k < count) {
        b = (unsigned char)(at < userLength    ? user[at]
                            : at == userLength ? ':'
                                               : password[at - userLength - 1]);
      }
      group = (group << 8) | b;
    }
    out[written++] = kBase64Alphabet[(group >> 18) & 63];
    out[written++] = kBase64Alphabet[(group >> 12) & 63];
    out[written++] = count > 1 ? kBase64Alphabet[(group >> 6) & 63] : '=';
    out[written++] = count > 2 ? kBase64Alphabet[group & 63] : '=';
  }
  out[written] = '\0';
  return written;
}

void eraseSecret(void* bytes, size_t size) {
  if (size == 0) return;
  memset(bytes, 0, size);
  // The compiler must assume that the zeroed bytes are read here, so it keeps the memset; and
  // it stays a whole-word memset, not a byte loop through a volatile pointer.
  __asm__ __volatile__("" : : "r"(bytes) : "memory");
}
