// A failed logon that a filter reports (SF_REQ_REPORT_FAILED_LOGON), written to the error log
// of the request's server in the shape of Apache's own Basic authentication, so that the tools
// that watch that log for repeated failures (fail2ban's apache-auth filter) count it.
#ifndef GATEKEEPER_HOST_APACHE_FAILED_LOGON_H_
#define GATEKEEPER_HOST_APACHE_FAILED_LOGON_H_

#include "httpd.h"

// Writes one line at level error for r (Apache adds the client's address and port):
// `user USER: authentication failure for "PATH": REASON`, or with a NULL reason
// `user USER not found: PATH`; PATH is r->uri. The error log escapes the line (no control
// character or line break of a text from the client reaches it raw).
void logFailedLogon(request_rec* r, const char* user, const char* reason);

#endif  // GATEKEEPER_HOST_APACHE_FAILED_LOGON_H_
