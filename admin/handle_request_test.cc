// overseer's entry in-process: setup error pages, the frame and its dispatch, the Config
// action and reauthentication, with the settings key and database of each test's own.
#include "admin/handle_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "websupport/server_variables_for_test.h"
#include "settings/test_settings.h"
#include "configstore/config_file.h"
#include "platform/scratch_directory.h"
#include "platform/system_error.h"
#include "websupport/database_lock.h"
#include "websupport/error_log.h"
#include "websupport/lock_waiter_for_test.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

constexpr char kHeaderBlock[] =
    "Cache-control: private\n"
    "Expires: Fri, 01 Jan 1999 02:01:01 GMT\n"
    "Content-Type: text/html\n\n";

class HandleRequestTest : public ::testing::Test {
 protected:
  // Runs one request; the query's Action and the body's fields as given.
  std::string run(FormFields query, FormFields form = FormFields()) {
    ResponseCapture page;
    code_ = handleRequest(form, query, FormFields());
    return page.text();
  }
  static FormFields action(const char* name) {
    FormFields query;
    query.insert("Action", name);
    return query;
  }
  static FormFields configForm(const std::string& path, const std::string& backup) {
    FormFields form;
    form.insert("Config", path);
    form.insert("Backup", backup);
    form.insert("B1", "Submit");
    return form;
  }
  // A database holding the four sections every page expects.
  std::string makeDatabase() {
    const std::string path = settings_.file("accounts.cfg");
    ConfigFile database(path.c_str(), 1);
    database.getOrCreateSection("MAIN")->getOrCreateSection("SERVERS");
    database.getOrCreateSection("ACCOUNTS");
    database.getOrCreateSection("NTACCOUNTS");
    EXPECT_EQ(database.save(), 1);
    EXPECT_TRUE(TestSettings::store("Configuration File", path));
    return path;
  }
  // What the frame's content cell holds.
  static std::string contentCell(const std::string& page) {
    const std::string open = "<TD VALIGN=\"top\" WIDTH=\"100%\" BGCOLOR=\"#C0C0C0\" CLASS=\"inset\">\n";
    const std::size_t start = page.find(open);
    if (start == std::string::npos) return "<no content cell>";
    const std::size_t end = page.find("</TD>\n</TR>", start);
    return page.substr(start + open.size(), end - start - open.size());
  }

  ServerVariablesForTest server_;
  TestSettings settings_;
  int code_ = -1;
};

std::string setupErrorPage(int code) {
  return std::string(kHeaderBlock) + "<HTML><BODY>\nError: " + std::to_string(code) +
         "<BR>\n"
         "Please specify at least configuration file (You can enter other parameters later):\n"
         "<FORM METHOD=\"POST\" ACTION=\"/cgi/overseer?Action=Config\">\n"
         "\t<P>Configuration file (required !): <INPUT TYPE=\"text\" NAME=\"Config\" SIZE=\"40\"></P>\n"
         "\t<P>Backup directory (must exist if specified): <INPUT TYPE=\"text\" NAME=\"Backup\" SIZE=\"40\"></P>\n"
         "\t<P><INPUT TYPE=\"submit\" VALUE=\"Submit\" NAME=\"B1\"></P>\n"
         "</FORM>\n"
         "</BODY></HTML>\n";
}

TEST_F(HandleRequestTest, MissingKeyOrPathGivesTheSetupErrorPage) {
  TestSettings::removeKey();
  EXPECT_EQ(run(action("MainScreen")), setupErrorPage(1));
  EXPECT_EQ(code_, 1);
  ASSERT_TRUE(TestSettings::store("Backup directory", ""));
  EXPECT_EQ(run(FormFields()), setupErrorPage(2));
  EXPECT_EQ(code_, 2);
}

TEST_F(HandleRequestTest, UnloadableDatabaseGivesTheSetupErrorPage) {
  ASSERT_TRUE(TestSettings::store("Configuration File", settings_.file("missing.cfg")));
  ErrorLogCapture log;
  EXPECT_EQ(run(FormFields()), setupErrorPage(3));
  EXPECT_EQ(code_, 3);
  EXPECT_EQ(log.text(), "cannot load the account database " + settings_.file("missing.cfg") +
                            ": " + platform::readProblem(settings_.file("missing.cfg")) + "\n");
  ASSERT_TRUE(TestSettings::store("Configuration File", ""));
  EXPECT_EQ(run(FormFields()), setupErrorPage(3));
  EXPECT_FALSE(std::filesystem::exists(".lock"));  // no lock file for an empty path
}

TEST_F(HandleRequestTest, FrameWithMenuLoginBoxAndLocationPage) {
  makeDatabase();
  ASSERT_TRUE(TestSettings::store("Backup directory", "C:\\backup \"<new>\" & old"));
  server_.set("AUTH_USER", "admin");
  server_.set("LOGON_USER", "admin");
  const std::string page = run(FormFields());
  EXPECT_EQ(code_, 0);
  ASSERT_EQ(page.rfind(kHeaderBlock, 0), 0u);
  EXPECT_NE(page.find("<TITLE>Kestrel Gatekeeper (text) manager</TITLE>"), std::string::npos);
  EXPECT_NE(page.find("Kestrel Gatekeeper version 1.51 - Administration CGI utility"),
            std::string::npos);

  // The sixteen menu entries in order, each a self-link.
  const char* menu[][2] = {
      {"Configuration file", "?Action="},
      {"General options", "?Action=MainScreen"},
      {"Add NT account", "?Action=NTAccAdd"},
      {"Delete NT account", "?Action=NTAccDel"},
      {"Change NT account password", "?Action=NTAccPass"},
      {"Add new authority", "?Action=AuthAdd"},
      {"Delete authority", "?Action=AuthDel"},
      {"Edit authority", "?Action=AuthRen"},
      {"Add new binding to site", "?Action=BindAdd"},
      {"Delete binding to site", "?Action=BindDel"},
      {"List authority", "?Action=SelectAuthority&PostAction=ListAuthority"},
      {"Add new user", "?Action=SelectAuthority&PostAction=AddUser"},
      {"Delete user", "?Action=SelectAuthority&PostAction=DelUser"},
      {"Change user", "?Action=SelectAuthority&PostAction=ChangeUser"},
      {"View log", "?Action=ViewLog"},
      {"Logging options", "?Action=NoLog"},
  };
  std::size_t at = 0;
  for (const auto& entry : menu) {
    const std::string link =
        std::string("<A HREF=\"/cgi/overseer") + entry[1] + "\">" + entry[0] + "</A>";
    const std::size_t found = page.find(link, at);
    ASSERT_NE(found, std::string::npos) << link;
    at = found;
  }
  EXPECT_NE(page.find("<TD>User</TD><TD><I>admin</I>"), std::string::npos);

  // The location page in the content cell, its values escaped inside the attributes.
  const std::string content = contentCell(page);
  EXPECT_EQ(content.rfind("This is main administration tool for Kestrel ISAPI", 0), 0u);
  EXPECT_NE(content.find("<FORM METHOD=\"POST\" ACTION=\"/cgi/overseer?Action=Config\">"),
            std::string::npos);
  EXPECT_NE(content.find("NAME=\"Config\" SIZE=\"40\" VALUE=\"" + settings_.file("accounts.cfg") +
                         "\""),
            std::string::npos);
  EXPECT_NE(content.find("NAME=\"Backup\" SIZE=\"40\" VALUE=\"C:\\backup &quot;&lt;new&gt;&quot; "
                         "&amp; old\""),
            std::string::npos);
  EXPECT_EQ(page.find("<new>"), std::string::npos);
  EXPECT_NE(page.find("</TABLE>\n</BODY>\n</HTML>\n"), std::string::npos);
}

TEST_F(HandleRequestTest, ActionComesFromTheQueryAlone) {
  makeDatabase();
  FormFields body;
  body.insert("Action", "Config");
  body.insert("Config", settings_.file("elsewhere.cfg"));
  const std::string page = run(FormFields(), body);
  EXPECT_EQ(contentCell(page).rfind("This is main administration tool", 0), 0u);
  EXPECT_EQ(TestSettings::read("Configuration File"), settings_.file("accounts.cfg"));

  // An action that names no page leaves the content cell empty.
  EXPECT_EQ(contentCell(run(action("NoSuchPage"))), "");
  EXPECT_EQ(code_, 0);
}

TEST_F(HandleRequestTest, ReauthenticateAndConfigIgnoreLetterCaseAndNeedNoDatabase) {
  // No key and no database: both actions still answer.
  server_.set("AUTH_USER", "admin");
  server_.set("LOGON_USER", "admin");
  FormFields query = action("reAUTHENTICATE");
  query.insert("OLDUSER", "ADMIN");
  EXPECT_EQ(run(query), "Status: 401\n\n");
  EXPECT_EQ(code_, 0);

  const std::string database = settings_.file("accounts.cfg");
  const std::string page = run(action("config"), configForm(database, ""));
  EXPECT_EQ(page.rfind(std::string(kHeaderBlock) + "Path to the configuration saved to the registry. ", 0),
            0u);
  EXPECT_EQ(code_, 0);
  EXPECT_EQ(page.find("<HTML>"), std::string::npos);  // no frame
}

TEST_F(HandleRequestTest, ConfigStoresBothValuesAndCreatesTheMissingDatabase) {
  const std::string database = settings_.file("accounts.cfg");
  const std::string page = run(action("Config"), configForm(database, ""));
  EXPECT_EQ(TestSettings::read("Configuration File"), database);
  EXPECT_EQ(TestSettings::read("Backup directory"), "");  // an empty field is stored empty
  EXPECT_NE(page.find("A new empty configuration file was created."), std::string::npos);
  EXPECT_NE(page.find("<A HREF=\"/cgi/overseer\">Click here to continue ...</A><BR><BR><BR>"),
            std::string::npos);
  EXPECT_NE(page.find("<I>Filter will not be updated until restarted."), std::string::npos);

  ConfigFile created(database.c_str(), 1);
  ASSERT_EQ(created.load(), 1);
  EXPECT_FALSE(created.sectionByName("MAIN")->sectionByName("SERVERS")->isPlaceholder());
  EXPECT_FALSE(created.sectionByName("ACCOUNTS")->isPlaceholder());
  EXPECT_FALSE(created.sectionByName("NTACCOUNTS")->isPlaceholder());

  // The next request finds the new database and shows the frame.
  run(FormFields());
  EXPECT_EQ(code_, 0);
}

TEST_F(HandleRequestTest, ConfigStoresNothingWithoutAFormOrWithARelativePath) {
  ASSERT_TRUE(TestSettings::store("Configuration File", settings_.file("kept.cfg")));
  ASSERT_TRUE(TestSettings::store("Backup directory", "kept"));
  FormFields noForm;
  EXPECT_NE(run(action("Config"), noForm).find("Error: no configuration file path was sent"),
            std::string::npos);
  EXPECT_NE(run(action("Config"), configForm("accounts.cfg", "")).find("full path"),
            std::string::npos);
  EXPECT_EQ(TestSettings::read("Configuration File"), settings_.file("kept.cfg"));
  EXPECT_EQ(TestSettings::read("Backup directory"), "kept");
  EXPECT_FALSE(std::filesystem::exists("accounts.cfg"));

  // An empty path is still stored: the next request asks for it again.
  run(action("Config"), configForm("", ""));
  EXPECT_EQ(TestSettings::read("Configuration File"), "");
}

TEST_F(HandleRequestTest, ConfigSentFromAnotherSiteStoresNothing) {
  ASSERT_TRUE(TestSettings::store("Configuration File", settings_.file("kept.cfg")));
  ASSERT_TRUE(TestSettings::store("Backup directory", "kept"));
  server_.set("HTTP_HOST", "127.0.0.1:8081");
  server_.set("HTTP_ORIGIN", "http://evil.example");
  EXPECT_EQ(run(action("Config"), configForm(settings_.file("other.cfg"), "/var/www/html")),
            std::string(kHeaderBlock) + "Request refused - it was sent from another site !\n");
  EXPECT_EQ(TestSettings::read("Configuration File"), settings_.file("kept.cfg"));
  EXPECT_EQ(TestSettings::read("Backup directory"), "kept");

  // The program's own form is served.
  server_.set("HTTP_ORIGIN", "http://127.0.0.1:8081");
  run(action("Config"), configForm(settings_.file("other.cfg"), "/var/www/html"));
  EXPECT_EQ(TestSettings::read("Backup directory"), "/var/www/html");
}

TEST_F(HandleRequestTest, ConfigNeverReplacesAnExistingFile) {
  const std::string database = settings_.file("accounts.cfg");
  platform::writeWholeFile(database, "not a database\n");
  const std::string page = run(action("Config"), configForm(database, settings_.file("")));
  EXPECT_EQ(page.find("A new empty configuration file"), std::string::npos);
  EXPECT_EQ(platform::readWholeFile(database), "not a database\n");
  EXPECT_EQ(TestSettings::read("Backup directory"), settings_.file(""));
}

TEST_F(HandleRequestTest, ConfigReportsADatabaseThatCannotBeCreated) {
  const std::string database = settings_.file("no-such-directory") + "/accounts.cfg";
  const std::string page = run(action("Config"), configForm(database, ""));
  EXPECT_NE(page.find("Path to the configuration saved to the registry."), std::string::npos);
  EXPECT_NE(page.find("Error: there is no configuration file at this path and a new one could "
                      "not be created!"),
            std::string::npos);
  EXPECT_EQ(page.find("A new empty configuration file was created."), std::string::npos);
  EXPECT_EQ(TestSettings::read("Configuration File"), database);
}

#ifndef _WIN32
constexpr char kRegistryError[] =
    "<FONT COLOR=\"#FF0000\"><B>Error writting to the registry! Make sure that OVERSEER.EXE runs "
    "in the context of the user\nwith administrative rights!</B></FONT><BR>\n"
    "<BR><B>Listing of the login information currently used.</B><BR>\n";

TEST_F(HandleRequestTest, ConfigReportsAKeyThatCannotBeOpenedForWriting) {
  // A registry root below a plain file: no key can be created there.
  platform::writeWholeFile(settings_.file("plain"), "");
  platform::setEnvironmentVariable("GATEKEEPER_REGISTRY", (settings_.file("plain") + "/registry").c_str());
  const std::string database = settings_.file("accounts.cfg");
  EXPECT_EQ(run(action("Config"), configForm(database, "")).rfind(std::string(kHeaderBlock) + kRegistryError, 0),
            0u);
  EXPECT_FALSE(std::filesystem::exists(database));
}

TEST_F(HandleRequestTest, ConfigReportsAFailedSecondWrite) {
  // A directory where the "Backup directory" value belongs makes its write fail.
  ASSERT_TRUE(TestSettings::store("Configuration File", "old"));
  std::filesystem::create_directory(settings_.registryRoot() +
                                    "/HKEY_LOCAL_MACHINE/Software/Kestrel/Gatekeeper (Text)/"
                                    "Backup directory");
  const std::string page = run(action("Config"), configForm(settings_.file("accounts.cfg"), "x"));
  EXPECT_EQ(page.rfind(std::string(kHeaderBlock) + kRegistryError, 0), 0u);
  EXPECT_EQ(page.find("Path to the configuration saved"), std::string::npos);
}
#endif

// The filter replaced the logon: a site user of a bound site reaches overseer as the server
// account he is mapped to. No page, no load, no store; reauthentication still answers, and an
// anonymous request or a direct logon is served as before.
TEST_F(HandleRequestTest, LogonReplacedByTheFilterGetsNoPage) {
  const std::string database = makeDatabase();
  const std::string before = platform::readWholeFile(database);
  server_.set("AUTH_USER", "john");
  server_.set("LOGON_USER", "administrator");
  const std::string refusal =
      "Status: 403 Forbidden\nContent-Type: text/html\n\n<HTML><BODY>\n"
      "NT user used for the actual authentication by the system differs the logged on user."
      "<BR>\n</BODY></HTML>\n";
  const struct {
    const char* action;
    FormFields form;
  } requests[] = {
      {"", FormFields()},
      {"NTAccPass", FormFields()},
      {"Config", configForm(settings_.file("elsewhere.cfg"), "")},
      {"AuthAddDo", [] {
         FormFields form;
         form.insert("Authority", "Mine");
         return form;
       }()},
  };
  for (const auto& r : requests) {
    ErrorLogCapture log;
    EXPECT_EQ(run(action(r.action), r.form), refusal) << r.action;
    EXPECT_EQ(log.text(),
              "request refused: the filter logged user john on as the server account "
              "administrator; this program serves direct logons only\n");
  }
  EXPECT_EQ(platform::readWholeFile(database), before);
  EXPECT_EQ(TestSettings::read("Configuration File"), database);

  FormFields query = action("Reauthenticate");
  query.insert("Olduser", "john");
  EXPECT_EQ(run(query), "Status: 401\n\n");

  server_.set("LOGON_USER", "JOHN");  // a direct logon, letter case aside
  EXPECT_NE(run(action("")).find("Kestrel Gatekeeper version 1.51"), std::string::npos);
  server_.set("AUTH_USER", nullptr);  // anonymous
  EXPECT_NE(run(action("")).find("Kestrel Gatekeeper version 1.51"), std::string::npos);
}

#ifndef _WIN32
// A settings key that exists but cannot be read says so and invites no new installation (its
// form would lead to an empty database beside the real one); a missing key keeps the setup
// form. Both name the key's directory and the reason in the error log.
TEST_F(HandleRequestTest, UnreadableSettingsKeyIsNamedInsteadOfTheSetupForm) {
  const std::string key = settings_.registryRoot() + "/HKEY_LOCAL_MACHINE/Software/Kestrel/"
                          "Gatekeeper (Text)";
  TestSettings::removeKey();
  {
    ErrorLogCapture log;
    EXPECT_EQ(run(action("")), setupErrorPage(1));
    EXPECT_EQ(log.text(), "cannot read the settings key " + key + ": No such file or directory\n");
  }
  // A key the system cannot open although it is there (a loop of links stands for any such
  // reason: "Permission denied" is not one that a test running as root can meet).
  std::filesystem::create_directories(std::filesystem::path(key).parent_path());
  std::filesystem::create_directory_symlink(key, key);
  ErrorLogCapture log;
  const std::string loop = platform::systemErrorText(ELOOP);
  EXPECT_EQ(run(action("")), std::string(kHeaderBlock) +
                                 "<HTML><BODY>\nError: 1<BR>\n"
                                 "The settings key \\HKEY_LOCAL_MACHINE\\Software\\Kestrel\\"
                                 "Gatekeeper (Text) can not be read: " + loop + "<BR>\n");
  EXPECT_EQ(code_, 1);
  EXPECT_EQ(log.text(), "cannot read the settings key " + key + ": " + loop + "\n");

  // The same for the value that names the database.
  std::filesystem::remove(key);
  std::filesystem::create_directory(key);
  std::filesystem::create_symlink(key + "/Configuration File", key + "/Configuration File");
  EXPECT_EQ(run(action("")), std::string(kHeaderBlock) +
                                 "<HTML><BODY>\nError: 2<BR>\n"
                                 "The value Configuration File of the settings key "
                                 "\\HKEY_LOCAL_MACHINE\\Software\\Kestrel\\Gatekeeper (Text) "
                                 "can not be read: " + loop + "<BR>\n");
}
#endif

// A framed page holds the database lock from before the load until the page is written: a
// request that comes while another run holds the lock waits, and loads what that run stored.
TEST_F(HandleRequestTest, FramedPageWaitsForTheDatabaseLock) {
  const std::string database = makeDatabase();
  auto other = std::make_unique<DatabaseLock>(database);
  ASSERT_TRUE(other->isHeld());
  std::atomic<bool> done{false};
  std::string page;
  std::thread request([&] {
    page = run(action("NTAccDel"));
    done = true;
  });
  // No fixed wait: until the request is seen blocked on the lock file, or has finished.
  EXPECT_FALSE(forbiddenBeforeLockWaiter(DatabaseLock::lockPath(database),
                                         [&] { return done.load(); },
                                         std::chrono::milliseconds(200)));
  {
    ConfigFile changed(database.c_str(), 1);
    EXPECT_EQ(changed.load(), 1);
    changed.sectionByName("NTACCOUNTS")->getOrCreateSection("latecomer");
    EXPECT_EQ(changed.save(), 1);
  }
  other.reset();
  request.join();
  EXPECT_NE(page.find(">latecomer</OPTION>"), std::string::npos) << page;
  EXPECT_NE(page.find("</HTML>"), std::string::npos);
}

}  // namespace
}  // namespace gatekeeper
