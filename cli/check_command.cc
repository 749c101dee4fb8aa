#include "cli/check_command.h"

#include <ostream>

#include "accountdb/database_check.h"
#include "cli/output_text.h"

namespace gatekeeper::cli {

CommandResult checkDatabase(CommandRun& run) {
  const std::vector<std::string> findings = accountdb::checkDatabaseFile(run.databasePath);
  std::ostream& out = run.console->out;
  if (run.has("json")) {
    out << "[";
    for (std::size_t i = 0; i < findings.size(); ++i) {
      out << (i == 0 ? "\n  " : ",\n  ") << jsonString(findings[i]);
    }
    out << (findings.empty() ? "]\n" : "\n]\n");
  } else {
    // The findings quote names with their control characters written as \xNN already.
    for (const std::string& finding : findings) out << finding << "\n";
  }
  return {findings.empty() ? 0 : 1, false, {}, {}};
}

}  // namespace gatekeeper::cli
