// Site resolution: the authority bound to the site on which a request arrived, found as the
// filter finds it, from the CGI variables SERVER_NAME and SERVER_PORT.
#ifndef GATEKEEPER_SITEFRAME_SITE_AUTHORITY_H_
#define GATEKEEPER_SITEFRAME_SITE_AUTHORITY_H_

#include <string>

#include "configstore/config_section.h"

namespace gatekeeper {

// The request's binding key: SERVER_NAME as sent, followed by "|" and SERVER_PORT unless
// SERVER_PORT is exactly "80". A missing variable reads as the empty text, so a request
// without SERVER_PORT has the key "host|", which no binding can have.
std::string siteBindingKey();

// The section ACCOUNTS/<authority named by MAIN/SERVERS/<siteBindingKey()>> of the database,
// or the placeholder section when the site has no binding or its binding names an authority
// that does not exist. There is no fallback: a request on port 8080 never uses the binding of
// the host alone.
ConfigSection* siteAuthority(const ConfigSection& database);

// Writes the content of every page of a site without an authority: "No authority was defined
// for site answering on" SERVER_NAME:SERVER_PORT, and whom to ask.
void writeNoSiteAuthority();

}  // namespace gatekeeper

#endif  // GATEKEEPER_SITEFRAME_SITE_AUTHORITY_H_
