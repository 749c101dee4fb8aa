#include "filter/site_bindings.h"

#include "accountdb/binding_key.h"
#include "accountdb/database_names.h"
#include "configstore/config_section.h"

namespace gatekeeper {

std::vector<std::string> unboundSiteWarnings(const ConfigSection& database,
                                             const std::vector<FilterSite>& sites,
                                             const std::string& databasePath) {
  const ConfigSection* servers =
      database.sectionByName(accountdb::kMain)->sectionByName(accountdb::kServers);
  std::vector<std::string> warnings;
  for (const FilterSite& site : sites) {
    const std::string key = accountdb::bindingKey(site.name, site.port.c_str());
    if (!servers->valueByName(key.c_str())->isPlaceholder()) continue;
    warnings.push_back("no binding covers the site " + site.name + ":" + site.port +
                       " in the account database " + databasePath + " (it needs the binding \"" +
                       key + "\"): the filter leaves its requests to the server's own "
                       "authentication");
  }
  return warnings;
}

}  // namespace gatekeeper
