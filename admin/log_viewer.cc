#include "admin/log_viewer.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "accountdb/expiry_date.h"
#include "accountdb/value_readers.h"
#include "websupport/action_link.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

constexpr int kLineBufferSize = 2048;  // 2047 characters and the terminating zero
constexpr int kColumns = 8;

// 00:00:00 UTC at the start of the day that text names as month/day/year; kNotADate when it
// does not read as three numbers or names no day of the calendar.
platform::FileTime dayOf(const std::string& text) {
  accountdb::ExpiryDate date;
  if (!accountdb::parseExpiryDate(text.c_str(), &date)) return platform::kNotADate;
  return accountdb::utcExpiryMoment(date);
}

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == ',' || line[i] == '\r' || line[i] == '\n') {
      fields.push_back(line.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  return fields;
}

// The event id of a line's first field, read as C reads an integer literal (decimal, "0x"
// hexadecimal, leading-zero octal, blanks before it skipped); false when it holds no number.
bool readEventId(std::string_view field, long long* id) {
  const std::string text(field);
  char* end = nullptr;
  *id = std::strtoll(text.c_str(), &end, 0);
  return end != text.c_str();
}

bool passes(const std::vector<std::string_view>& fields, const LogFilter& filter) {
  if (filter.type >= 0) {
    long long id = 0;
    if (!readEventId(fields[0], &id) || id != filter.type) return false;
  }
  if (filter.since != platform::kNotADate && fields.size() > 2) {
    const platform::FileTime day = dayOf(std::string(fields[2]));
    if (day != platform::kNotADate && day < filter.since) return false;
  }
  return true;
}

void writeRow(const std::vector<std::string_view>& fields) {
  writeText("<TR>");
  for (int column = 0; column < kColumns; ++column) {
    writeText("<TD NOWRAP BGCOLOR=\"#E0E0E0\">");
    if (column < static_cast<int>(fields.size())) writeEscaped(fields[column]);
    writeText("</TD>");
  }
  writeLine("</TR>");
}

void writeTypeList(int selected) {
  writeLine("<SELECT NAME=\"type\" SIZE=\"1\">");
  writeLine("<OPTION VALUE=\"-1\">ALL EVENTS</OPTION>");
  for (const accountdb::EventType& type : accountdb::EventTypeTable) {
    writeText(type.id == selected ? "<OPTION SELECTED VALUE=\"" : "<OPTION VALUE=\"");
    writeText(std::to_string(type.id));
    writeText("\">");
    writeText(type.name);
    writeLine("</OPTION>");
  }
  writeLine("</SELECT>");
}

void writeFilterForm(const std::string& date, int type) {
  writeText("<FORM METHOD=\"POST\" ACTION=\"");
  actionLink("ViewLog");
  writeLine("\">");
  writeLine("<TABLE BORDER=\"0\" CELLSPACING=\"1\">");
  writeText("<TR><TD CLASS=\"outset\">Events newer than (MM/DD/YYYY): </TD><TD CLASS=\"outset\">"
            "<INPUT TYPE=\"text\" NAME=\"date\" SIZE=\"20\" VALUE=\"");
  writeEscaped(date);
  writeLine("\"></TD></TR>");
  writeLine("<TR><TD CLASS=\"outset\">Event type: </TD><TD CLASS=\"outset\">");
  writeTypeList(type);
  writeLine("</TD></TR>");
  writeLine("<TR><TD CLASS=\"outset\">&nbsp;</TD><TD CLASS=\"outset\">"
            "<INPUT TYPE=\"submit\" VALUE=\"List from the beginning\" NAME=\"Again\"></TD></TR>");
  writeLine("</TABLE>");
}

void writeHeaderRow() {
  writeText("<TR>");
  for (const char* header : {"Event ID", "Hour", "Date", "Event description", "Parameter 1",
                             "Parameter 2", "Resource", "Site"}) {
    writeText("<TD NOWRAP CLASS=\"outset\">");
    writeText(header);
    writeText("</TD>");
  }
  writeLine("</TR>");
}

// The rotated files beside the log that the page cannot read, ordered by rotation number:
// the log's file name, a dot, the number and whatever the rotation added (events.log.2.gz,
// events.log.1.gz), all but the uncompressed rotatedLogPath.
std::vector<std::string> olderRotatedFiles(const std::string& logPath) {
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
    if (rest == "1") continue;  // the file the page reads
    found.emplace_back(number, name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& [number, name] : found) names.push_back(std::move(name));
  return names;
}

void writeOlderFilesNote(const std::string& logPath) {
  const std::vector<std::string> older = olderRotatedFiles(logPath);
  if (older.empty()) return;
  writeText(older.size() == 1 ? "<BR><i>Older lines are in the rotated file "
                              : "<BR><i>Older lines are in the rotated files ");
  writeEscaped(older.front());
  if (older.size() > 1) {
    writeText(" to ");
    writeEscaped(older.back());
  }
  writeLine(" beside the log.</i><BR>");
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

long long writeLogRows(std::FILE* log, const LogFilter& filter, long long start) {
  const long long last = start + kLogPageStep;
  if (last < 0) return 0;
  char buffer[kLineBufferSize];
  long long number = 0;
  while (std::fgets(buffer, sizeof buffer, log) != nullptr) {
    const std::vector<std::string_view> fields = splitFields(buffer);
    if (!passes(fields, filter)) continue;
    if (number >= start) writeRow(fields);
    if (number == last) return number + 1;
    ++number;
  }
  return number;
}

std::string rotatedLogPath(const std::string& logPath) { return logPath + ".1"; }

int writeLogViewer(ConfigFile& database, const FormFields& form, const FormFields&) {
  const char* path = accountdb::readText(*database.sectionByName(accountdb::kMain),
                                         accountdb::kLog);
  if (*path == '\0') return 1;
  // Right after a rotation the current file may not exist yet (the filter creates it with its
  // next line): the rotated one is listed alone then.
  const std::unique_ptr<std::FILE, FileCloser> log(std::fopen(path, "r"));
  const std::unique_ptr<std::FILE, FileCloser> rotated(
      std::fopen(rotatedLogPath(path).c_str(), "r"));
  if (!log && !rotated) return 1;

  const long long start = form.field("Again").text().empty() ? form.field("record").number() : 0;
  const std::string& date = form.field("date").text();
  LogFilter filter;
  filter.type = form.field("type").number();
  writeFilterForm(date, filter.type);
  if (!date.empty()) {
    filter.since = dayOf(date);
    if (filter.since == platform::kNotADate) writeLine("<BR><i>Invalid date format !</I><BR>");
  }
  writeLine("<HR>");
  writeLine("<TABLE BORDER=\"0\" CELLSPACING=\"1\">");
  writeHeaderRow();
  const long long listed = log ? writeLogRows(log.get(), filter, start) : 0;
  if (rotated && listed <= start + kLogPageStep) {
    writeLogRows(rotated.get(), filter, start - listed);
  }
  writeLine("</TABLE>");
  writeOlderFilesNote(path);
  writeLine("<HR>");
  writeText("<B><INPUT TYPE=\"submit\" VALUE=\"Go to line:\" NAME=\"B1\"> "
            "<INPUT TYPE=\"text\" NAME=\"record\" SIZE=\"20\" VALUE=\"");
  writeText(std::to_string(start + kLogPageStep));
  writeLine("\"></B>");
  writeLine("</FORM>");
  return 1;
}

}  // namespace gatekeeper
