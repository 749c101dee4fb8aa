#include "cli/user_commands.h"

#include <ostream>

#include "accountdb/database_names.h"
#include "accountdb/password_rules.h"
#include "accountdb/user_rules.h"
#include "accountdb/value_readers.h"
#include "cli/output_text.h"
#include "passhash/password_hash.h"

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

// How a user's password is kept, never the password or its hash.
struct PasswordKept {
  bool set;          // not empty
  std::string name;  // "none", "plain", or the scheme of the hash
  bool verifiable;   // this build verifies it (a plain or empty one always)
};

PasswordKept passwordKept(const ConfigSection& user) {
  const std::string_view stored = accountdb::readText(user, accountdb::kPassword);
  const passhash::Scheme scheme = passhash::schemeOf(stored);
  return {!stored.empty(), stored.empty() ? "none" : passhash::schemeName(scheme),
          passhash::canVerify(scheme)};
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
    const PasswordKept kept = passwordKept(user);
    json += std::string(", \"passwordSet\": ") + jsonBool(kept.set);
    json += ", \"passwordStorage\": " + jsonString(kept.name);
    json += std::string(", \"passwordVerifiable\": ") + jsonBool(kept.verifiable);
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
  const PasswordKept kept = passwordKept(*user);
  rows.push_back({"Password:", kept.verifiable ? kept.name
                                               : kept.name + " (this system can not verify it:"
                                                             " the filter refuses the user until"
                                                             " a new password is set)"});
  writeColumns(out, rows);
  return {};
}

CommandResult addUser(CommandRun& run) {
  ConfigSection& authority = *findAuthority(run);
  UserEntry entry;
  applyOptions(run, &entry);
  const UserRefusal refusal = accountdb::addUser(authority, userName(run), entry,
                                                 accountdb::passwordStorage(*run.database));
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
  const accountdb::PasswordStorage storage = accountdb::passwordStorage(*run.database);
  UserEntry entry = accountdb::readUserEntry(*existing);
  // Without a new password the stored one stays exactly as it is: a hash (which no entry may
  // carry as a new password), or a plain one that is not hashed behind the person's back.
  if (!run.password && accountdb::emptyPasswordKeepsStored(storage, *existing)) {
    entry.password.clear();
  }
  applyOptions(run, &entry);
  ConfigSection* user = nullptr;
  const UserRefusal refusal = accountdb::replaceUser(authority, name, entry, &user, storage);
  if (refusal != UserRefusal::kNone) return refused(refusal, run, name, entry.password);
  // An empty password given on purpose is stored, as it always was, even where an empty one
  // otherwise keeps the stored password.
  if (run.password && run.password->empty()) {
    accountdb::setUserPassword(*user, storage, "");
  }
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

CommandResult rehashUsers(CommandRun& run) {
  ConfigSection& accounts = *run.database->sectionByName(accountdb::kAccounts);
  std::vector<ConfigSection*> authorities;
  if (!run.operands.empty()) {
    ConfigSection* authority = findAuthority(run);
    if (authority->isPlaceholder()) return refused(UserRefusal::kAuthorityNotFound, run, "");
    authorities.push_back(authority);
  } else {
    for (int32_t slot = 1; slot <= accounts.count(); ++slot) {
      ConfigSection* authority = accounts.sectionByIndex(slot);
      if (!authority->isPlaceholder()) authorities.push_back(authority);
    }
  }
  CommandResult result;
  for (ConfigSection* authority : authorities) {
    const accountdb::RehashCount count = accountdb::rehashPasswords(*authority);
    const std::string name = plainText(nameOf(*authority));
    result.report.push_back("Authority " + name + ": " + std::to_string(count.hashed) +
                            (count.hashed == 1 ? " password" : " passwords") + " hashed");
    if (count.failed > 0) {
      result.exit = 1;
      result.messages.push_back("Authority " + name + ": " + std::to_string(count.failed) +
                                (count.failed == 1 ? " password" : " passwords") +
                                " could not be hashed and stay plain");
    }
    result.changed = result.changed || count.hashed > 0;
  }
  return result;
}

}  // namespace gatekeeper::cli
