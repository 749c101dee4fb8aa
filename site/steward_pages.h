// steward: the person who runs one site manages the users of the authority bound to that site,
// and of no other. Who may run it is left to the web server's own authentication, but a logon
// that the filter replaced never reaches its pages (websupport/direct_logon.h).
#ifndef GATEKEEPER_SITE_STEWARD_PAGES_H_
#define GATEKEEPER_SITE_STEWARD_PAGES_H_

#include <span>

#include "accountpages/user_pages.h"
#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper::steward {

// A user page, run on the site's authority as the frame found it.
using PageHandler = void (*)(const UserPageRequest& request);

struct ActionEntry {
  const char* name;  // compared ignoring case
  PageHandler handler;
  bool storing;  // the page changes the database: it runs only past the cross-site check
};

// The user pages in the order they are searched; the first whose name equals Action wins. The
// empty action is the user list.
std::span<const ActionEntry> actionTable();

// The page entry: the frame with its menu and, on a site with an authority, the page named by
// the query's Action; a request whose logon the filter replaced gets the refusal alone and
// nothing is loaded. Returns 0, or the setup error code 1, 2 or 3. The cookies are not used.
int handleRequest(const FormFields& form, const FormFields& query, const FormFields& cookies);

}  // namespace gatekeeper::steward

#endif  // GATEKEEPER_SITE_STEWARD_PAGES_H_
