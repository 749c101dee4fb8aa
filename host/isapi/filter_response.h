// What a filter may ask the server to send, checked before anything reaches the client: the
// status text of SF_REQ_SEND_RESPONSE_HEADER, header lines a filter supplies, and the status of
// a request that a filter failed. Pure functions: no server, no allocation.
#ifndef GATEKEEPER_HOST_ISAPI_FILTER_RESPONSE_H_
#define GATEKEEPER_HOST_ISAPI_FILTER_RESPONSE_H_

#include <stddef.h>

#include "platform/isapi.h"

#ifdef __cplusplus
extern "C" {
#endif

// The longest reason phrase and header line (name and value) passed on from a filter.
#define FILTER_REASON_MAX 128
#define FILTER_HEADER_NAME_MAX 64
#define FILTER_HEADER_VALUE_MAX 1024

// A refusal status that a filter asks for: text is three digits forming 400..599, then the end
// or one space and a reason phrase. Returns the status, or 0 for any other text (a filter does
// not get to answer a request it failed with a success or a redirect). *reason points at the
// phrase inside text, or is NULL when there is none or it is not printable ASCII of at most
// FILTER_REASON_MAX characters.
int parseFilterStatus(const char* text, const char** reason);

// One header line a filter supplies.
typedef struct {
  const char* name;
  size_t nameLength;
  const char* value;
  size_t valueLength;
} FilterHeader;

// Checks header text made of lines "Name: value", each ended by CR LF or LF (the last one may
// lack it; empty lines are skipped). A name is an HTTP token; a value is printable ASCII or tab
// (leading and trailing blanks dropped); headers that frame the message (Content-Length,
// Transfer-Encoding, Connection, ...) are refused. Returns 1 and calls emit for each line in
// order when every line passes, else 0 without calling emit at all. NULL text is no header;
// NULL emit only checks.
int forEachFilterHeader(const char* text, void (*emit)(void* context, const FilterHeader* header),
                        void* context);

// The HTTP status for a request whose filter answered SF_STATUS_REQ_ERROR: the status it asked
// for (non-zero), else by last error: ERROR_FILE_NOT_FOUND 404, ERROR_ACCESS_DENIED 401,
// anything else 500.
int statusForFailedRequest(int requestedStatus, DWORD lastError);

// The WWW-Authenticate value "Basic realm=\"REALM\"" of a refusal with 401: realm as an HTTP
// quoted string ('"' and '\\' escaped, CR and LF left out). basicChallengeSize gives the size
// out needs (terminator included); writeBasicChallenge writes it there.
size_t basicChallengeSize(const char* realm);
void writeBasicChallenge(const char* realm, char* out);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_FILTER_RESPONSE_H_
