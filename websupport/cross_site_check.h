// The gate of every storing action (Config and the "Do" pages of the three programs): a browser
// that holds the administrator's or a user's credentials sends them with any request, also
// with a form that a page of another site submits. Such a request must change nothing.
#ifndef GATEKEEPER_WEBSUPPORT_CROSS_SITE_CHECK_H_
#define GATEKEEPER_WEBSUPPORT_CROSS_SITE_CHECK_H_

namespace gatekeeper {

// Whether the browser tells that the request was sent from a page of another site, judged from
// the request's server variables:
// - HTTP_SEC_FETCH_SITE is present and neither "same-origin" nor "none"; or
// - HTTP_ORIGIN is present and is not the request's own origin (scheme "https" when HTTPS is
//   "on", else "http"; host and port from HTTP_HOST; a default port may be left out); or
// - with neither of the two, HTTP_REFERER is present and names another host and port than
//   HTTP_HOST (or is no absolute URL).
// A request without any of these headers (a command-line client) is not refused.
bool sentFromAnotherSite();

// The check every storing action passes before it changes anything. true: go on. false: the
// request came from another site and the one line "Request refused - it was sent from another
// site !" has been written as the page's result.
bool admitStoringRequest();

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_CROSS_SITE_CHECK_H_
