#include "server_variable_copy.h"

#include <string.h>

BOOL copyServerVariable(const char* value, size_t length, LPVOID buffer, LPDWORD size) {
  if (size == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (length >= 0xFFFFFFFFu) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD needed = (DWORD)length + 1;
  if (buffer == NULL || *size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(buffer, value, length);
  ((char*)buffer)[length] = '\0';
  *size = needed;
  return TRUE;
}
