#include "admin/location_page.h"

#include <filesystem>
#include <optional>
#include <string>

#include "websupport/form_markup.h"
#include "admin/login_diagnostics.h"
#include "admin/new_database.h"
#include "platform/system_error.h"
#include "websupport/action_link.h"
#include "websupport/error_log.h"
#include "websupport/response_writer.h"
#include "settings/settings_key.h"

namespace gatekeeper {
namespace {

void writeRegistryError() {
  writeLine("<FONT COLOR=\"#FF0000\"><B>Error writting to the registry! Make sure that OVERSEER.EXE runs in the context of the user");
  writeLine("with administrative rights!</B></FONT><BR>");
  writeLoginDiagnostics();
}

void reportNewDatabase(const std::string& path) {
  switch (createDatabaseIfMissing(path)) {
    case NewDatabase::kCreated:
      writeLine("<BR>A new empty configuration file was created.<BR>");
      break;
    case NewDatabase::kFailed:
      writeLine("<BR>Error: there is no configuration file at this path and a new one could not be created!<BR>");
      break;
    case NewDatabase::kExisting:
      break;
  }
}

void writeSaved(const std::string& path) {
  writeLine("Path to the configuration saved to the registry. ");
  writeLine("If the path is not correct you will be asked to enter it again.");
  reportNewDatabase(path);
  writeText("<A HREF=\"");
  writeScriptUrl();
  writeLine("\">Click here to continue ...</A><BR><BR><BR>");
  writeLine("<I>Filter will not be updated until restarted. You will need to restart the WEB server");
  writeLine("before the new configuration file take effect (type <B>net stop w3svc</B> and then <B>net start w3svc</B> on the Command prompt). You can do this action later - administration tool does not need the filter working for its operation.</I>");
}

}  // namespace

void writeLocationPage(ConfigFile&, const FormFields&, const FormFields&) {
  std::string path;
  std::string backup;
  {
    SettingsKey key;
    if (key.openForReading()) {
      path = key.readString(kConfigurationFileValue).value_or("");
      backup = key.readString(kBackupDirectoryValue).value_or("");
    }
  }
  writeLine("This is main administration tool for Kestrel ISAPI authentication filter text version.<BR>");
  writeLine("This version of Gatekeeper uses text file for its configuration and account database.");
  writeLine("Location of the configuration file was specified in the Windows NT registry:<BR>");
  writeLine("\\HKEY_LOCAL_MACHINE\\Software\\Kestrel\\Gatekeeper (Text)<BR>");
  writeLine("string value: Configuration File<BR>");
  writeLine("Look in the product documentation for more information.");
  writeLine("You can configure these parameters here:");
  writeFormStart("Config");
  writeText("\t<P>Configuration file: ");
  writeTextInput("Config", 40, path);
  writeLine("</P>");
  writeText("\t<P>Backup directory (must exist): ");
  writeTextInput("Backup", 40, backup);
  writeLine("</P>");
  writeText("\t<P>");
  writeSubmitButton("Submit");
  writeLine("</P>");
  writeFormEnd();
}

void saveLocation(const FormFields& form) {
  // Only a sent form changes the settings: a bare link to the action (a crawler, a page of
  // another site) would otherwise erase both values and break every program at once.
  if (!form.has("Config")) {
    writeLine("Error: no configuration file path was sent - nothing was stored !");
    return;
  }
  const std::string& path = form.field("Config").text();
  // Every program resolves a relative path against its own working directory, so the filter
  // and the CGI programs would each use another file. An empty path is stored as it is.
  if (!path.empty() && !std::filesystem::path(path).is_absolute()) {
    writeLine("Error: the configuration file must be given with its full path - nothing was "
              "stored !");
    return;
  }
  SettingsKey key;
  // Both values must be stored: a backup directory that silently kept its old value would
  // contradict the page that confirms the change.
  const bool stored = key.openForWriting() &&
                      key.writeString(kConfigurationFileValue, path) &&
                      key.writeString(kBackupDirectoryValue, form.field("Backup").text());
  if (!stored) {
    writeErrorLog("cannot write the settings key " + SettingsKey::location() + ": " +
                  (key.lastError() != 0 ? platform::systemErrorText(key.lastError())
                                        : std::string("a path can not hold a zero byte")));
  }
  key.close();
  if (!stored) {
    writeRegistryError();
    return;
  }
  writeSaved(path);
}

}  // namespace gatekeeper
