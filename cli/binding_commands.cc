#include "cli/binding_commands.h"

#include <ostream>
#include <string>
#include <vector>

#include "accountdb/authority_rules.h"
#include "accountdb/binding_rules.h"
#include "accountdb/database_names.h"
#include "cli/output_text.h"
#include "websupport/leading_number.h"

namespace gatekeeper::cli {
namespace {

using accountdb::BindingRefusal;
using accountdb::BindingSite;

BindingSite siteOf(const CommandRun& run) {
  return {run.operands[0], run.operands[1], leadingNumber(run.operands[1])};
}

CommandResult refused(BindingRefusal refusal, const BindingSite& site) {
  return {1, false, {plainText(accountdb::bindingRefusalSentence(refusal, site).plain())}, {}};
}

// A stored binding: its key split at the first "|" (hosts cannot hold one) into host and port.
struct Binding {
  std::string key;
  std::string host;
  std::string port;
  std::string authority;
};

std::vector<Binding> storedBindings(const ConfigSection& root) {
  const ConfigSection& servers =
      *root.sectionByName(accountdb::kMain)->sectionByName(accountdb::kServers);
  std::vector<Binding> bindings;
  for (int32_t slot = 1; slot <= servers.count(); ++slot) {
    const ConfigValue* value = servers.valueByIndex(slot);
    if (value->isPlaceholder()) continue;
    Binding binding;
    binding.key = value->name() != nullptr ? value->name() : "";
    const std::size_t bar = binding.key.find('|');
    binding.host = binding.key.substr(0, bar);
    binding.port = bar == std::string::npos ? "80" : binding.key.substr(bar + 1);
    binding.authority = value->getString();
    bindings.push_back(std::move(binding));
  }
  return bindings;
}

}  // namespace

CommandResult listBindings(CommandRun& run) {
  const std::vector<Binding> bindings = storedBindings(*run.database);
  std::ostream& out = run.console->out;
  if (run.has("json")) {
    out << "[";
    for (std::size_t i = 0; i < bindings.size(); ++i) {
      const Binding& b = bindings[i];
      out << (i == 0 ? "\n  " : ",\n  ") << "{\"host\": " << jsonString(b.host)
          << ", \"port\": " << jsonString(b.port) << ", \"authority\": "
          << jsonString(b.authority) << ", \"key\": " << jsonString(b.key) << "}";
    }
    out << (bindings.empty() ? "]\n" : "\n]\n");
    return {};
  }
  std::vector<std::vector<std::string>> rows = {{"Host", "Port", "Authority", "Binding key"}};
  for (const Binding& b : bindings) {
    rows.push_back({plainText(b.host), plainText(b.port), plainText(b.authority),
                    plainText(b.key)});
  }
  writeColumns(out, rows);
  return {};
}

CommandResult addBinding(CommandRun& run) {
  const BindingSite site = siteOf(run);
  const std::string& authority = run.operands[2];
  const BindingRefusal refusal = accountdb::addBinding(*run.database, site, authority);
  if (refusal != BindingRefusal::kNone) return refused(refusal, site);
  CommandResult result{
      0, true, {plainText(accountdb::bindingAddedSentence(site, authority).plain())}, {}};
  if (accountdb::findAuthority(*run.database, authority)->isPlaceholder()) {
    result.warnings.push_back("Warning: there is no authority " + plainText(authority) +
                              " - the filter refuses every user of the site until it is added");
  }
  return result;
}

CommandResult deleteBinding(CommandRun& run) {
  const BindingSite site = siteOf(run);
  if (const BindingRefusal refusal = accountdb::checkBindingPort(site);
      refusal != BindingRefusal::kNone) {
    return refused(refusal, site);
  }
  const ConfigValue* binding = accountdb::findBinding(*run.database, site.key());
  if (binding->isPlaceholder()) return refused(BindingRefusal::kNotFound, site);
  // The binding is confirmed under the key it is stored with.
  const std::string key = binding->name() != nullptr ? binding->name() : site.key();
  const BindingRefusal refusal = accountdb::removeBinding(*run.database, key);
  if (refusal != BindingRefusal::kNone) return refused(refusal, site);
  return {0, true, {plainText(accountdb::bindingDeletedSentence(key).plain())}, {}};
}

}  // namespace gatekeeper::cli
