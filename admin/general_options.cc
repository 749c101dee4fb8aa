#include "admin/general_options.h"

#include "accountdb/database_names.h"
#include "accountdb/option_rules.h"
#include "accountdb/value_readers.h"
#include "websupport/form_markup.h"
#include "platform/names.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {

void writeGeneralOptions(ConfigFile& database, const FormFields&, const FormFields&) {
  const ConfigSection& main = *database.sectionByName(accountdb::kMain);
  writeLine("<p><b>General options:</b></p>");
  writeFormStart("MainScreenDo");
  writeText("<P>");
  writeCheckbox("Disable", "ON", accountdb::readFlag(main, accountdb::kDisable));
  writeLine("<i>Disable filter (filter will pass authentication to the IIS while disabled)</i></P>");
  writeText("<P>");
  writeCheckbox("HashPasswords", "ON", accountdb::readFlag(main, accountdb::kHashPasswords));
  writeLine("<i>Store site users' passwords hashed</i></P>");
  writeText("<P>Log file: ");
  writeTextInput("LogFile", 47, accountdb::readText(main, accountdb::kLog));
  writeLine("</P>");
  writeText("<P>");
  writeSubmitButton("Submit");
  writeLine("</P>");
  writeFormEnd();
}

void storeGeneralOptions(ConfigFile& database, const FormFields& form, const FormFields& query) {
  accountdb::GeneralOptions options;
  options.disable = platform::namesEqual(form.field("Disable").text().c_str(), "ON");
  options.logFile = form.field("LogFile").text();
  options.hashPasswords = platform::namesEqual(form.field("HashPasswords").text().c_str(), "ON");
  const accountdb::OptionRefusal refusal = accountdb::storeGeneralOptions(database, options);
  if (refusal == accountdb::OptionRefusal::kUnstorableLogFile) {
    writeLine(accountdb::optionRefusalText(refusal) + "<BR>");
    writeGeneralOptions(database, form, query);
    return;
  }
  if (refusal != accountdb::OptionRefusal::kNone) {
    writeLine(accountdb::optionRefusalText(refusal));
    return;
  }
  checkSaved(database);
  writeGeneralOptions(database, form, query);
}

}  // namespace gatekeeper
