// The request handling that steward and rekey share: header, account database, frame, site
// resolution, then the program's own pages on the site authority.
#ifndef GATEKEEPER_SITEFRAME_SITE_REQUEST_H_
#define GATEKEEPER_SITEFRAME_SITE_REQUEST_H_

#include "configstore/config_file.h"
#include "siteframe/site_frame.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// Writes the content for the query's Action on the site authority (never a placeholder).
using SitePages = void (*)(ConfigFile& database, ConfigSection& authority, const FormFields& form,
                           const FormFields& query);

// Answers one request: "Content-Type: text/html" and the empty line (no other header), then
// either the bare setup error page (code 1, 2 or 3, returned) or the frame, whose content is
// the "No authority was defined" message when the site has no authority, else what pages
// writes. Returns 0 after the frame.
int handleSiteRequest(const SiteFrameStyle& style, SitePages pages, const FormFields& form,
                      const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_SITEFRAME_SITE_REQUEST_H_
