#include "cli/import_command.h"

#include "accountdb/database_names.h"
#include "accountdb/htpasswd_import.h"
#include "accountdb/value_readers.h"
#include "cli/output_text.h"
#include "platform/files.h"
#include "platform/system_error.h"

namespace gatekeeper::cli {
namespace {

using accountdb::ImportOutcome;

// The outcome as a word of the JSON result.
const char* outcomeKey(ImportOutcome outcome) {
  switch (outcome) {
    case ImportOutcome::kImported:
      return "imported";
    case ImportOutcome::kReplaced:
      return "replaced";
    case ImportOutcome::kAlreadyExists:
      return "alreadyExists";
    case ImportOutcome::kRepeated:
      return "repeated";
    case ImportOutcome::kWeakScheme:
      return "weakScheme";
    case ImportOutcome::kNotVerifiable:
      return "notVerifiable";
    case ImportOutcome::kUnsupportedForm:
      return "unsupportedForm";
    case ImportOutcome::kNameRefused:
      return "nameRefused";
    case ImportOutcome::kNotAUserLine:
      return "notAUserLine";
  }
  return "";
}

std::string nameOf(const ConfigSection& section) {
  return section.name() != nullptr ? section.name() : "";
}

int notImported(const accountdb::HtpasswdImport& result) {
  return static_cast<int>(result.lines.size()) - result.imported - result.replaced;
}

bool needsNewPassword(ImportOutcome outcome) {
  return outcome == ImportOutcome::kWeakScheme || outcome == ImportOutcome::kNotVerifiable ||
         outcome == ImportOutcome::kUnsupportedForm;
}

std::string countOf(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string jsonResult(const std::string& authority, const accountdb::HtpasswdImport& result) {
  std::string json = "{\"authority\": " + jsonString(authority) +
                     ", \"imported\": " + std::to_string(result.imported) +
                     ", \"replaced\": " + std::to_string(result.replaced) +
                     ", \"notImported\": " +
                     std::to_string(notImported(result)) +
                     ", \"users\": [";
  for (std::size_t i = 0; i < result.lines.size(); ++i) {
    const accountdb::ImportedLine& line = result.lines[i];
    json += (i == 0 ? "\n  " : ",\n  ");
    json += "{\"line\": " + std::to_string(line.line) + ", \"name\": " + jsonString(line.user) +
            ", \"outcome\": \"" + outcomeKey(line.outcome) + "\"" +
            ", \"scheme\": " + jsonString(passhash::schemeName(line.scheme)) +
            ", \"needsNewPassword\": " + (needsNewPassword(line.outcome) ? "true" : "false") +
            ", \"text\": " + jsonString(accountdb::importOutcomeText(line)) + "}";
  }
  return json + (result.lines.empty() ? "]}" : "\n]}");
}

}  // namespace

CommandResult importHtpasswdFile(CommandRun& run) {
  const std::string& path = run.operands[0];
  const std::string& authorityName = run.options.at("authority");
  std::string text;
  if (!platform::readFileContents(path, &text)) {
    const std::string problem = platform::readProblem(path);
    return {1, false,
            {"gatekeeper: cannot read the password file " + path + ": " +
             (problem.empty() ? "it is no regular file" : problem)},
            {}};
  }
  accountdb::HtpasswdImportOptions options;
  if (run.has("map-to")) options.mapTo = run.options.at("map-to");
  options.allowWeak = run.has("allow-weak");
  options.replace = run.has("replace");
  ConfigSection& authority = *run.database->sectionByName(accountdb::kAccounts)
                                  ->sectionByName(authorityName.c_str());
  const std::vector<accountdb::HtpasswdLine> lines = accountdb::parseHtpasswd(text);
  const accountdb::HtpasswdImport result = accountdb::importHtpasswd(authority, lines, options);
  switch (result.refusal) {
    case accountdb::ImportRefusal::kNone:
      break;
    case accountdb::ImportRefusal::kAuthorityNotFound:
      return {1, false,
              {plainText(accountdb::refusalSentence(accountdb::UserRefusal::kAuthorityNotFound,
                                                    "", authorityName)
                             .plain())},
              {}};
    case accountdb::ImportRefusal::kMapToNeeded: {
      int adding = 0;
      for (const accountdb::ImportedLine& line : result.lines) {
        adding += line.outcome == ImportOutcome::kImported ? 1 : 0;
      }
      return {1, false,
              {"gatekeeper: " + countOf(adding, "user", "users") + " of " + path +
               " would be new to authority " + plainText(authorityName) +
               ": name the NT account they are mapped to with --map-to NTACCOUNT (nothing was "
               "imported)"},
              {}};
    }
  }

  CommandResult outcome;
  outcome.changed = result.changed();
  outcome.exit = result.complete() ? 0 : 1;
  const std::string name = plainText(nameOf(authority));
  if (run.has("json")) {
    outcome.report.push_back(jsonResult(nameOf(authority), result));
  } else {
    for (const accountdb::ImportedLine& line : result.lines) {
      const std::string who =
          line.user.empty() ? "line " + std::to_string(line.line) : plainText(line.user);
      outcome.report.push_back(who + ": " + plainText(accountdb::importOutcomeText(line)));
    }
    outcome.report.push_back("Authority " + name + ": " +
                             countOf(result.imported, "user", "users") + " imported, " +
                             std::to_string(result.replaced) + " replaced, " +
                             std::to_string(notImported(result)) + " not imported");
  }
  if (result.imported > 0) {
    const std::string account = *options.mapTo;
    if (run.database->sectionByName(accountdb::kNtAccounts)
            ->sectionByName(account.c_str())
            ->isPlaceholder()) {
      outcome.warnings.push_back("Warning: there is no NT account " + plainText(account) +
                                 " - the filter refuses the imported users until it is added");
    }
    if (accountdb::readFlag(authority, accountdb::kExpirationRequired)) {
      outcome.warnings.push_back(
          "Warning: authority " + name +
          " requires an expiration date - the filter refuses the imported users until they "
          "have one (user set --expires or --no-expiration)");
    }
  }
  return outcome;
}

}  // namespace gatekeeper::cli
