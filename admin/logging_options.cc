#include "admin/logging_options.h"

#include <string>

#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "accountdb/event_suppression.h"
#include "accountdb/option_rules.h"
#include "websupport/action_link.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {
namespace {

std::string boxName(const accountdb::EventType& type) { return "BOX" + std::to_string(type.id); }

void writeIntroduction() {
  writeLine("<p><b>Logging options</b></p>");
  writeLine("<I>You can deny logging of some events here. On the some servers amout of logged information can be");
  writeLine("extremely big thus if you need logging it is strongly recommended to restrict logged events.</I><BR>");
  writeLine("Check event types that will NOT be logged in the log file:<BR>");
}

void writeForm(const ConfigSection& database) {
  writeText("<FORM METHOD=\"POST\" ACTION=\"");
  actionLink("NoLogDo");
  writeLine("\">");
  for (const accountdb::EventType& type : accountdb::EventTypeTable) {
    writeText("<INPUT TYPE=\"checkbox\" NAME=\"");
    writeText(boxName(type));
    writeText(accountdb::isEventSuppressed(database, type.id) ? "\" VALUE=\"1\" CHECKED>"
                                                              : "\" VALUE=\"1\">");
    writeText(type.name);
    writeText("<BR>");
  }
  writeLine("");
  writeLine("<INPUT TYPE=\"submit\" VALUE=\"Submit\" NAME=\"B1\">");
  writeLine("</FORM>");
}

}  // namespace

void writeLoggingOptions(ConfigFile& database, const FormFields&, const FormFields&) {
  writeIntroduction();
  writeForm(database);
}

void storeLoggingOptions(ConfigFile& database, const FormFields& form, const FormFields&) {
  writeIntroduction();
  const accountdb::OptionRefusal refusal =
      accountdb::storeEventSuppression(database, [&form](std::int32_t id) {
        return form.field("BOX" + std::to_string(id)).number();
      });
  if (refusal == accountdb::OptionRefusal::kNone) {
    checkSaved(database);
  } else {
    reportNotSaved(database, "the section MAIN/DONTLOG could not be made");
  }
  writeForm(database);
}

}  // namespace gatekeeper
