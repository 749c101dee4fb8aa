#include "admin/site_bindings.h"

#include <string>

#include "accountdb/binding_key.h"
#include "accountdb/database_names.h"
#include "accountpages/form_checks.h"
#include "accountpages/option_lists.h"
#include "websupport/form_markup.h"
#include "admin/result_line.h"
#include "admin/store_section.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"
#include "websupport/save_report.h"

namespace gatekeeper {
namespace {

const ConfigSection& bindings(const ConfigFile& database) {
  return *database.sectionByName(accountdb::kMain)->sectionByName(accountdb::kServers);
}

// A bold heading of the form with its input on the next line.
void writeLabelledInput(const char* label, const char* name, const char* value) {
  writeText("<P><B>");
  writeText(label);
  writeText("</B><BR>");
  writeTextInput(name, 20, value);
  writeLine("</P>");
}

}  // namespace

int writeAddBindingForm(ConfigFile& database, const FormFields&, const FormFields&) {
  writeLine("<p><b>Add server bindings</b></p>");
  writeFormStart("BindAddDo");
  writeLine("<P><B>Server identification</B></P>");
  writeLabelledInput("IP address or host name", "Host", "");
  writeLabelledInput("TCP port number", "Port", "80");
  writeLine("<P><B>Authority for this binding:</B><BR>");
  writeSectionSelect("Authority", 1, *database.sectionByName(accountdb::kAccounts));
  writeLine("</P>");
  writeSubmitAndFormEnd("Submit");
  return 1;
}

int addBinding(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& host = form.field("Host").text();
  const FormField& port = form.field("Port");
  const std::string& authority = form.field("Authority").text();
  if (port.number() <= 0) {
    writeText("Invalid TCP port specified (<b>");
    writeEscaped(port.text());
    writeLine("</b>). Please click back button of your browser and correct port value.");
    return 1;
  }
  if (host.empty()) {
    writeLine("Invalid host name specified !");
    return 1;
  }
  const std::string key =
      accountdb::bindingKey(host, port.number() == 80 ? nullptr : port.text().c_str());
  // The host decides whether the key may start with a blank; the port adds only its suffix.
  if (!checkStorableBindingHost("Host name", host) || !checkStorableName("TCP port", key) ||
      !checkStorableName("Authority name", authority)) {
    return 1;
  }
  const std::string site = host + ":" + port.text();
  if (!bindings(database).valueByName(key.c_str())->isPlaceholder()) {
    writeText("Binding for ");
    writeBoldName(site);
    writeLine(" already exist !");
    return 1;
  }
  ConfigSection* main = sectionToStoreIn(database, accountdb::kMain);
  ConfigSection* servers = main != nullptr ? sectionToStoreIn(*main, accountdb::kServers) : nullptr;
  if (servers == nullptr) return 1;
  if (!servers->setString(key.c_str(), authority.c_str())) {
    writeLine("Internal error - can not add the binding !");
    return 1;
  }
  if (checkSaved(database)) {
    writeText("Users connecting to ");
    writeBoldName(site);
    writeText(" will be authenticated in authority: ");
    writeBoldName(authority);
    writeLine(" .");
  }
  return 1;
}

int writeDeleteBindingForm(ConfigFile& database, const FormFields&, const FormFields&) {
  writeLine("<p><b>Delete server bindings</b></p>");
  writeLine("<I>Warning ! After deletion site answering at the deleted IP or DNS name will not be "
            "handled by filter. You can add new binding later</I>");
  writeFormStart("BindDelDo");
  writeLine("<P><B>Server bindings</B><BR>");
  writeSelectStart("Host", 12);
  writeBindingOptions(bindings(database));
  writeSelectEnd();
  writeLine("</P>");
  writeSubmitAndFormEnd("Delete");
  return 1;
}

int deleteBinding(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& key = form.field("Host").text();
  ConfigSection& servers =
      *database.sectionByName(accountdb::kMain)->sectionByName(accountdb::kServers);
  // Only a binding is deleted: a section of that name is no binding.
  if (!servers.valueByName(key.c_str())->isPlaceholder()) servers.deleteByName(key.c_str());
  if (checkSaved(database)) {
    writeText("Binding for <B>");
    writeEscaped(key);
    writeLine("</B> deleted.");
  }
  return 1;
}

}  // namespace gatekeeper
