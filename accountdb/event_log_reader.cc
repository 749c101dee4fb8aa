#include "accountdb/event_log_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "accountdb/expiry_date.h"
#include "platform/files.h"

namespace gatekeeper::accountdb {

bool readLogEventId(std::string_view field, long long* id) {
  const std::string text(field);
  char* end = nullptr;
  *id = std::strtoll(text.c_str(), &end, 0);
  if (end != text.c_str()) return true;
  *id = 0;
  return false;
}

platform::FileTime logDay(std::string_view text) {
  ExpiryDate date;
  if (!parseExpiryDate(std::string(text).c_str(), &date)) return platform::kNotADate;
  return utcExpiryMoment(date);
}

bool passesLogFilter(const std::vector<std::string_view>& fields, const LogFilter& filter) {
  if (filter.type >= 0) {
    // A first field that holds no number reads as 0, as C's conversion reads it.
    long long id = 0;
    if (fields.size() > kLogEventIdField) readLogEventId(fields[kLogEventIdField], &id);
    if (id != filter.type) return false;
  }
  if (filter.since != platform::kNotADate && fields.size() > kLogDateField) {
    const platform::FileTime day = logDay(fields[kLogDateField]);
    if (day != platform::kNotADate && day < filter.since) return false;
  }
  return true;
}

bool readLogLine(std::FILE* log, std::string* line, bool wholeLinesOnly) {
  char buffer[kLogReadLength + 1];
  const std::int64_t before = wholeLinesOnly ? platform::streamPosition(log) : 0;
  if (std::fgets(buffer, sizeof buffer, log) == nullptr) {
    std::clearerr(log);  // a file that grows later reads on from here
    return false;
  }
  const std::size_t length = std::strlen(buffer);
  const bool cut = length < static_cast<std::size_t>(kLogReadLength) &&
                   (length == 0 || buffer[length - 1] != '\n');
  if (wholeLinesOnly && cut && before >= 0) {
    std::clearerr(log);
    platform::seekStream(log, before);
    return false;
  }
  line->assign(buffer, length);
  return true;
}

std::string rotatedLogPath(const std::string& logPath) { return logPath + ".1"; }

std::vector<std::string> olderRotatedLogs(const std::string& logPath) {
  namespace fs = std::filesystem;
  const fs::path log(logPath);
  const std::string prefix = log.filename().string() + ".";
  const fs::path directory = log.has_parent_path() ? log.parent_path() : fs::path(".");
  std::vector<std::pair<unsigned long long, std::string>> found;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    std::string name;
    try {
      name = it->path().filename().string();
    } catch (const std::exception&) {
      continue;  // a name without a narrow form (Windows) is not one of ours
    }
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string_view rest = std::string_view(name).substr(prefix.size());
    unsigned long long number = 0;
    const auto [after, parsed] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
    if (parsed != std::errc() || (after != rest.data() + rest.size() && *after != '.')) continue;
    if (rest == "1") continue;  // rotatedLogPath, which can be read
    found.emplace_back(number, name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& [number, name] : found) names.push_back(std::move(name));
  return names;
}

}  // namespace gatekeeper::accountdb
