#include "cli/options_commands.h"

#include <charconv>
#include <ostream>
#include <set>

#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "accountdb/option_rules.h"
#include "accountdb/value_readers.h"
#include "cli/dispatcher.h"
#include "cli/output_text.h"

namespace gatekeeper::cli {
namespace {

// The event ids of a comma-separated list, each the decimal digits of an id of EventTypeTable;
// nullopt, with the reason, for anything else.
std::optional<std::set<std::int32_t>> readEventIds(const std::string& list, std::string* reason) {
  std::set<std::int32_t> ids;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string word =
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    std::int32_t id = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), id);
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos ||
        error != std::errc() || end != word.data() + word.size() ||
        *accountdb::eventTypeName(id) == '\0') {
      *reason = "gatekeeper: " + plainText(word) +
                " is no event id (the ids are 0 and 2 to 16, as options show lists them)";
      return std::nullopt;
    }
    ids.insert(id);
    if (comma == std::string::npos) return ids;
    start = comma + 1;
  }
}

CommandResult refused(accountdb::OptionRefusal refusal) {
  return {1, false, {accountdb::optionRefusalText(refusal)}, {}};
}

}  // namespace

CommandResult showOptions(CommandRun& run) {
  const ConfigSection& main = *run.database->sectionByName(accountdb::kMain);
  const bool disabled = accountdb::readFlag(main, accountdb::kDisable);
  const std::string logFile = accountdb::readText(main, accountdb::kLog);
  const bool hashPasswords = accountdb::readFlag(main, accountdb::kHashPasswords);
  const std::vector<std::int32_t> suppressed = accountdb::suppressedEvents(*run.database);
  std::ostream& out = run.console->out;
  if (run.has("json")) {
    out << "{\"disabled\": " << (disabled ? "true" : "false")
        << ", \"logFile\": " << jsonString(logFile)
        << ", \"hashPasswords\": " << (hashPasswords ? "true" : "false")
        << ", \"suppressedEvents\": [";
    for (std::size_t i = 0; i < suppressed.size(); ++i) {
      out << (i == 0 ? "" : ", ") << "{\"id\": " << suppressed[i]
          << ", \"name\": " << jsonString(accountdb::eventTypeName(suppressed[i])) << "}";
    }
    out << "]}\n";
    return {};
  }
  std::vector<std::vector<std::string>> rows = {
      {"Filter disabled:", disabled ? "Yes" : "No"},
      {"Log file:", logFile.empty() ? "-" : plainText(logFile)},
      {"Store site users' passwords hashed:", hashPasswords ? "Yes" : "No"}};
  if (suppressed.empty()) rows.push_back({"Suppressed events:", "-"});
  for (std::size_t i = 0; i < suppressed.size(); ++i) {
    rows.push_back({i == 0 ? "Suppressed events:" : "",
                    std::to_string(suppressed[i]) + " " +
                        accountdb::eventTypeName(suppressed[i])});
  }
  writeColumns(out, rows);
  return {};
}

CommandResult setOptions(CommandRun& run) {
  std::optional<std::set<std::int32_t>> suppressed;
  if (run.has("suppress")) {
    std::string reason;
    suppressed = readEventIds(run.options.at("suppress"), &reason);
    if (!suppressed) return {kExitUsage, false, {reason}, {}};
  }
  if (run.has("log-all")) suppressed.emplace();
  accountdb::GeneralOptions options;
  if (run.has("disable")) options.disable = true;
  if (run.has("enable")) options.disable = false;
  if (run.has("log")) options.logFile = run.options.at("log");
  if (run.has("hash-passwords")) options.hashPasswords = true;
  if (run.has("plain-passwords")) options.hashPasswords = false;
  if (options.disable || options.logFile || options.hashPasswords) {
    const accountdb::OptionRefusal refusal =
        accountdb::storeGeneralOptions(*run.database, options);
    if (refusal != accountdb::OptionRefusal::kNone) return refused(refusal);
  }
  if (suppressed) {
    const accountdb::OptionRefusal refusal = accountdb::storeEventSuppression(
        *run.database, [&suppressed](std::int32_t id) { return suppressed->count(id) ? 1 : 0; });
    // The general options changed above are in memory only: nothing is saved.
    if (refusal != accountdb::OptionRefusal::kNone) return refused(refusal);
  }
  return {0, true, {"Options stored."}, {}};
}

}  // namespace gatekeeper::cli
