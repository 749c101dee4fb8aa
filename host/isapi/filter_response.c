#include "filter_response.h"

#include <string.h>
#include <strings.h>

static int isDigit(char c) { return c >= '0' && c <= '9'; }

static int isPrintable(char c) { return c >= 0x20 && c <= 0x7E; }

static int isTokenChar(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c)) return 1;
  return c != '\0' && strchr("!#$%&'*+-.^_`|~", c) != NULL;
}

int parseFilterStatus(const char* text, const char** reason) {
  *reason = NULL;
  if (text == NULL || !isDigit(text[0]) || !isDigit(text[1]) || !isDigit(text[2])) return 0;
  int status = (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
  if (status < 400 || status > 599) return 0;
  if (text[3] == '\0') return status;
  if (text[3] != ' ') return 0;
  const char* phrase = text + 4;
  size_t length = 0;
  while (phrase[length] != '\0') {
    if (!isPrintable(phrase[length]) || length >= FILTER_REASON_MAX) return status;
    ++length;
  }
  if (length > 0) *reason = phrase;
  return status;
}

// Headers that describe the message's framing or the connection: the server alone sets them.
static const char* const kReservedHeaders[] = {
    "Content-Length", "Transfer-Encoding", "Connection", "Keep-Alive", "Proxy-Connection",
    "Upgrade",        "Trailer",           "TE",         NULL};

static int isReserved(const char* name, size_t length) {
  for (const char* const* reserved = kReservedHeaders; *reserved != NULL; ++reserved) {
    if (strlen(*reserved) == length && strncasecmp(*reserved, name, length) == 0) return 1;
  }
  return 0;
}

// Parses the line [begin, end) (line ending removed) into header; 0 when it does not pass.
static int parseHeaderLine(const char* begin, const char* end, FilterHeader* header) {
  const char* colon = begin;
  while (colon < end && *colon != ':') ++colon;
  if (colon == end || colon == begin) return 0;
  for (const char* c = begin; c < colon; ++c) {
    if (!isTokenChar(*c)) return 0;
  }
  const char* value = colon + 1;
  const char* valueEnd = end;
  while (value < valueEnd && (*value == ' ' || *value == '\t')) ++value;
  while (valueEnd > value && (valueEnd[-1] == ' ' || valueEnd[-1] == '\t')) --valueEnd;
  for (const char* c = value; c < valueEnd; ++c) {
    if (!isPrintable(*c) && *c != '\t') return 0;
  }
  header->name = begin;
  header->nameLength = (size_t)(colon - begin);
  header->value = value;
  header->valueLength = (size_t)(valueEnd - value);
  if (header->nameLength > FILTER_HEADER_NAME_MAX) return 0;
  if (header->valueLength > FILTER_HEADER_VALUE_MAX) return 0;
  return !isReserved(header->name, header->nameLength);
}

// Walks the lines of text; with emit NULL only checks them. Returns 0 at the first bad line.
static int walkHeaderLines(const char* text, void (*emit)(void*, const FilterHeader*),
                           void* context) {
  const char* line = text;
  while (*line != '\0') {
    const char* newline = strchr(line, '\n');
    const char* next = newline != NULL ? newline + 1 : line + strlen(line);
    const char* end = newline != NULL ? newline : next;
    if (newline != NULL && end > line && end[-1] == '\r') --end;
    if (end > line) {
      FilterHeader header;
      if (!parseHeaderLine(line, end, &header)) return 0;
      if (emit != NULL) emit(context, &header);
    }
    line = next;
  }
  return 1;
}

int forEachFilterHeader(const char* text, void (*emit)(void* context, const FilterHeader* header),
                        void* context) {
  if (text == NULL) return 1;
  if (!walkHeaderLines(text, NULL, NULL)) return 0;
  return walkHeaderLines(text, emit, context);
}

int statusForFailedRequest(int requestedStatus, DWORD lastError) {
  if (requestedStatus != 0) return requestedStatus;
  switch (lastError) {
    case ERROR_FILE_NOT_FOUND:
      return 404;
    case ERROR_ACCESS_DENIED:
      return 401;
    default:
      return 500;
  }
}

size_t basicChallengeSize(const char* realm) {
  return sizeof("Basic realm=\"\"") + 2 * strlen(realm);
}

void writeBasicChallenge(const char* realm, char* out) {
  memcpy(out, "Basic realm=\"", 13);
  char* at = out + 13;
  for (const char* c = realm; *c != '\0'; ++c) {
    if (*c == '\r' || *c == '\n') continue;
    if (*c == '"' || *c == '\\') *at++ = '\\';
    *at++ = *c;
  }
  *at++ = '"';
  *at = '\0';
}
