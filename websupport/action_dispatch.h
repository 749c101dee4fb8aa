// Dispatch over a program's action table: the page named by the query field Action. Every
// program keeps its pages in a table of entries with a name, a handler and whether the page
// stores a change; the pages that store pass the cross-site check here, where they are
// dispatched, so a page cannot store by forgetting to call it.
#ifndef GATEKEEPER_WEBSUPPORT_ACTION_DISPATCH_H_
#define GATEKEEPER_WEBSUPPORT_ACTION_DISPATCH_H_

#include <span>
#include <string>
#include <utility>

#include "platform/names.h"
#include "websupport/cross_site_check.h"

namespace gatekeeper {

// Entry: { const char* name; Handler handler; bool storing; }. Finds the first entry whose name
// equals action ignoring case and calls its handler with args; a storing entry's handler is
// called only when admitStoringRequest() lets the request through (otherwise the refusal line
// is the page's content). An action that no entry names writes nothing.
template <typename Entry, typename... Args>
void runAction(std::span<const Entry> table, const std::string& action, Args&&... args) {
  for (const Entry& entry : table) {
    if (!platform::namesEqual(entry.name, action.c_str())) continue;
    if (!entry.storing || admitStoringRequest()) entry.handler(std::forward<Args>(args)...);
    return;
  }
}

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_ACTION_DISPATCH_H_
