// Which of the host's sites the account database binds: a site without a binding is not
// protected by the filter (its requests pass to the server's own authentication), which is
// worth a warning when the host says it sends that site's requests to the filter.
#ifndef GATEKEEPER_FILTER_SITE_BINDINGS_H_
#define GATEKEEPER_FILTER_SITE_BINDINGS_H_

#include <string>
#include <vector>

#include "filter/host_link.h"

namespace gatekeeper {

class ConfigSection;

// One warning line per site of sites whose binding key (accountdb/binding_key.h, built from the
// site's name and port as a decision builds it) names no value in database's MAIN/SERVERS, in
// the order of sites; each names the site, the binding it needs and databasePath.
std::vector<std::string> unboundSiteWarnings(const ConfigSection& database,
                                             const std::vector<FilterSite>& sites,
                                             const std::string& databasePath);

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_SITE_BINDINGS_H_
