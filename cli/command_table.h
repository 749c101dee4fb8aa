// The command table of gatekeeper: one row per command, naming its words, its operands, its
// options and what the dispatcher does around its handler (cli/dispatcher.h). A new command is
// a row here and a handler in the file of its group.
#ifndef GATEKEEPER_CLI_COMMAND_TABLE_H_
#define GATEKEEPER_CLI_COMMAND_TABLE_H_

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/console.h"
#include "configstore/config_file.h"

namespace gatekeeper::cli {

// What the dispatcher does with the account database around a handler.
enum class DatabaseUse {
  kPathOnly,  // finds the database's path; the handler loads what it needs itself
  kReading,   // finds and loads the database; never saves it
  kStoring,   // finds it, takes the database lock (a command fails without it), loads it,
              // runs the handler and, when the handler changed the tree, saves it once, all
              // under the lock, as the storing pages do
};

// Where a command's password comes from; the dispatcher reads it before the lock is taken,
// so that nobody waits for a person typing.
enum class PasswordUse {
  kNone,
  kNewUser,  // --password-stdin; else, unless --no-map, typed twice on a terminal (a usage
             // error when standard input is none)
  kChange,   // --password-stdin, or --password typed twice on a terminal; else none
  kRequired,  // --password-stdin; else typed twice on a terminal (a usage error when standard
              // input is none)
};

// One option: "--name", followed by a value when valueName is set ("--name VALUE" or
// "--name=VALUE"). Options of one non-zero group exclude each other.
struct CommandOption {
  const char* name;
  const char* valueName;
  int group;
};

// What the dispatcher hands a handler.
struct CommandRun {
  std::vector<std::string> operands;
  std::map<std::string, std::string> options;  // given options by name; "" for flags
  std::string databasePath;
  ConfigFile* database = nullptr;           // loaded (kReading, kStoring), else nullptr
  std::optional<std::string> password;      // as PasswordUse asked for it
  Console* console = nullptr;

  bool has(const std::string& option) const { return options.count(option) != 0; }
};

// What a handler reports. The dispatcher saves when changed is set (kStoring rows only), and
// only once saved writes report to standard output, then messages (to standard output when
// exit is 0, else to standard error: the reason of a refusal) and warnings to standard error;
// exit is the process's status (0 done, 1 refused or failed, 2 usage). A command that did part
// of its work and says so with status 1 puts what it did in report.
struct CommandResult {
  int exit = 0;
  bool changed = false;
  std::vector<std::string> messages;
  std::vector<std::string> warnings;
  std::vector<std::string> report = {};
};

struct Command {
  const char* group;  // first word: "user", "check"
  const char* name;   // second word: "list", "add"; nullptr for a command of one word
  const char* operands;  // as the usage line names them: "AUTHORITY NAME", "[AUTHORITY]"
  int operandCount;      // the most operands; all are needed unless operandsOptional
  std::vector<CommandOption> options;
  DatabaseUse database;
  PasswordUse password;
  CommandResult (*handler)(CommandRun& run);
  int requiredGroup = 0;       // one option of this group must be given
  bool needsAnOption = false;  // at least one option must be given
  bool operandsOptional = false;  // fewer operands than operandCount, none included, will do
};

// Every command, in the order of the usage text.
std::span<const Command> commandTable();

// "gatekeeper [--database FILE] user add AUTHORITY NAME [--password-stdin] [--map-to NTACCOUNT
// | --no-map] ...": the usage line of one command. A required group of one option is written
// without brackets before the operands: "import htpasswd --authority NAME FILE ...".
std::string usageLine(const Command& command);

}  // namespace gatekeeper::cli

#endif  // GATEKEEPER_CLI_COMMAND_TABLE_H_
