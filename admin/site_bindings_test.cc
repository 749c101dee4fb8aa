// Site bindings: the forms, the key built from host and port, the checks of the storing pages
// in their order, and what the file holds afterwards.
#include "admin/site_bindings.h"

#include "admin/page_test_support.h"

namespace gatekeeper {
namespace {

constexpr char kBindingsHead[] = "{ MAIN:\n    { SERVERS:\n";
constexpr char kBindingsTail[] =
    "        { NotABinding:\n        } NotABinding;\n    } SERVERS;\n} MAIN;\n"
    "{ ACCOUNTS:\n    { Staff:\n    } Staff;\n    { Guests:\n    } Guests;\n} ACCOUNTS;\n";
constexpr char kIntranet[] = "        (string)intranet|8080=Staff\n";

// The database holding the given binding lines.
std::string withBindings(const std::string& lines) {
  return kBindingsHead + lines + kBindingsTail;
}

using SiteBindingsTest = AdminPageTest;

TEST_F(SiteBindingsTest, FormsListAuthoritiesAndBindings) {
  writeDatabase(withBindings(std::string(kIntranet) + "        (string)10.0.0.5=<Guests>\n"));
  const std::string addPage = run("BindAdd");
  EXPECT_EQ(addPage.rfind("<p><b>Add server bindings</b></p>\n<FORM METHOD=\"POST\" "
                          "ACTION=\"/cgi/overseer?Action=BindAddDo\">\n"
                          "<P><B>Server identification</B></P>\n"
                          "<P><B>IP address or host name</B><BR><INPUT TYPE=\"text\" NAME=\"Host\" "
                          "SIZE=\"20\" VALUE=\"\"></P>\n"
                          "<P><B>TCP port number</B><BR><INPUT TYPE=\"text\" NAME=\"Port\" "
                          "SIZE=\"20\" VALUE=\"80\"></P>\n"
                          "<P><B>Authority for this binding:</B><BR>\n"
                          "<SELECT NAME=\"Authority\" SIZE=\"1\">\n"
                          "<OPTION VALUE=\"Staff\">Staff</OPTION>\n"
                          "<OPTION VALUE=\"Guests\">Guests</OPTION>\n</SELECT>\n",
                          0),
            0u)
      << addPage;

  const std::string deletePage = run("BindDel");
  EXPECT_TRUE(contains(deletePage, "<SELECT NAME=\"Host\" SIZE=\"12\">\n"
                                   "<OPTION VALUE=\"intranet|8080\">intranet|8080 --&gt; Staff"
                                   "</OPTION>\n<OPTION VALUE=\"10.0.0.5\">10.0.0.5 --&gt; "
                                   "&lt;Guests&gt;</OPTION>\n</SELECT>"))
      << deletePage;
  EXPECT_TRUE(contains(deletePage, "<INPUT TYPE=\"submit\" VALUE=\"Delete\" NAME=\"B1\">"));

  // Without MAIN both lists are empty.
  writeDatabase("");
  EXPECT_TRUE(contains(run("BindDel"), "<SELECT NAME=\"Host\" SIZE=\"12\">\n</SELECT>"));
  EXPECT_TRUE(contains(run("BindAdd"), "<SELECT NAME=\"Authority\" SIZE=\"1\">\n</SELECT>"));
}

TEST_F(SiteBindingsTest, PortDecidesTheKey) {
  struct Case {
    const char* port;
    const char* key;
  };
  const Case cases[] = {
      {"80", "intranet"},
      {"080", "intranet"},  // reads as 80
      {"8080", "intranet|8080"},
      {"8080x", "intranet|8080x"},  // the text as sent
      {" 443", "intranet| 443"},
  };
  for (const Case& c : cases) {
    writeDatabase(withBindings(""));
    EXPECT_EQ(run("BindAddDo", {{"Host", "intranet"}, {"Port", c.port}, {"Authority", "Staff"}}),
              std::string("Users connecting to <b>intranet:") + c.port +
                  "</b> will be authenticated in authority: <b>Staff</b> .\n");
    EXPECT_EQ(fileText(), withBindings(std::string("        (string)") + c.key + "=Staff\n"))
        << c.port;
  }
}

TEST_F(SiteBindingsTest, AddChecksInOrderAndChangesNothingWhenOneFails) {
  struct Case {
    Fields form;
    const char* line;
  };
  const Case cases[] = {
      {{{"Host", ""}, {"Port", "0"}},
       "Invalid TCP port specified (<b>0</b>). Please click back button of your browser and "
       "correct port value.\n"},
      {{{"Host", "h"}, {"Port", "-1"}},
       "Invalid TCP port specified (<b>-1</b>). Please click back button of your browser and "
       "correct port value.\n"},
      {{{"Host", "h"}, {"Port", ""}},
       "Invalid TCP port specified (<b></b>). Please click back button of your browser and "
       "correct port value.\n"},
      {{{"Host", "h"}, {"Port", "<http>"}},
       "Invalid TCP port specified (<b>&lt;http&gt;</b>). Please click back button of your "
       "browser and correct port value.\n"},
      {{{"Host", ""}, {"Port", "80"}, {"Authority", "Staff"}}, "Invalid host name specified !\n"},
      {{{"Host", "a=b"}, {"Port", "80"}}, "Host name contains characters that can not be stored !\n"},
      {{{"Host", " intranet"}, {"Port", "80"}},
       "Host name contains characters that can not be stored !\n"},
      // "other|8080" on port 80 would be the key of the site other on port 8080.
      {{{"Host", "other|8080"}, {"Port", "80"}, {"Authority", "Staff"}},
       "Host name contains characters that can not be stored !\n"},
      {{{"Host", "intranet "}, {"Port", "80"}, {"Authority", "Staff"}},
       "Host name contains characters that can not be stored !\n"},
      {{{"Host", "intranet"}, {"Port", "81[x]"}},
       "TCP port contains characters that can not be stored !\n"},
      {{{"Host", "intranet"}, {"Port", "80"}, {"Authority", "a\nb"}},
       "Authority name contains characters that can not be stored !\n"},
      {{{"Host", "INTRANET"}, {"Port", "8080"}, {"Authority", "Guests"}},
       "Binding for <b>INTRANET:8080</b> already exist !\n"},
      {{{"Host", "NotABinding"}, {"Port", "80"}, {"Authority", "Guests"}},
       "Internal error - can not add the binding !\n"},
  };
  writeDatabase(withBindings(kIntranet));
  const std::string before = fileBytes();
  for (const Case& c : cases) {
    EXPECT_EQ(run("BindAddDo", c.form), c.line);
    EXPECT_EQ(fileBytes(), before) << c.line;
  }
}

TEST_F(SiteBindingsTest, AddCreatesMissingSections) {
  writeDatabase("{ ACCOUNTS:\n} ACCOUNTS;\n");
  EXPECT_EQ(run("BindAddDo", {{"Host", "h<1>"}, {"Port", "81"}, {"Authority", "A&B"}}),
            "Users connecting to <b>h&lt;1&gt;:81</b> will be authenticated in authority: "
            "<b>A&amp;B</b> .\n");
  EXPECT_EQ(fileText(), "{ ACCOUNTS:\n} ACCOUNTS;\n{ MAIN:\n    { SERVERS:\n        "
                        "(string)h<1>|81=A&B\n    } SERVERS;\n} MAIN;\n");
}

TEST_F(SiteBindingsTest, DeleteRemovesOnlyABinding) {
  writeDatabase(withBindings(std::string(kIntranet) + "        (string)extranet=Guests\n"));
  EXPECT_EQ(run("BindDelDo", {{"Host", "INTRANET|8080"}}),
            "Binding for <B>INTRANET|8080</B> deleted.\n");
  EXPECT_EQ(fileText(), withBindings("        (string)extranet=Guests\n"));
  for (const char* key : {"intranet|8080", "NotABinding", "<none>"}) {
    EXPECT_TRUE(contains(run("BindDelDo", {{"Host", key}}), "</B> deleted.\n"));
    EXPECT_EQ(fileText(), withBindings("        (string)extranet=Guests\n")) << key;
  }
}

TEST_F(SiteBindingsTest, DeletedSlotIsReusedWithinARunAndLaterAddsGoLast) {
  writeDatabase(withBindings("        (string)a=Staff\n        (string)b=Staff\n"));
  const Fields addC = {{"Host", "c"}, {"Port", "80"}, {"Authority", "Staff"}};
  {
    ConfigFile database(path_.c_str(), 1);
    ASSERT_EQ(database.load(), 1);
    runOn(database, "BindDelDo", {{"Host", "a"}});
    runOn(database, "BindAddDo", addC);
    EXPECT_TRUE(contains(runOn(database, "BindDel"), "<OPTION VALUE=\"c\">c --&gt; Staff</OPTION>\n"
                                                     "<OPTION VALUE=\"b\">"));
  }
  // Saved, the file has no empty slots: a delete and an add in later runs put it last.
  EXPECT_EQ(fileText(), withBindings("        (string)c=Staff\n        (string)b=Staff\n"));
  run("BindDelDo", {{"Host", "c"}});
  run("BindAddDo", {{"Host", "d"}, {"Port", "80"}, {"Authority", "Staff"}});
  EXPECT_EQ(fileText(), withBindings("        (string)b=Staff\n        (string)d=Staff\n"));
}

}  // namespace
}  // namespace gatekeeper
