// Credentials a filter put in place of the client's: the Authorization header that carries
// them is in a request's headers only while Apache authenticates and authorizes that request;
// before and after, the client's own is there.
// Internal redirects and subrequests share (or copy) the headers of the request they come
// from, and modules after the access checks (handlers, CGI, proxies, rewriting, logging) read
// them; none of them may see the server account's password. They see the client's header
// instead, as they would without the filter: a cache then takes the request for the
// authenticated one it is and keeps one user's pages from another.
//
// For every request of a client request whose credentials were replaced (the request itself,
// each internal redirect, each subrequest):
//   check_authn (first)   presentReplacedCredentials puts the header in, or refuses the request
//                         where CGIPassAuth is on;
//   fixups (first)        withdrawReplacedCredentials puts the client's back before any handler;
// and where authentication or authorization failed, so that no fixups ran:
//   post_read_request     of the internal redirect to an error document, and
//   insert_error_filter   of an error response, put the client's back.
#ifndef GATEKEEPER_HOST_APACHE_REPLACED_CREDENTIALS_H_
#define GATEKEEPER_HOST_APACHE_REPLACED_CREDENTIALS_H_

#include "isapi_filter_module.h"

// What the notification left on the client's request behind r (the request itself, or the
// one behind an internal redirect or subrequest), or NULL when no filter replaced credentials.
const ReplacedCredentials* replacedCredentialsOf(request_rec* r);

// Records on r (the client's request) that a filter replaced its credentials: sentUser and
// logonUser as the names, authorization (NULL: emptied) as the header for Apache's
// authentication, allocated in r->pool and zeroed when r ends. The client's own Authorization
// header stays in the request until its authentication, and is kept to be put back after.
void keepReplacedCredentials(request_rec* r, const char* sentUser, const char* logonUser,
                             char* authorization);

// check_authn hook, run before every other authentication of a request. Where CGIPassAuth is
// on for the request being served, refuses it (500) rather than hand the new credentials to
// scripts; else puts the header in, or takes the client's out where the filter emptied the
// credentials (a subrequest gets its own copy of the headers, so a subrequest that fails
// leaves nothing in its parent's). Returns DECLINED or the refusal.
int presentReplacedCredentials(request_rec* r);

// Puts the client's own Authorization header (or none, as it sent) in place of the replaced
// credentials' in r's headers. Always DECLINED (a hook of fixups or post_read_request).
int withdrawReplacedCredentials(request_rec* r);

// The same for the insert_error_filter hook.
void withdrawReplacedCredentialsBeforeError(request_rec* r);

#endif  // GATEKEEPER_HOST_APACHE_REPLACED_CREDENTIALS_H_
