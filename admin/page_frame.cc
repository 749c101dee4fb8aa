#include "admin/page_frame.h"

#include "admin/action_table.h"
#include "admin/login_box.h"
#include "websupport/action_link.h"
#include "websupport/page_style.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

// The menu, top to bottom. The user pages first ask for the authority, then continue with
// their PostAction.
constexpr MenuEntry kMenu[] = {
    {"Configuration file", "", nullptr},
    {"General options", "MainScreen", nullptr},
    {"Add NT account", "NTAccAdd", nullptr},
    {"Delete NT account", "NTAccDel", nullptr},
    {"Change NT account password", "NTAccPass", nullptr},
    {"Add new authority", "AuthAdd", nullptr},
    {"Delete authority", "AuthDel", nullptr},
    {"Edit authority", "AuthRen", nullptr},
    {"Add new binding to site", "BindAdd", nullptr},
    {"Delete binding to site", "BindDel", nullptr},
    {"List authority", "SelectAuthority", "ListAuthority"},
    {"Add new user", "SelectAuthority", "AddUser"},
    {"Delete user", "SelectAuthority", "DelUser"},
    {"Change user", "SelectAuthority", "ChangeUser"},
    {"View log", "ViewLog", nullptr},
    {"Logging options", "NoLog", nullptr},
};

void writeHead() {
  writeLine("<HTML>");
  writeLine("<HEAD>");
  writeLine("<TITLE>Kestrel Gatekeeper (text) manager</TITLE>");
  writeLine("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-1\">");
  writeLine("<STYLE TYPE=\"text/css\">");
  writeLine("td { font-family: Arial; font-size: 10pt }");
  writeLine("th { font-family: Arial; font-size: 10pt }");
  writeLinkAndBorderRules();
  writeLine("</STYLE>");
  writeLine("</HEAD>");
}

void writeMenu() {
  writeLine("<TABLE WIDTH=\"100%\" CELLSPACING=\"2\">");
  writeLine("\t<TR><TD><B>Menu</B></TD></TR>");
  for (const MenuEntry& entry : kMenu) {
    writeText("\t<TR><TD CLASS=\"outset\" NOWRAP><A HREF=\"");
    if (entry.postAction != nullptr) {
      actionLinkWithPost(entry.action, entry.postAction);
    } else {
      actionLink(entry.action);
    }
    writeText("\">");
    writeText(entry.text);
    writeLine("</A></TD></TR>");
  }
  writeLine("</TABLE>");
}

}  // namespace

std::span<const MenuEntry> frameMenu() { return kMenu; }

void writePageFrame(ConfigFile& database, const FormFields& form, const FormFields& query) {
  writeHead();
  writeLine("<BODY>");
  writeLine("<TABLE WIDTH=\"100%\" BGCOLOR=\"#C0C0C0\" CLASS=\"outset\" CELLPADDING=\"4\">");
  writeLine("<TR><TD COLSPAN=\"2\" BGCOLOR=\"#000080\"><FONT COLOR=\"#FFFFFF\"><B><I>"
            "Kestrel Gatekeeper version 1.51 - Administration CGI utility</I></B></FONT></TD></TR>");
  writeLine("<TR>");
  writeLine("<TD VALIGN=\"top\" WIDTH=\"250\" BGCOLOR=\"#C0C0C0\" CLASS=\"inset\">");
  writeMenu();
  writeLine("<CENTER>");
  writeLoginBox();
  writeLine("</CENTER>");
  writeLine("</TD>");
  writeLine("<TD VALIGN=\"top\" WIDTH=\"100%\" BGCOLOR=\"#C0C0C0\" CLASS=\"inset\">");
  dispatchAction(database, form, query);
  writeLine("</TD>");
  writeLine("</TR>");
  writeLine("<TR><TD COLSPAN=\"2\" ALIGN=\"center\" BGCOLOR=\"#C0C0C0\" CLASS=\"inset\"><I>"
            "Every change is stored in the configuration file at once; the filter picks it up "
            "at its next request.</I></TD></TR>");
  writeLine("</TABLE>");
  writeLine("</BODY>");
  writeLine("</HTML>");
}

}  // namespace gatekeeper
