#include "siteframe/site_frame.h"

#include "websupport/page_style.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

constexpr char kTableStyle[] = "WIDTH=\"100%\" BORDER=\"0\" BGCOLOR=\"#C0C0C0\" CLASS=\"outset\"";

void writeHead(const char* title) {
  writeLine("<html>");
  writeLine("<head>");
  writeText("<title>");
  writeText(title);
  writeLine("</title>");
  writeLine("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">");
  writeLine("<style type=\"text/css\">");
  writeLine("<!--");
  writeLine("td { font-family: Arial; font-size: 10pt }");
  writeLinkAndBorderRules();
  writeLine("-->");
  writeLine("</style>");
  writeLine("</head>");
}

void openTable(const char* attributes) {
  writeText("<table ");
  writeText(kTableStyle);
  writeText(" ");
  writeText(attributes);
  writeLine(">");
}

}  // namespace

void writeSiteFrame(const SiteFrameStyle& style, const std::function<void()>& writeContent) {
  writeHead(style.title);
  writeLine("<body>");

  openTable("CELLSPACING=\"2\"");
  writeText("<tr><td BGCOLOR=\"#000080\"><font color=\"#FFFFFF\"><b><i>");
  writeText(style.banner);
  writeLine("</i></b></font></td></tr>");
  writeLine("</table>");

  openTable("CELLSPACING=\"2\" CELLPADDING=\"4\"");
  writeLine("<tr>");
  if (style.writeMenu != nullptr) {
    writeLine("<td VALIGN=\"top\" WIDTH=\"250\" BGCOLOR=\"#C0C0C0\" CLASS=\"inset\">");
    style.writeMenu();
    writeLine("</td>");
  }
  writeLine("<td VALIGN=\"top\" BGCOLOR=\"#C0C0C0\" CLASS=\"inset\">");
  writeContent();
  writeLine("</td>");
  writeLine("</tr>");
  writeLine("</table>");

  openTable("CELLSPACING=\"2\"");
  writeLine("<tr><td ALIGN=\"center\" CLASS=\"inset\"><i>Kestrel Gatekeeper (text) - the accounts "
            "of this site, kept by its own authority.</i></td></tr>");
  writeLine("</table>");
  writeLine("</body>");
  writeLine("</html>");
}

}  // namespace gatekeeper
