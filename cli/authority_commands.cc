#include "cli/authority_commands.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "accountdb/authority_rules.h"
#include "accountdb/database_names.h"
#include "accountdb/value_readers.h"
#include "cli/output_text.h"
#include "platform/names.h"

namespace gatekeeper::cli {
namespace {

using accountdb::AuthorityChange;
using accountdb::AuthorityRefusal;

CommandResult refused(AuthorityRefusal refusal, const std::string& name,
                      const std::string& newName) {
  return {1, false,
          {plainText(accountdb::authorityRefusalSentence(refusal, name, newName).plain())}, {}};
}

std::string nameOf(const ConfigSection& section) {
  return section.name() != nullptr ? section.name() : "";
}

// The warnings about bindings that name the authority name, which the filter no longer finds.
std::vector<std::string> orphanedBindings(const CommandRun& run, const std::string& name) {
  std::vector<std::string> warnings;
  if (!accountdb::findAuthority(*run.database, name)->isPlaceholder()) return warnings;
  const ConfigSection& servers =
      *run.database->sectionByName(accountdb::kMain)->sectionByName(accountdb::kServers);
  for (int32_t slot = 1; slot <= servers.count(); ++slot) {
    const ConfigValue* binding = servers.valueByIndex(slot);
    if (binding->isPlaceholder() || !platform::namesEqual(binding->getString(), name.c_str())) {
      continue;
    }
    warnings.push_back("Warning: the binding " + plainText(binding->name()) +
                       " names the authority " + plainText(name) +
                       ", which is not there - the filter refuses every user of that site");
  }
  return warnings;
}

CommandResult changed(AuthorityChange change, const std::string& name) {
  return {0, true, {plainText(accountdb::authorityChangeSentence(change, name).plain())}, {}};
}

int userCount(const ConfigSection& authority) {
  int users = 0;
  for (int32_t slot = 1; slot <= authority.count(); ++slot) {
    if (!authority.sectionByIndex(slot)->isPlaceholder()) ++users;
  }
  return users;
}

// Renames (or keeps the name of) an existing authority and sets its policy through the rule.
// newName nullopt keeps the name, policy nullopt the policy.
CommandResult change(CommandRun& run, const std::optional<std::string>& newName,
                     std::optional<int> policy) {
  const std::string& asked = run.operands[0];
  const ConfigSection* authority = accountdb::findAuthority(*run.database, asked);
  if (authority->isPlaceholder()) return refused(AuthorityRefusal::kNotFound, asked, asked);
  // The authority keeps its stored name where the command gave it in other letter case.
  const std::string name = nameOf(*authority);
  const int expirationRequired =
      policy.value_or(authority->valueByName(accountdb::kExpirationRequired)->getInt());
  const std::string target = newName.value_or(name);
  const AuthorityRefusal refusal =
      accountdb::changeAuthority(*run.database, name, target, expirationRequired);
  if (refusal != AuthorityRefusal::kNone) return refused(refusal, name, target);
  CommandResult result = changed(AuthorityChange::kChanged, name);
  if (!platform::namesEqual(name.c_str(), target.c_str())) {
    result.warnings = orphanedBindings(run, name);
  }
  return result;
}

}  // namespace

CommandResult listAuthorities(CommandRun& run) {
  const std::vector<const ConfigSection*> authorities =
      accountdb::listAuthorities(*run.database);
  std::ostream& out = run.console->out;
  if (run.has("json")) {
    out << "[";
    for (std::size_t i = 0; i < authorities.size(); ++i) {
      const ConfigSection& authority = *authorities[i];
      out << (i == 0 ? "\n  " : ",\n  ") << "{\"name\": " << jsonString(nameOf(authority))
          << ", \"expirationRequired\": "
          << (accountdb::readFlag(authority, accountdb::kExpirationRequired) ? "true" : "false")
          << ", \"users\": " << userCount(authority) << "}";
    }
    out << (authorities.empty() ? "]\n" : "\n]\n");
    return {};
  }
  std::vector<std::vector<std::string>> rows = {{"Authority", "Expiration required", "Users"}};
  for (const ConfigSection* authority : authorities) {
    rows.push_back({plainText(nameOf(*authority)),
                    accountdb::readFlag(*authority, accountdb::kExpirationRequired) ? "Yes" : "No",
                    std::to_string(userCount(*authority))});
  }
  writeColumns(out, rows);
  return {};
}

CommandResult addAuthority(CommandRun& run) {
  const std::string& name = run.operands[0];
  const AuthorityRefusal refusal =
      accountdb::addAuthority(*run.database, name, run.has("expiration-required") ? 1 : 0);
  if (refusal != AuthorityRefusal::kNone) return refused(refusal, name, name);
  return changed(AuthorityChange::kAdded, name);
}

CommandResult deleteAuthority(CommandRun& run) {
  const std::string& asked = run.operands[0];
  const ConfigSection* authority = accountdb::findAuthority(*run.database, asked);
  if (authority->isPlaceholder()) return refused(AuthorityRefusal::kNotFound, asked, asked);
  const std::string name = nameOf(*authority);
  const AuthorityRefusal refusal = accountdb::removeAuthority(*run.database, name);
  if (refusal != AuthorityRefusal::kNone) return refused(refusal, name, name);
  CommandResult result = changed(AuthorityChange::kDeleted, name);
  result.warnings = orphanedBindings(run, name);
  return result;
}

CommandResult renameAuthority(CommandRun& run) {
  return change(run, run.operands[1], std::nullopt);
}

CommandResult setAuthority(CommandRun& run) {
  return change(run, std::nullopt, run.has("expiration-required") ? 1 : 0);
}

}  // namespace gatekeeper::cli
