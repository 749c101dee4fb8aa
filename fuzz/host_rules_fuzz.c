/* Fuzz target for the host module's request-facing rules, built as plain C: the decoding of a
 * Basic Authorization header into a filter's fixed-size credential buffers (and the encoding
 * back), the header lines and status text a filter asks the server to send, and the
 * server-variable buffer contract. Buffers are allocated at their exact sizes so that any
 * access outside them is caught. */
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "basic_credentials.h"
#include "filter_response.h"
#include "server_variable_copy.h"

static void check(int condition) {
  if (!condition) abort();
}

/* A zero-terminated copy of data, exactly as long as needed. */
static char* text(const uint8_t* data, size_t size) {
  char* copy = malloc(size + 1);
  memcpy(copy, data, size);
  copy[size] = '\0';
  return copy;
}

static void countHeader(void* context, const FilterHeader* header) {
  check(header->nameLength > 0 && header->nameLength <= FILTER_HEADER_NAME_MAX);
  check(header->valueLength <= FILTER_HEADER_VALUE_MAX);
  check(memchr(header->value, '\n', header->valueLength) == NULL);
  check(memchr(header->value, '\r', header->valueLength) == NULL);
  ++*(int*)context;
}

static void credentials(const char* header, size_t userSize, size_t passwordSize) {
  char* user = malloc(userSize);
  char* password = malloc(passwordSize);
  CredentialsResult result = decodeBasicCredentials(header, user, userSize, password, passwordSize);
  check(strlen(user) < userSize && strlen(password) < passwordSize);
  if (result != kCredentialsDecoded) {
    check(user[0] == '\0' && password[0] == '\0');
  } else {
    /* What decodes encodes again, unless the name cannot travel in Basic, and decodes back. */
    check(strchr(user, ':') == NULL);
    size_t encodedSize = encodedBasicCredentialsSize(strlen(user), strlen(password));
    char* encoded = malloc(encodedSize);
    size_t written = encodeBasicCredentials(user, password, encoded, encodedSize);
    check(written + 1 == encodedSize);
    check(encodeBasicCredentials(user, password, encoded, encodedSize - 1) == 0);
    char* user2 = malloc(userSize);
    char* password2 = malloc(passwordSize);
    check(decodeBasicCredentials(encoded, user2, userSize, password2, passwordSize) ==
          kCredentialsDecoded);
    check(strcmp(user, user2) == 0 && strcmp(password, password2) == 0);
    eraseSecret(encoded, encodedSize);
    free(user2);
    free(password2);
    free(encoded);
  }
  free(user);
  free(password);
}

/* Input: two bytes of buffer sizes, then the header text. */
int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t userSize = data[0] == 0 ? 257 : data[0];
  size_t passwordSize = data[1] == 0 ? 257 : data[1];
  char* header = text(data + 2, size - 2);

  credentials(header, userSize, passwordSize);
  credentials(header, 257, 257);
  size_t schemeLength = 0;
  const char* scheme = credentialsScheme(header, &schemeLength);
  check(scheme != NULL && schemeLength <= size - 2);

  /* The same text as a filter's header lines and as a status text it asks for. */
  int passes = forEachFilterHeader(header, NULL, NULL);
  int emitted = 0;
  check(forEachFilterHeader(header, countHeader, &emitted) == passes);
  if (!passes) check(emitted == 0);

  const char* reason = NULL;
  int status = parseFilterStatus(header, &reason);
  check(status == 0 || (status >= 400 && status <= 599));
  if (reason != NULL) check(strlen(reason) <= FILTER_REASON_MAX);
  int failed = statusForFailedRequest(status, (DWORD)(data[0] | data[1] << 8));
  check(failed >= 400 && failed <= 599);

  /* The server-variable contract with a buffer of the chosen size. */
  size_t length = strlen(header);
  DWORD bufferSize = (DWORD)userSize;
  char* buffer = malloc(bufferSize);
  BOOL copied = copyServerVariable(header, length, buffer, &bufferSize);
  check(bufferSize == length + 1);
  if (copied) check(memcmp(buffer, header, length + 1) == 0);
  free(buffer);

  free(header);
  return 0;
}
