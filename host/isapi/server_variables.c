#include "server_variables.h"

#include <string.h>

#include "basic_credentials.h"

static char upperAscii(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

// Whether name, of the given length, is upperName ignoring the case of ASCII letters (the
// names are ASCII: no locale is consulted).
static int isVariableName(const char* name, size_t length, const char* upperName,
                          size_t upperLength) {
  if (length != upperLength) return 0;
  for (size_t i = 0; i < length; ++i) {
    if (upperAscii(name[i]) != upperName[i]) return 0;
  }
  return 1;
}

// Whether the header name (nameLength bytes) is what the variable part after "HTTP_" names:
// letters ignoring case, '_' standing for '-'.
static int headerNamed(const char* header, size_t headerLength, const char* variable,
                       size_t variableLength) {
  if (headerLength != variableLength) return 0;
  for (size_t i = 0; i < headerLength; ++i) {
    char wanted = variable[i] == '_' ? '-' : upperAscii(variable[i]);
    if (upperAscii(header[i]) != wanted) return 0;
  }
  return 1;
}

typedef struct {
  const IsapiHost* host;
  void* request;
  const char* name;  // the header name as the variable spells it
  size_t nameLength;
  const char* value;  // found: a copy in the request's memory
  int found;
} HeaderSearch;

static int findHeader(void* context, const char* name, size_t nameLength, const char* value,
                      size_t valueLength) {
  HeaderSearch* search = context;
  if (!headerNamed(name, nameLength, search->name, search->nameLength)) return 1;
  search->found = 1;
  search->value = isapiCopy(search->host, search->request, value, valueLength);
  return 0;
}

// The first header named name (nameLength bytes, '_' for '-'), or NULL.
static const char* headerValue(const IsapiHost* host, void* request, const char* name,
                               size_t nameLength) {
  HeaderSearch search = {host, request, name, nameLength, NULL, 0};
  host->forEachHeader(request, findHeader, &search);
  return search.value;
}

typedef struct {
  char* out;  // NULL while measuring
  size_t length;
} AllHttp;

static int putHeader(void* context, const char* name, size_t nameLength, const char* value,
                     size_t valueLength) {
  AllHttp* all = context;
  if (all->out != NULL) {
    char* at = all->out + all->length;
    memcpy(at, "HTTP_", 5);
    at += 5;
    for (size_t i = 0; i < nameLength; ++i) *at++ = name[i] == '-' ? '_' : upperAscii(name[i]);
    *at++ = ':';
    memcpy(at, value, valueLength);
    at += valueLength;
    *at = '\n';
  }
  all->length += 5 + nameLength + 1 + valueLength + 1;
  return 1;
}

// Every request header as "HTTP_NAME:value\n", as IIS's ALL_HTTP: measured, then written.
static const char* allHttp(const IsapiHost* host, void* request) {
  AllHttp all = {NULL, 0};
  host->forEachHeader(request, putHeader, &all);
  char* out = host->allocate(request, all.length + 1);
  if (out == NULL) return NULL;
  all.out = out;
  all.length = 0;
  host->forEachHeader(request, putHeader, &all);
  out[all.length] = '\0';
  return out;
}

static const char* authType(const IsapiHost* host, void* request) {
  const char* header = headerValue(host, request, "AUTHORIZATION", 13);
  size_t length;
  const char* scheme = credentialsScheme(header, &length);
  return length > 0 ? isapiCopy(host, request, scheme, length) : "";
}

typedef struct {
  const char* name;  // upper case
  size_t length;
  IsapiRequestFact fact;
} FactVariable;

#define FACT(name, fact) {name, sizeof(name) - 1, fact}

static const FactVariable kFactVariables[] = {
    FACT("SERVER_NAME", kIsapiServerName),
    FACT("SERVER_PORT", kIsapiServerPort),
    FACT("SERVER_PROTOCOL", kIsapiServerProtocol),
    FACT("SERVER_SOFTWARE", kIsapiServerSoftware),
    FACT("REQUEST_METHOD", kIsapiRequestMethod),
    FACT("SCRIPT_NAME", kIsapiRequestPath),
    FACT("URL", kIsapiRequestPath),
    FACT("QUERY_STRING", kIsapiQueryString),
    FACT("REMOTE_ADDR", kIsapiRemoteAddress),
    FACT("REMOTE_HOST", kIsapiRemoteAddress),
    FACT("REMOTE_PORT", kIsapiRemotePort),
    FACT("LOCAL_ADDR", kIsapiLocalAddress),
};

#define NAMED(name, literal) isVariableName(name, length, literal, sizeof(literal) - 1)

const char* serverVariable(const IsapiHost* host, void* request, int securePort,
                           const char* name) {
  size_t length = strlen(name);
  for (size_t i = 0; i < sizeof(kFactVariables) / sizeof(kFactVariables[0]); ++i) {
    if (isVariableName(name, length, kFactVariables[i].name, kFactVariables[i].length)) {
      const char* value = host->fact(request, kFactVariables[i].fact);
      return value != NULL ? value : "";
    }
  }
  if (NAMED(name, "SERVER_PORT_SECURE")) return securePort ? "1" : "0";
  if (NAMED(name, "HTTPS")) return securePort ? "on" : "off";
  if (NAMED(name, "AUTH_TYPE")) return authType(host, request);
  if (NAMED(name, "ALL_HTTP")) return allHttp(host, request);
  if (length > 5 && isVariableName(name, 5, "HTTP_", 5)) {
    return headerValue(host, request, name + 5, length - 5);
  }
  return NULL;
}
