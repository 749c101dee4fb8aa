#include "admin/general_options.h"

#include "accountdb/database_names.h"
#include "accountdb/storable_text.h"
#include "accountdb/value_readers.h"
#include "websupport/form_markup.h"
#include "admin/store_section.h"
#include "platform/names.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {

int writeGeneralOptions(ConfigFile& database, const FormFields&, const FormFields&) {
  const ConfigSection& main = *database.sectionByName(accountdb::kMain);
  writeLine("<p><b>General options:</b></p>");
  writeFormStart("MainScreenDo");
  writeText("<P>");
  writeCheckbox("Disable", "ON", accountdb::readFlag(main, accountdb::kDisable));
  writeLine("<i>Disable filter (filter will pass authentication to the IIS while disabled)</i></P>");
  writeText("<P>Log file: ");
  writeTextInput("LogFile", 47, accountdb::readText(main, accountdb::kLog));
  writeLine("</P>");
  writeText("<P>");
  writeSubmitButton("Submit");
  writeLine("</P>");
  writeFormEnd();
  return 1;
}

int storeGeneralOptions(ConfigFile& database, const FormFields& form, const FormFields& query) {
  const std::string& logFile = form.field("LogFile").text();
  if (!accountdb::isStorableText(logFile)) {
    writeLine("Log file can not be stored - it contains a line break or is too long !<BR>");
    return writeGeneralOptions(database, form, query);
  }
  const int disable = platform::namesEqual(form.field("Disable").text().c_str(), "ON") ? 1 : 0;
  ConfigSection* main = sectionToStoreIn(database, accountdb::kMain);
  if (main == nullptr) return 1;
  // A section of either name inside MAIN cannot take the value; MAIN stays as it was.
  if (!main->sectionByName(accountdb::kDisable)->isPlaceholder() ||
      !main->sectionByName(accountdb::kLog)->isPlaceholder()) {
    writeLine("Internal error - can not store the general options !");
    return 1;
  }
  main->setInt(accountdb::kDisable, disable);
  main->setString(accountdb::kLog, logFile.c_str());
  checkSaved(database);
  return writeGeneralOptions(database, form, query);
}

}  // namespace gatekeeper
