// The page frame of the programs that serve one site (steward and rekey): head and style
// sheet, banner, a main table with an optional menu cell and the content cell, and the footer.
#ifndef GATEKEEPER_SITEFRAME_SITE_FRAME_H_
#define GATEKEEPER_SITEFRAME_SITE_FRAME_H_

#include <functional>

namespace gatekeeper {

// What tells the two programs' frames apart.
struct SiteFrameStyle {
  const char* title;   // the document title
  const char* banner;  // the white text of the banner
  void (*writeMenu)(); // writes the menu cell's contents; nullptr: no menu cell
};

// Writes the whole HTML page; writeContent fills the content cell.
void writeSiteFrame(const SiteFrameStyle& style, const std::function<void()>& writeContent);

}  // namespace gatekeeper

#endif  // GATEKEEPER_SITEFRAME_SITE_FRAME_H_
