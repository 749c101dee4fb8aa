#include "isapi_host.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

char* isapiCopy(const IsapiHost* host, void* request, const char* text, size_t length) {
  char* copy = host->allocate(request, length + 1);
  if (copy == NULL) return NULL;
  memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

void isapiLog(const IsapiHost* host, void* request, IsapiLogLevel level, const char* format, ...) {
  char line[1024];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(line, sizeof(line), format, arguments);
  va_end(arguments);
  host->log(request, level, line);
}
