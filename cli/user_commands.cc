#include "cli/user_commands.h"

#include <ostream>

#include "accountdb/database_names.h"
#include "accountdb/user_rules.h"
#include "accountdb/value_readers.h"
#include "cli/output_text.h"

namespace gatekeeper::cli {
namespace {

using accountdb::UserChange;
using accountdb::UserEntry;
using accountdb::UserRefusal;

const std::string& authorityName(const CommandRun& run) { return run.operands[0]; }
const std::string& userName(const CommandRun& run) { return run.operands[1]; }

ConfigSection* findAuthority(const CommandRun& run) {
  return run.database->sectionByName(accountdb::kAccounts)
      ->sectionByName(authorityName(run).c_str());
}

CommandResult refused(UserRefusal refusal, const CommandRun& run, const std::string& user,
                      std::string_view password = {}) {
  const accountdb::Sentence sentence =
      accountdb::refusalSentence(refusal, user, authorityName(run), password);
  return {1, false, {plainText(sentence.plain())}, {}};
}

// The warnings about a stored user that the filter will refuse, as the pages warn.
std::vector<std::string> warningsFor(const CommandRun& run, const ConfigSection& user) {
  std::vector<std::string> warnings;
  const char* date = accountdb::readText(user, accountdb::kExpireDate);
  if (const char* text = accountdb::expiryWarningText(accountdb::judgeExpiryDate(date))) {
    warnings.push_back(std::string("Warning: ") + text);
  }
  const std::string account = accountdb::readText(user, accountdb::kMapTo);
  if (!accountdb::readFlag(user, accountdb::kDoNotMap) &&
      run.database->sectionByName(accountdb::kNtAccounts)
          ->sectionByName(account.c_str())
          ->isPlaceholder()) {
    warnings.push_back("Warning: there is no NT account " + plainText(account) +
                       " - the filter refuses the user until it is added");
  }
  return warnings;
}

CommandResult stored(UserChange change, const CommandRun& run, const std::string& user,
                     const ConfigSection* section) {
  CommandResult result{0, true, {plainText(accountdb::changeSentence(change, user,
                                                                     authorityName(run))
                                               .plain())},
                       {}};
  if (section != nullptr) result.warnings = warningsFor(run, *section);
  return result;
}

// The options of add and set applied to an entry.
void applyOptions(const CommandRun& run, UserEntry* entry) {
  if (run.password) entry->password = *run.password;
  if (run.has("map-to")) {
    entry->mapped = true;
    entry->ntAccount = run.options.at("map-to");
  }
  if (run.has("no-map")) entry->mapped = false;
  if (run.has("expires")) entry->expireDate = run.options.at("expires");
  if (run.has("no-expires")) entry->expireDate.clear();
  if (run.has("no-expiration")) entry->noExpiration = 1;
  if (run.has("expiration")) entry->noExpiration = 0;
  if (run.has("disabled")) entry->disabled = 1;
  if (run.has("enabled")) entry->disabled = 0;
}

const char* yesNo(bool set) { return set ? "Yes" : "No"; }
const char* jsonBool(bool set) { return set ? "true" : "false"; }
std::string cell(const char* text) { return *text != '\0' ? plainText(text) : "-"; }

std::string nameOf(const ConfigSection& section) {
  return section.name() != nullptr ? section.name() : "";
}

// The user's values as one JSON object, on one line.
std::string jsonUser(const ConfigSection& user, bool withPassword) {
  using accountdb::readFlag;
  using accountdb::readText;
  std::string json = "{\"name\": " + jsonString(nameOf(user));
  json += std::string(", \"mapped\": ") + jsonBool(!readFlag(user, accountdb::kDoNotMap));
  json += ", \"ntAccount\": " + jsonString(readText(user, accountdb::kMapTo));
  json += ", \"expireDate\": " + jsonString(readText(user, accountdb::kExpireDate));
  json += std::string(", \"noExpiration\": ") +
          jsonBool(readFlag(user, accountdb::kNoExpiration));
  json += std::string(", \"disabled\": ") + jsonBool(readFlag(user, accountdb::kDisabled));
  if (withPassword) {
    json += std::string(", \"passwordSet\": ") +
            jsonBool(*readText(user, accountdb::kPassword) != '\0');
  }
  return json + "}";
}

std::vector<std::string> userRow(const ConfigSection& user) {
  using accountdb::readFlag;
  using accountdb::readText;
  return {plainText(nameOf(user)),
          yesNo(!readFlag(user, accountdb::kDoNotMap)),
          cell(readText(user, accountdb::kMapTo)),
          cell(readText(user, accountdb::kExpireDate)),
          yesNo(readFlag(user, accountdb::kNoExpiration)),
          yesNo(readFlag(user, accountdb::kDisabled))};
}

const std::vector<std::string> kHeader = {"Username",    "Mapped",        "NT account",
                                          "Expire date", "No expiration", "Disabled"};

}  // namespace

CommandResult listUsers(CommandRun& run) {
  const ConfigSection* authority = findAuthority(run);
  if (authority->isPlaceholder()) return refused(UserRefusal::kAuthorityNotFound, run, "");
  std::vector<const ConfigSection*> users;
  for (int32_t slot = 1; slot <= authority->count(); ++slot) {
    const ConfigSection* user = authority->sectionByIndex(slot);
    if (!user->isPlaceholder()) users.push_back(user);
  }
  std::ostream& out = run.console->out;
  if (run.has("json")) {
    out << "[";
    for (std::size_t i = 0; i < users.size(); ++i) {
      out << (i == 0 ? "\n  " : ",\n  ") << jsonUser(*users[i], false);
    }
    out << (users.empty() ? "]\n" : "\n]\n");
    return {};
  }
  std::vector<std::vector<std::string>> rows = {kHeader};
  for (const ConfigSection* user : users) rows.push_back(userRow(*user));
  writeColumns(out, rows);
  return {};
}

CommandResult showUser(CommandRun& run) {
  const ConfigSection* authority = findAuthority(run);
  if (authority->isPlaceholder()) return refused(UserRefusal::kAuthorityNotFound, run, "");
  const ConfigSection* user = accountdb::findUser(*authority, userName(run));
  if (user->isPlaceholder()) return refused(UserRefusal::kNoSuchUser, run, userName(run));
  std::ostream& out = run.console->out;
  if (run.has("json")) {
    out << jsonUser(*user, true) << "\n";
    return {};
  }
  const std::vector<std::string> values = userRow(*user);
  std::vector<std::vector<std::string>> rows = {{"Authority:", plainText(nameOf(*authority))}};
  for (std::size_t i = 0; i < values.size(); ++i) rows.push_back({kHeader[i] + ":", values[i]});
  const bool passwordSet = *accountdb::readText(*user, accountdb::kPassword) != '\0';
  rows.push_back({"Password:", passwordSet ? "set" : "not set"});
  writeColumns(out, rows);
  return {};
}

CommandResult addUser(CommandRun& run) {
  ConfigSection& authority = *findAuthority(run);
  UserEntry entry;
  applyOptions(run, &entry);
  const UserRefusal refusal = accountdb::addUser(authority, userName(run), entry);
  if (refusal != UserRefusal::kNone) return refused(refusal, run, userName(run), entry.password);
  return stored(UserChange::kAdded, run, userName(run),
                accountdb::findUser(authority, userName(run)));
}

CommandResult setUser(CommandRun& run) {
  ConfigSection& authority = *findAuthority(run);
  if (authority.isPlaceholder()) return refused(UserRefusal::kAuthorityNotFound, run, "");
  const ConfigSection* existing = accountdb::findUser(authority, userName(run));
  if (existing->isPlaceholder()) return refused(UserRefusal::kNoSuchUser, run, userName(run));
  // The user keeps the name it is stored under, whatever letter case the command gave.
  const std::string name = nameOf(*existing);
  UserEntry entry = accountdb::readUserEntry(*existing);
  applyOptions(run, &entry);
  ConfigSection* user = nullptr;
  const UserRefusal refusal = accountdb::replaceUser(authority, name, entry, &user);
  if (refusal != UserRefusal::kNone) return refused(refusal, run, name, entry.password);
  return stored(UserChange::kChanged, run, name, user);
}

CommandResult deleteUser(CommandRun& run) {
  ConfigSection& authority = *findAuthority(run);
  if (authority.isPlaceholder()) return refused(UserRefusal::kAuthorityNotFound, run, "");
  const ConfigSection* existing = accountdb::findUser(authority, userName(run));
  if (existing->isPlaceholder()) return refused(UserRefusal::kNoSuchUser, run, userName(run));
  const std::string name = nameOf(*existing);
  const UserRefusal refusal = accountdb::removeUser(authority, name);
  if (refusal != UserRefusal::kNone) return refused(refusal, run, name);
  return stored(UserChange::kDeleted, run, name, nullptr);
}

}  // namespace gatekeeper::cli
