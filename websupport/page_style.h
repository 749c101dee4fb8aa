// The style rules that every program's pages share: the red links and the raised and sunken
// borders of the frames' cells. Each program writes its own head around them.
#ifndef GATEKEEPER_WEBSUPPORT_PAGE_STYLE_H_
#define GATEKEEPER_WEBSUPPORT_PAGE_STYLE_H_

namespace gatekeeper {

// Writes the rules of a:link, a:hover, a:visited, a:href, .outset and .inset, a line each.
void writeLinkAndBorderRules();

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_PAGE_STYLE_H_
