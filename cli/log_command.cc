#include "cli/log_command.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <memory>
#include <ostream>
#include <vector>

#include "accountdb/database_names.h"
#include "accountdb/event_line.h"
#include "accountdb/value_readers.h"
#include "cli/dispatcher.h"
#include "cli/log_tail.h"
#include "cli/output_text.h"
#include "platform/files.h"
#include "platform/system_error.h"

namespace gatekeeper::cli {
namespace {

using accountdb::LogFilter;

// How often --follow looks at the log.
constexpr int kFollowPollMilliseconds = 250;

volatile std::sig_atomic_t stopFollowing = 0;

extern "C" void requestStop(int) { stopFollowing = 1; }

// SIGINT and SIGTERM end --follow: they set the flag that the polling loop reads, for as long
// as an object lives.
class StopSignals {
 public:
  StopSignals() {
    stopFollowing = 0;
    previousInterrupt_ = std::signal(SIGINT, requestStop);
    previousTerminate_ = std::signal(SIGTERM, requestStop);
  }
  ~StopSignals() {
    std::signal(SIGINT, previousInterrupt_);
    std::signal(SIGTERM, previousTerminate_);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void (*previousInterrupt_)(int);
  void (*previousTerminate_)(int);
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// A path as the system names it (backslashes kept), its control characters as "\xHH".
std::string pathText(const std::string& path) {
  std::string text;
  for (const char c : path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    text += byte < 0x20 || byte == 0x7f ? plainText(std::string(1, c)) : std::string(1, c);
  }
  return text;
}

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// A field as the viewer shows it, less the blank that follows the comma before it.
std::string columnText(std::string_view field) {
  if (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  return jsonString(field);
}

std::string jsonLine(const std::string& line) {
  static const char* const kNames[accountdb::kLogColumns] = {
      "event", "hour", "date", "description", "parameter1", "parameter2", "resource", "site"};
  const std::vector<std::string_view> fields = accountdb::splitLogLine(line);
  std::string json = "{";
  for (int column = 0; column < accountdb::kLogColumns; ++column) {
    json += column == 0 ? "\"" : ", \"";
    json += kNames[column];
    json += "\": ";
    if (column == 0) {
      long long id = 0;
      const bool read = accountdb::readLogEventId(fields[accountdb::kLogEventIdField], &id);
      json += read ? std::to_string(id) : "null";
    } else {
      json += column < static_cast<int>(fields.size()) ? columnText(fields[column]) : "\"\"";
    }
  }
  return json + ", \"line\": " + jsonString(line) + "}";
}

bool passes(const std::string& line, const LogFilter& filter) {
  return accountdb::passesLogFilter(accountdb::splitLogLine(line), filter);
}

// Writes the passing lines of a whole file through write; false when it cannot be opened.
bool writeFile(const std::string& path, const LogFilter& filter,
               const std::function<void(const std::string&)>& write) {
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "r"));
  if (!file) return false;
  std::string line;
  while (accountdb::readLogLine(file.get(), &line)) {
    if (passes(line, filter)) write(line);
  }
  return true;
}

// --type ID: an event id in decimal, 0 or more.
bool readType(const std::string& text, int* type) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *type);
  return error == std::errc() && end == text.data() + text.size() && *type >= 0;
}

CommandResult usage(const std::string& reason) {
  return {kExitUsage, false, {"gatekeeper: " + reason}, {}};
}

}  // namespace

std::string logLineText(const std::string& line, bool json) {
  const std::string text = withoutLineEnd(line);
  return (json ? jsonLine(text) : plainText(text)) + "\n";
}

void followLog(const std::string& path, const LogFilter& filter,
               const std::function<void(const std::string& line)>& write,
               const std::function<bool()>& wait) {
  LogTail tail(path);
  do {
    tail.poll([&](const std::string& line) {
      if (passes(line, filter)) write(line);
    });
  } while (wait());
}

CommandResult showLog(CommandRun& run) {
  LogFilter filter;
  if (run.has("type") && !readType(run.options.at("type"), &filter.type)) {
    return usage("--type needs an event id (0 or more): " + plainText(run.options.at("type")));
  }
  if (run.has("since")) {
    filter.since = accountdb::logDay(run.options.at("since"));
    if (filter.since == platform::kNotADate) {
      return usage("--since needs a day as MM/DD/YYYY: " + plainText(run.options.at("since")));
    }
  }
  const std::string path =
      accountdb::readText(*run.database->sectionByName(accountdb::kMain), accountdb::kLog);
  if (path.empty()) {
    return {kExitFailed, false,
            {"gatekeeper: " + pathText(run.databasePath) + " names no event log (MAIN/log)"},
            {}};
  }

  const bool json = run.has("json");
  const bool follow = run.has("follow");
  std::ostream& out = run.console->out;
  bool first = true;
  const auto write = [&](const std::string& line) {
    if (json && !follow) out << (first ? "[\n  " : ",\n  ");
    const std::string text = logLineText(line, json);
    out << (json && !follow ? text.substr(0, text.size() - 1) : text);
    first = false;
  };

  CommandResult result;
  for (const std::string& name : accountdb::olderRotatedLogs(path)) {
    run.console->err << "gatekeeper: older lines are in " << pathText(name)
                     << " beside the log, which is not read\n";
  }
  const bool rotatedRead = writeFile(accountdb::rotatedLogPath(path), filter, write);
  if (follow) {
    const StopSignals signals;
    followLog(path, filter, write, [&out] {
      out.flush();
      for (int waited = 0; waited < 4 && !stopFollowing; ++waited) {
        platform::sleepMilliseconds(kFollowPollMilliseconds / 4);
      }
      return stopFollowing == 0;
    });
    return result;
  }
  const std::string problem = platform::readProblem(path);
  const bool currentRead = problem.empty() && writeFile(path, filter, write);
  if (!currentRead && !rotatedRead) {
    result.exit = kExitFailed;
    result.messages.push_back("gatekeeper: cannot read " + pathText(path) + ": " +
                              (problem.empty() ? std::string("unknown reason") : problem));
  } else if (json) {
    out << (first ? "[]\n" : "\n]\n");
  }
  return result;
}

}  // namespace gatekeeper::cli
