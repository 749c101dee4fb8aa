// Standard input and output as byte streams.
#ifndef GATEKEEPER_PLATFORM_STANDARD_STREAMS_H_
#define GATEKEEPER_PLATFORM_STANDARD_STREAMS_H_

namespace gatekeeper::platform {

// Switches standard input and standard output to binary mode, so that a request body is read
// byte for byte and every line feed written stays a single line feed. Call before any other
// use of the two streams. A no-op where streams have no text mode.
void useBinaryStandardStreams();

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_STANDARD_STREAMS_H_
