#include "siteframe/site_request.h"

#include "accountpages/database_run.h"
#include "siteframe/site_authority.h"
#include "websupport/response_writer.h"

namespace gatekeeper {

int handleSiteRequest(const SiteFrameStyle& style, SitePages pages, const FormFields& form,
                      const FormFields& query) {
  writeContentType("text/html");
  return runOnAccountDatabase([&](ConfigFile& database) {
    writeSiteFrame(style, [&] {
      ConfigSection* authority = siteAuthority(database);
      if (authority->isPlaceholder()) {
        writeNoSiteAuthority();
      } else {
        pages(database, *authority, form, query);
      }
    });
  });
}

}  // namespace gatekeeper
