// HTTP Basic credentials: the value of an Authorization header, "Basic " followed by the base64
// of "user:password", decoded into the fixed-size buffers that a filter receives, and encoded
// back after a filter replaced them. Pure functions: no server, no allocation.
#ifndef GATEKEEPER_HOST_ISAPI_BASIC_CREDENTIALS_H_
#define GATEKEEPER_HOST_ISAPI_BASIC_CREDENTIALS_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  // No Authorization header, or one of another scheme: the request is anonymous for a filter.
  kCredentialsNone,
  // Decoded: user and password hold zero-terminated texts.
  kCredentialsDecoded,
  // A Basic header that is not valid base64, has no colon, or holds a zero byte.
  kCredentialsMalformed,
  // Well formed, but the user name or the password does not fit its buffer (terminator
  // included). Nothing is truncated: a cut password could match a shorter one.
  kCredentialsTooLong
} CredentialsResult;

// Decodes header (may be NULL) into user and password, split at the first colon. Both buffers
// are always left zero-terminated (empty unless the result is kCredentialsDecoded).
CredentialsResult decodeBasicCredentials(const char* header, char* user, size_t userSize,
                                         char* password, size_t passwordSize);

// The authentication scheme named by header ("Basic", "Digest", ...) as a pointer into header
// and its length; length 0 when header is NULL or blank.
const char* credentialsScheme(const char* header, size_t* length);

// Writes "Basic " and the base64 of "user:password" with a terminating zero into out. Returns
// the length written (terminator excluded), or 0 when out is too small or user holds a colon
// (Basic cannot carry such a name: the receiver would split it at the colon).
size_t encodeBasicCredentials(const char* user, const char* password, char* out, size_t outSize);

// The buffer size encodeBasicCredentials needs for texts of these lengths, terminator included.
size_t encodedBasicCredentialsSize(size_t userLength, size_t passwordLength);

// Overwrites size bytes at bytes with zeros, in a way the compiler does not leave out even when
// the memory is not read again: for passwords and their encodings once they are no longer needed.
void eraseSecret(void* bytes, size_t size);

#ifdef __cplusplus
}
#endif

#endif  // GATEKEEPER_HOST_ISAPI_BASIC_CREDENTIALS_H_
