// The buffer contract of an ISAPI server's GetServerVariable, apart from finding the value.
#ifndef GATEKEEPER_HOST_ISAPI_SERVER_VARIABLE_COPY_H_
#define GATEKEEPER_HOST_ISAPI_SERVER_VARIABLE_COPY_H_

#include <stddef.h>

#include "platform/isapi.h"

#ifdef __cplusplus
extern "C" {
#endif

// Copies value (length bytes, no zero byte inside) and a terminating zero into buffer, whose
// size *size gives. On success: TRUE, *size = length + 1. Buffer too small (or NULL): FALSE,
// last error ERROR_INSUFFICIENT_BUFFER, *size = length + 1, buffer untouched. size NULL: FALSE,
// last error ERROR_INVALID_PARAMETER.
BOOL copyServerVariable(const char* value, size_t length, LPVOID buffer, LPDWORD size);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_SERVER_VARIABLE_COPY_H_
