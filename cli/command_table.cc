#include "cli/command_table.h"

#include "cli/authority_commands.h"
#include "cli/binding_commands.h"
#include "cli/check_command.h"
#include "cli/import_command.h"
#include "cli/log_command.h"
#include "cli/ntaccount_commands.h"
#include "cli/options_commands.h"
#include "cli/user_commands.h"

namespace gatekeeper::cli {
namespace {

const CommandOption kJson = {"json", nullptr, 0};

// Groups of options that exclude each other.
enum Group {
  kNoGroup,
  kPasswordSource,
  kMapping,
  kDisabling,
  kExpiryDate,
  kExpiration,
  kPolicy,
  kLogging,
  kPasswordStorage,
  kImportAuthority,
};

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"user", "list", "AUTHORITY", 1, {kJson}, DatabaseUse::kReading, PasswordUse::kNone,
       listUsers},
      {"user", "show", "AUTHORITY NAME", 2, {kJson}, DatabaseUse::kReading, PasswordUse::kNone,
       showUser},
      {"user", "add", "AUTHORITY NAME", 2,
       {{"password-stdin", nullptr, kNoGroup},
        {"map-to", "NTACCOUNT", kMapping},
        {"no-map", nullptr, kMapping},
        {"expires", "MM/DD/YYYY", kNoGroup},
        {"no-expiration", nullptr, kNoGroup},
        {"disabled", nullptr, kNoGroup}},
       DatabaseUse::kStoring, PasswordUse::kNewUser, addUser, kMapping},
      {"user", "set", "AUTHORITY NAME", 2,
       {{"password-stdin", nullptr, kPasswordSource},
        {"password", nullptr, kPasswordSource},
        {"map-to", "NTACCOUNT", kMapping},
        {"no-map", nullptr, kMapping},
        {"disabled", nullptr, kDisabling},
        {"enabled", nullptr, kDisabling},
        {"expires", "MM/DD/YYYY", kExpiryDate},
        {"no-expires", nullptr, kExpiryDate},
        {"no-expiration", nullptr, kExpiration},
        {"expiration", nullptr, kExpiration}},
       DatabaseUse::kStoring, PasswordUse::kChange, setUser, kNoGroup, true},
      {"user", "del", "AUTHORITY NAME", 2, {}, DatabaseUse::kStoring, PasswordUse::kNone,
       deleteUser},
      {"user", "rehash", "[AUTHORITY]", 1, {}, DatabaseUse::kStoring, PasswordUse::kNone,
       rehashUsers, kNoGroup, false, true},
      {"check", nullptr, "", 0, {kJson}, DatabaseUse::kPathOnly, PasswordUse::kNone,
       checkDatabase},
      {"ntaccount", "list", "", 0, {kJson}, DatabaseUse::kReading, PasswordUse::kNone,
       listNtAccounts},
      {"ntaccount", "add", "NAME", 1, {{"password-stdin", nullptr, kNoGroup}},
       DatabaseUse::kStoring, PasswordUse::kRequired, addNtAccount},
      {"ntaccount", "del", "NAME", 1, {}, DatabaseUse::kStoring, PasswordUse::kNone,
       deleteNtAccount},
      {"ntaccount", "passwd", "NAME", 1, {{"password-stdin", nullptr, kNoGroup}},
       DatabaseUse::kStoring, PasswordUse::kRequired, changeNtAccountPassword},
      {"options", "show", "", 0, {kJson}, DatabaseUse::kReading, PasswordUse::kNone,
       showOptions},
      {"options", "set", "", 0,
       {{"disable", nullptr, kDisabling},
        {"enable", nullptr, kDisabling},
        {"log", "FILE", kNoGroup},
        {"suppress", "ID,...", kLogging},
        {"log-all", nullptr, kLogging},
        {"hash-passwords", nullptr, kPasswordStorage},
        {"plain-passwords", nullptr, kPasswordStorage}},
       DatabaseUse::kStoring, PasswordUse::kNone, setOptions, kNoGroup, true},
      {"authority", "list", "", 0, {kJson}, DatabaseUse::kReading, PasswordUse::kNone,
       listAuthorities},
      {"authority", "add", "NAME", 1, {{"expiration-required", nullptr, kNoGroup}},
       DatabaseUse::kStoring, PasswordUse::kNone, addAuthority},
      {"authority", "del", "NAME", 1, {}, DatabaseUse::kStoring, PasswordUse::kNone,
       deleteAuthority},
      {"authority", "rename", "OLD NEW", 2, {}, DatabaseUse::kStoring, PasswordUse::kNone,
       renameAuthority},
      {"authority", "set", "NAME", 1,
       {{"expiration-required", nullptr, kPolicy}, {"no-expiration-required", nullptr, kPolicy}},
       DatabaseUse::kStoring, PasswordUse::kNone, setAuthority, kPolicy},
      {"binding", "list", "", 0, {kJson}, DatabaseUse::kReading, PasswordUse::kNone,
       listBindings},
      {"binding", "add", "HOST PORT AUTHORITY", 3, {}, DatabaseUse::kStoring, PasswordUse::kNone,
       addBinding},
      {"binding", "del", "HOST PORT", 2, {}, DatabaseUse::kStoring, PasswordUse::kNone,
       deleteBinding},
      {"log", nullptr, "", 0,
       {{"type", "ID", kNoGroup},
        {"since", "MM/DD/YYYY", kNoGroup},
        {"follow", nullptr, kNoGroup},
        kJson},
       DatabaseUse::kReading, PasswordUse::kNone, showLog},
      {"import", "htpasswd", "FILE", 1,
       {{"authority", "NAME", kImportAuthority},
        {"map-to", "NTACCOUNT", kNoGroup},
        {"allow-weak", nullptr, kNoGroup},
        {"replace", nullptr, kNoGroup},
        kJson},
       DatabaseUse::kStoring, PasswordUse::kNone, importHtpasswdFile, kImportAuthority},
  };
  return table;
}

std::string optionText(const CommandOption& option) {
  std::string text = std::string("--") + option.name;
  if (option.valueName != nullptr) text += std::string(" ") + option.valueName;
  return text;
}

}  // namespace

std::span<const Command> commandTable() { return commands(); }

std::string usageLine(const Command& command) {
  std::string line = std::string("gatekeeper [--database FILE] ") + command.group;
  if (command.name != nullptr) line += std::string(" ") + command.name;
  const CommandOption* required = nullptr;  // the one option of the required group
  int inRequiredGroup = 0;
  for (const CommandOption& option : command.options) {
    if (command.requiredGroup != kNoGroup && option.group == command.requiredGroup) {
      required = &option;
      ++inRequiredGroup;
    }
  }
  if (inRequiredGroup != 1) required = nullptr;
  if (required != nullptr) {
    line += ' ';
    line += optionText(*required);
  }
  if (command.operands[0] != '\0') line += std::string(" ") + command.operands;
  for (std::size_t i = 0; i < command.options.size(); ++i) {
    const CommandOption& option = command.options[i];
    if (&option == required) continue;
    const bool joinsPrevious = i > 0 && option.group != kNoGroup &&
                               command.options[i - 1].group == option.group;
    const bool joinsNext = i + 1 < command.options.size() && option.group != kNoGroup &&
                           command.options[i + 1].group == option.group;
    line += joinsPrevious ? " | " : " [";
    line += optionText(option);
    if (!joinsNext) line += "]";
  }
  return line;
}

}  // namespace gatekeeper::cli
