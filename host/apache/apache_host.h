// The IsapiHost (isapi_host.h) of Apache httpd: a request_rec's facts as Apache reports them to
// CGI programs, its headers, its pool, its error headers and its error log.
#ifndef GATEKEEPER_HOST_APACHE_APACHE_HOST_H_
#define GATEKEEPER_HOST_APACHE_APACHE_HOST_H_

#include "isapi_host.h"

extern const IsapiHost kApacheHost;

#endif  // GATEKEEPER_HOST_APACHE_APACHE_HOST_H_
