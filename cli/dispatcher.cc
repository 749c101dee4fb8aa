#include "cli/dispatcher.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#include "cli/command_table.h"
#include "cli/database_access.h"
#include "cli/password_input.h"

namespace gatekeeper::cli {
namespace {

void writeUsage(std::ostream& stream, std::string_view group = {}) {
  stream << "usage:\n";
  for (const Command& command : commandTable()) {
    if (group.empty() || group == command.group) stream << "  " << usageLine(command) << "\n";
  }
}

int usageError(Console& console, const std::string& reason, std::string_view group = {}) {
  if (!reason.empty()) console.err << "gatekeeper: " << reason << "\n";
  writeUsage(console.err, group);
  return kExitUsage;
}

int usageError(Console& console, const std::string& reason, const Command& command) {
  if (!reason.empty()) console.err << "gatekeeper: " << reason << "\n";
  console.err << "usage: " << usageLine(command) << "\n";
  return kExitUsage;
}

// "--name" or "--name=value" split into name and value; false for an argument that is no
// option (an operand, or "-" alone).
bool splitOption(const std::string& argument, std::string* name,
                 std::optional<std::string>* value) {
  if (argument.size() < 3 || argument.compare(0, 2, "--") != 0) return false;
  const std::size_t equals = argument.find('=');
  *name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
  if (equals != std::string::npos) *value = argument.substr(equals + 1);
  return true;
}

const Command* findCommand(const std::string& group, const std::string* name) {
  for (const Command& command : commandTable()) {
    if (group != command.group) continue;
    if (command.name == nullptr || (name != nullptr && *name == command.name)) return &command;
  }
  return nullptr;
}

bool isGroup(const std::string& word) {
  for (const Command& command : commandTable()) {
    if (word == command.group) return true;
  }
  return false;
}

// Reads the command's operands and options from arguments; 0, or the usage error's status.
int readArguments(const Command& command, std::span<const std::string> arguments,
                  Console& console, CommandRun& run) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string name;
    std::optional<std::string> value;
    if (optionsEnded || !splitOption(argument, &name, &value)) {
      if (argument == "--") {
        optionsEnded = true;
      } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
        return usageError(console, "unknown option " + argument, command);
      } else {
        run.operands.push_back(argument);
      }
      continue;
    }
    const CommandOption* given = nullptr;
    for (const CommandOption& option : command.options) {
      if (name == option.name) given = &option;
    }
    if (given == nullptr) return usageError(console, "unknown option --" + name, command);
    if (given->valueName == nullptr && value) {
      return usageError(console, "--" + name + " takes no value", command);
    }
    if (given->valueName != nullptr && !value) {
      if (i + 1 == arguments.size()) {
        return usageError(console, "--" + name + " needs " + given->valueName, command);
      }
      value = arguments[++i];
    }
    for (const CommandOption& other : command.options) {
      if (other.group != 0 && other.group == given->group && name != other.name &&
          run.has(other.name)) {
        return usageError(console, "--" + name + " and --" + other.name + " exclude each other",
                          command);
      }
    }
    run.options[name] = value.value_or("");
  }
  if (!command.operandsOptional &&
      run.operands.size() < static_cast<std::size_t>(command.operandCount)) {
    return usageError(console, std::string("missing ") + command.operands, command);
  }
  if (run.operands.size() > static_cast<std::size_t>(command.operandCount)) {
    return usageError(console, "unexpected argument " + run.operands.back(), command);
  }
  if (command.needsAnOption && run.options.empty()) {
    return usageError(console, "nothing to change", command);
  }
  if (command.requiredGroup != 0) {
    std::string names;
    for (const CommandOption& option : command.options) {
      if (option.group != command.requiredGroup) continue;
      if (run.has(option.name)) return 0;
      names += std::string(names.empty() ? "--" : " or --") + option.name;
    }
    return usageError(console, names + " is needed", command);
  }
  return 0;
}

// Runs the handler and, for a storing command that changed the tree, saves it; then reports.
int finish(const Command& command, CommandRun& run) {
  CommandResult result = command.handler(run);
  Console& console = *run.console;
  if (result.changed && command.database == DatabaseUse::kStoring &&
      !saveDatabase(*run.database, console.err)) {
    return kExitFailed;
  }
  for (const std::string& line : result.report) console.out << line << "\n";
  for (const std::string& message : result.messages) {
    (result.exit == kExitDone ? console.out : console.err) << message << "\n";
  }
  for (const std::string& warning : result.warnings) console.err << warning << "\n";
  return result.exit;
}

int runCommand(const Command& command, CommandRun& run,
               const std::optional<std::string>& namedDatabase) {
  Console& console = *run.console;
  if (const int status = readPassword(command, run); status != 0) {
    return status == kExitUsage ? usageError(console, "", command) : status;
  }
  const std::optional<std::string> path = locateDatabase(namedDatabase, console.err);
  if (!path) return kExitFailed;
  run.databasePath = *path;
  if (command.database == DatabaseUse::kPathOnly) return finish(command, run);
  std::unique_ptr<DatabaseLock> lock;
  if (command.database == DatabaseUse::kStoring) {
    lock = lockDatabase(*path, console.err);
    if (lock == nullptr) return kExitFailed;
  }
  ConfigFile database(path->c_str(), 1);
  if (!loadDatabase(database, console.err)) return kExitFailed;
  run.database = &database;
  return finish(command, run);
}

}  // namespace

int runGatekeeper(std::span<const std::string> arguments, Console& console) {
  std::optional<std::string> namedDatabase;
  std::size_t next = 0;
  for (; next < arguments.size(); ++next) {
    const std::string& argument = arguments[next];
    if (argument == "--help" || argument == "-h" || argument == "help") {
      writeUsage(console.out);
      return kExitDone;
    }
    std::string name;
    std::optional<std::string> value;
    if (!splitOption(argument, &name, &value)) break;
    if (name != "database") return usageError(console, "unknown option " + argument);
    if (!value) {
      if (next + 1 == arguments.size()) return usageError(console, "--database needs FILE");
      value = arguments[++next];
    }
    if (value->empty()) return usageError(console, "--database needs FILE");
    namedDatabase = value;
  }
  if (next == arguments.size()) return usageError(console, "no command given");
  const std::string& group = arguments[next];
  if (!isGroup(group)) return usageError(console, "unknown command " + group);
  const std::string* name = next + 1 < arguments.size() ? &arguments[next + 1] : nullptr;
  const Command* command = findCommand(group, name);
  if (command == nullptr) {
    return usageError(console,
                      name == nullptr ? "missing command after " + group
                                      : "unknown command " + group + " " + *name,
                      group);
  }
  const std::size_t words = command->name != nullptr ? 2 : 1;
  CommandRun run;
  run.console = &console;
  if (const int status = readArguments(*command, arguments.subspan(next + words), console, run);
      status != 0) {
    return status;
  }
  return runCommand(*command, run, namedDatabase);
}

}  // namespace gatekeeper::cli
