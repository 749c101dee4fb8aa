// The reauthentication exchange, the login information box and the diagnostics of a failed
// registry write: everything that shows or changes who the administrator is logged on as.
#include <gtest/gtest.h>

#include "admin/login_box.h"
#include "admin/login_diagnostics.h"
#include "admin/reauthenticate.h"
#include "websupport/server_variables_for_test.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

FormFields queryWithOldUser(const char* oldUser) {
  FormFields query;
  query.insert("Action", "Reauthenticate");
  if (oldUser != nullptr) query.insert("Olduser", oldUser);
  return query;
}

std::string reauthenticatePage(const char* oldUser) {
  ResponseCapture page;
  reauthenticate(queryWithOldUser(oldUser));
  return page.text();
}

TEST(ReauthenticateTest, SameUserIgnoringCaseGetsABare401) {
  ServerVariablesForTest server;
  server.set("AUTH_USER", "Admin");
  EXPECT_EQ(reauthenticatePage("aDMIN"), "Status: 401\n\n");
}

TEST(ReauthenticateTest, NoUserOnEitherSideGetsA401) {
  ServerVariablesForTest server;
  EXPECT_EQ(reauthenticatePage(nullptr), "Status: 401\n\n");
  EXPECT_EQ(reauthenticatePage(""), "Status: 401\n\n");
}

TEST(ReauthenticateTest, NewUserIsConfirmedWithALinkBack) {
  ServerVariablesForTest server;
  server.set("AUTH_USER", "other<&>");
  EXPECT_EQ(reauthenticatePage("admin"),
            "Cache-control: private\n"
            "Expires: Fri, 01 Jan 1999 02:01:01 GMT\n"
            "Content-Type: text/html\n\n"
            "You are reauthenticated successfully as other&lt;&amp;&gt;.<BR>\n"
            "<A HREF=\"/cgi/overseer\">Click here to continue ...</A>\n");
}

TEST(LoginBoxTest, ShowsTheServerVariablesEscaped) {
  ServerVariablesForTest server;
  server.set("AUTH_USER", "Tom \"<b>\" & Co");
  server.set("LOGON_USER", "WEB\\guest");
  server.set("AUTH_TYPE", "Basic");
  ResponseCapture page;
  writeLoginBox();
  const std::string& html = page.text();
  EXPECT_NE(html.find("<TH COLSPAN=\"2\">Login information</TH>"), std::string::npos);
  EXPECT_NE(html.find("<TD>User</TD><TD><I>Tom &quot;&lt;b&gt;&quot; &amp; Co</I>"),
            std::string::npos);
  EXPECT_NE(html.find("<TD>NT Account used</TD><TD><I>WEB\\guest</I>"), std::string::npos);
  EXPECT_NE(html.find("<TD>Computer name</TD><TD><I></I>"), std::string::npos);
  EXPECT_NE(html.find("<TD>Authentication type</TD><TD><I>Basic</I>"), std::string::npos);
  // The user name travels URL-encoded in the link, and the link is escaped for the attribute.
  EXPECT_NE(html.find("<A HREF=\"/cgi/overseer?Action=Reauthenticate&Olduser="
                      "Tom%20%22%3Cb%3E%22%20%26%20Co\">Authenticate as another user</A>"),
            std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
}

std::string diagnostics() {
  ResponseCapture page;
  writeLoginDiagnostics();
  return page.text();
}

constexpr const char* kAnonymous = "No authentication was done by the IIS";
constexpr const char* kMapped = "NT user used for the actual authentication by the system differs";
constexpr const char* kNoRights = "You are correctly logged in but system registry is still";
constexpr const char* kNtlm = "It seems that  NT Challenge Response authentication is used.";

TEST(LoginDiagnosticsTest, ExplainsTheLikelyCause) {
  ServerVariablesForTest server;
  std::string html = diagnostics();
  EXPECT_NE(html.find("<B>Authenticated user name:</B><BR>"), std::string::npos);
  EXPECT_NE(html.find(kAnonymous), std::string::npos);
  EXPECT_EQ(html.find(kMapped), std::string::npos);
  EXPECT_NE(html.find("You can try to reauthenticate: <A HREF=\"/cgi/overseer?Action="
                      "Reauthenticate&Olduser=\">Click here</A>"),
            std::string::npos);

  server.set("AUTH_USER", "jane");
  server.set("LOGON_USER", "WEB\\mapped");
  html = diagnostics();
  EXPECT_NE(html.find("<B>Authenticated user name:</B>jane<BR>"), std::string::npos);
  EXPECT_NE(html.find("<B>NT account used:</B>WEB\\mapped<BR>"), std::string::npos);
  EXPECT_NE(html.find(kMapped), std::string::npos);
  EXPECT_EQ(html.find(kNoRights), std::string::npos);
  EXPECT_NE(html.find("Olduser=jane\">Click here</A>"), std::string::npos);

  server.set("LOGON_USER", "JANE");
  server.set("AUTH_TYPE", "Negotiate");
  html = diagnostics();
  EXPECT_NE(html.find(kNoRights), std::string::npos);
  EXPECT_EQ(html.find(kNtlm), std::string::npos);
  EXPECT_EQ(html.find(kAnonymous), std::string::npos);
  EXPECT_EQ(html.find("Admin tool can not determine"), std::string::npos);

  server.set("AUTH_TYPE", "ntlm");  // the NTLM hint needs the exact letter case
  EXPECT_EQ(diagnostics().find(kNtlm), std::string::npos);
  server.set("AUTH_TYPE", "NTLM");
  EXPECT_NE(diagnostics().find(kNtlm), std::string::npos);
}

}  // namespace
}  // namespace gatekeeper
