#include "cli/ntaccount_commands.h"

#include <ostream>

#include "accountdb/database_names.h"
#include "accountdb/nt_account_rules.h"
#include "cli/output_text.h"

namespace gatekeeper::cli {
namespace {

using accountdb::NtAccountChange;
using accountdb::NtAccountRefusal;

const std::string& accountName(const CommandRun& run) { return run.operands[0]; }

CommandResult refused(NtAccountRefusal refusal, std::string_view password = {}) {
  return {1, false, {plainText(accountdb::ntAccountRefusalSentence(refusal, password).plain())},
          {}};
}

CommandResult stored(NtAccountChange change, const std::string& name) {
  return {0, true, {plainText(accountdb::ntAccountChangeSentence(change, name).plain())}, {}};
}

std::string nameOf(const ConfigSection& section) {
  return section.name() != nullptr ? section.name() : "";
}

// The account of that name (ignoring case), or the placeholder section.
const ConfigSection& findAccount(const CommandRun& run) {
  return *run.database->sectionByName(accountdb::kNtAccounts)
              ->sectionByName(accountName(run).c_str());
}

}  // namespace

CommandResult listNtAccounts(CommandRun& run) {
  const std::vector<const ConfigSection*> accounts = accountdb::ntAccounts(*run.database);
  std::ostream& out = run.console->out;
  if (run.has("json")) {
    out << "[";
    for (std::size_t i = 0; i < accounts.size(); ++i) {
      const std::string name = nameOf(*accounts[i]);
      out << (i == 0 ? "\n  " : ",\n  ") << "{\"name\": " << jsonString(name)
          << ", \"mappedUsers\": " << accountdb::usersMappedTo(*run.database, name).size()
          << "}";
    }
    out << (accounts.empty() ? "]\n" : "\n]\n");
    return {};
  }
  std::vector<std::vector<std::string>> rows = {{"NT account", "Mapped users"}};
  for (const ConfigSection* account : accounts) {
    const std::string name = nameOf(*account);
    rows.push_back(
        {plainText(name), std::to_string(accountdb::usersMappedTo(*run.database, name).size())});
  }
  writeColumns(out, rows);
  return {};
}

CommandResult addNtAccount(CommandRun& run) {
  const std::string password = run.password.value_or("");
  const NtAccountRefusal refusal =
      accountdb::addNtAccount(*run.database, accountName(run), password, password);
  if (refusal != NtAccountRefusal::kNone) return refused(refusal, password);
  return stored(NtAccountChange::kAdded, accountName(run));
}

CommandResult deleteNtAccount(CommandRun& run) {
  const ConfigSection& account = findAccount(run);
  if (account.isPlaceholder()) return refused(NtAccountRefusal::kNotFound);
  const std::string name = nameOf(account);
  accountdb::removeNtAccount(*run.database, name);
  CommandResult result = stored(NtAccountChange::kDeleted, name);
  const std::vector<accountdb::MappedUser> users = accountdb::usersMappedTo(*run.database, name);
  if (!users.empty()) {
    std::string names;
    for (const accountdb::MappedUser& user : users) {
      names += (names.empty() ? "" : ", ") + plainText(user.authority) + "/" + plainText(user.user);
    }
    result.warnings.push_back("Warning: the users mapped to NT account " + plainText(name) +
                              " will not be able to log on unless you change their mapping: " +
                              names);
  }
  return result;
}

CommandResult changeNtAccountPassword(CommandRun& run) {
  const ConfigSection& account = findAccount(run);
  if (account.isPlaceholder()) return refused(NtAccountRefusal::kNotFound);
  // The account keeps the name it is stored under, whatever letter case the command gave.
  const std::string name = nameOf(account);
  const std::string password = run.password.value_or("");
  const NtAccountRefusal refusal =
      accountdb::changeNtAccountPassword(*run.database, name, password, password);
  if (refusal != NtAccountRefusal::kNone) return refused(refusal, password);
  return stored(NtAccountChange::kPasswordChanged, name);
}

}  // namespace gatekeeper::cli
