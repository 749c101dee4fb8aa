// Header text from a filter, checked (see forEachFilterHeader) and added to a response.
#ifndef GATEKEEPER_HOST_APACHE_RESPONSE_HEADERS_H_
#define GATEKEEPER_HOST_APACHE_RESPONSE_HEADERS_H_

#include "httpd.h"

// Whether every line of text passes.
int filterHeadersAcceptable(const char* text);

// Adds every line of text to headers (copies in r->pool) when all of them pass; returns 0 and
// adds nothing otherwise.
int addFilterHeaders(request_rec* r, apr_table_t* headers, const char* text);

#endif  // GATEKEEPER_HOST_APACHE_RESPONSE_HEADERS_H_
