// Self-links: every page, form target and menu entry of a CGI program addresses the program's
// own URL (SCRIPT_NAME) with the action in the query string. The caller writes the attribute
// around the link: the opening quote before, the closing quote after.
#ifndef GATEKEEPER_WEBSUPPORT_ACTION_LINK_H_
#define GATEKEEPER_WEBSUPPORT_ACTION_LINK_H_

#include <string_view>

namespace gatekeeper {

// Writes the program's own URL without a query: SCRIPT_NAME, escaped for an attribute value;
// nothing when SCRIPT_NAME is unset (a link relative to the current page then).
void writeScriptUrl();

// Writes SCRIPT_NAME "?Action=" action. Action names are fixed identifiers of the program.
void actionLink(std::string_view action);

// Writes SCRIPT_NAME "?Action=" action "&PostAction=" postAction: a two-step page that
// continues with postAction.
void actionLinkWithPost(std::string_view action, std::string_view postAction);

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_ACTION_LINK_H_
