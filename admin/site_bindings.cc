#include "admin/site_bindings.h"

#include <string>

#include "accountdb/binding_rules.h"
#include "accountdb/database_names.h"
#include "accountpages/sentence_markup.h"
#include "accountpages/option_lists.h"
#include "websupport/form_markup.h"
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

using accountdb::BindingRefusal;

// The page's one result line: the rule's sentence with its names escaped inside the tags.
void writeResultLine(const accountdb::Sentence& sentence, const char* open, const char* close) {
  writeSentence(sentence, open, close, open, close);
  writeLine("");
}

}  // namespace

void writeAddBindingForm(ConfigFile& database, const FormFields&, const FormFields&) {
  writeLine("<p><b>Add server bindings</b></p>");
  writeFormStart("BindAddDo");
  writeLine("<P><B>Server identification</B></P>");
  writeLabelledInput("IP address or host name", "Host", "");
  writeLabelledInput("TCP port number", "Port", "80");
  writeLine("<P><B>Authority for this binding:</B><BR>");
  writeSectionSelect("Authority", 1, *database.sectionByName(accountdb::kAccounts));
  writeLine("</P>");
  writeSubmitAndFormEnd("Submit");
}

void addBinding(ConfigFile& database, const FormFields& form, const FormFields&) {
  const FormField& port = form.field("Port");
  const accountdb::BindingSite site{form.field("Host").text(), port.text(), port.number()};
  const std::string& authority = form.field("Authority").text();
  const BindingRefusal refusal = accountdb::addBinding(database, site, authority);
  if (refusal != BindingRefusal::kNone) {
    writeResultLine(accountdb::bindingRefusalSentence(refusal, site), "<b>", "</b>");
  } else if (checkSaved(database)) {
    writeResultLine(accountdb::bindingAddedSentence(site, authority), "<b>", "</b>");
  }
}

void writeDeleteBindingForm(ConfigFile& database, const FormFields&, const FormFields&) {
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
}

void deleteBinding(ConfigFile& database, const FormFields& form, const FormFields&) {
  const std::string& key = form.field("Host").text();
  // A key that is not there deletes nothing and is confirmed all the same.
  accountdb::removeBinding(database, key);
  if (checkSaved(database)) {
    writeResultLine(accountdb::bindingDeletedSentence(key), "<B>", "</B>");
  }
}

}  // namespace gatekeeper
