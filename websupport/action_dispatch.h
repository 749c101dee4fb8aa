// Dispatch over a program's action table: the page named by the query field Action. Every
// program keeps its pages in a table of entries with a name, a handler and whether the page
// stores a change; the pages that store pass the cross-site check here, where they are
// dispatched, so a page cannot store by forgetting to call it. An entry is
// { const char* name; Handler handler; bool storing; ... }.
#ifndef GATEKEEPER_WEBSUPPORT_ACTION_DISPATCH_H_
#define GATEKEEPER_WEBSUPPORT_ACTION_DISPATCH_H_

#include <span>
#include <string>
#include <utility>

#include "platform/names.h"
#include "websupport/cross_site_check.h"

namespace gatekeeper {

// The first entry whose name equals action ignoring case, or nullptr when no entry has it.
template <typename Entry>
const Entry* findAction(std::span<const Entry> table, const std::string& action) {
  for (const Entry& entry : table) {
    if (platform::namesEqual(entry.name, action.c_str())) return &entry;
  }
  return nullptr;
}

// Runs the page of entry by calling page(), a storing entry's only when admitStoringRequest()
// lets the request through (otherwise the refusal line is the page's content).
template <typename Entry, typename Page>
void runAdmitted(const Entry& entry, Page&& page) {
  if (!entry.storing || admitStoringRequest()) std::forward<Page>(page)();
}

// Calls the handler of the entry named by action with args, past the cross-site check as
// runAdmitted does. An action that no entry names writes nothing.
template <typename Entry, typename... Args>
void runAction(std::span<const Entry> table, const std::string& action, Args&&... args) {
  const Entry* entry = findAction(table, action);
  if (entry == nullptr) return;
  runAdmitted(*entry, [&] { entry->handler(std::forward<Args>(args)...); });
}

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_ACTION_DISPATCH_H_
