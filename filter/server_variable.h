// Reading a server variable of the request the way the filter's fixed buffers allow.
#ifndef GATEKEEPER_FILTER_SERVER_VARIABLE_H_
#define GATEKEEPER_FILTER_SERVER_VARIABLE_H_

#include <string>

#include "platform/isapi.h"

namespace gatekeeper {

// Buffer sizes, terminating zero included, that decide whether a variable counts as readable.
inline constexpr unsigned kHostBufferSize = 260;    // SERVER_NAME, SCRIPT_NAME
inline constexpr unsigned kPortBufferSize = 32;     // SERVER_PORT

// Reads the variable into *value. false (and *value empty) when the server does not know it,
// refuses it, or its text with the terminating zero needs more than bufferSize bytes.
bool readServerVariable(HTTP_FILTER_CONTEXT* pfc, const char* name, unsigned bufferSize,
                        std::string* value);

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_SERVER_VARIABLE_H_
