// Reading a server variable of the request the way the filter's fixed buffers allow.
#ifndef GATEKEEPER_FILTER_SERVER_VARIABLE_H_
#define GATEKEEPER_FILTER_SERVER_VARIABLE_H_

#include <cstddef>
#include <string_view>

#include "platform/isapi.h"

namespace gatekeeper {

// Buffer sizes, terminating zero included, that decide whether a variable counts as readable.
inline constexpr unsigned kHostBufferSize = 260;    // SERVER_NAME, SCRIPT_NAME
inline constexpr unsigned kPortBufferSize = 32;     // SERVER_PORT

// Reads the variable into buffer, of bufferSize bytes, and returns its text there. false (and
// *value empty) when the server does not know it, refuses it, or its text with the terminating
// zero needs more than bufferSize bytes.
bool readServerVariable(HTTP_FILTER_CONTEXT* pfc, const char* name, char* buffer,
                        unsigned bufferSize, std::string_view* value);

// One variable read into a buffer of its own size, on the caller's stack.
template <unsigned Size>
struct ServerVariable {
  // Reads the variable; false (and an empty text) when it is unreadable, as above.
  bool read(HTTP_FILTER_CONTEXT* pfc, const char* name) {
    readable = readServerVariable(pfc, name, buffer, Size, &text);
    return readable;
  }
  char buffer[Size];
  std::string_view text;
  bool readable = false;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_SERVER_VARIABLE_H_
