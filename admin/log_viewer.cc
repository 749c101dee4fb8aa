#include "admin/log_viewer.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "accountdb/value_readers.h"
#include "websupport/action_link.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

using accountdb::kLogColumns;

void writeRow(const std::vector<std::string_view>& fields) {
  writeText("<TR>");
  for (int column = 0; column < kLogColumns; ++column) {
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

void writeOlderFilesNote(const std::string& logPath) {
  const std::vector<std::string> older = accountdb::olderRotatedLogs(logPath);
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
  std::string line;
  long long number = 0;
  while (accountdb::readLogLine(log, &line)) {
    const std::vector<std::string_view> fields = accountdb::splitLogLine(line);
    if (!accountdb::passesLogFilter(fields, filter)) continue;
    if (number >= start) writeRow(fields);
    if (number == last) return number + 1;
    ++number;
  }
  return number;
}

void writeLogViewer(ConfigFile& database, const FormFields& form, const FormFields&) {
  const char* path = accountdb::readText(*database.sectionByName(accountdb::kMain),
                                         accountdb::kLog);
  if (*path == '\0') return;
  // Right after a rotation the current file may not exist yet (the filter creates it with its
  // next line): the rotated one is listed alone then.
  const std::unique_ptr<std::FILE, FileCloser> log(std::fopen(path, "r"));
  const std::unique_ptr<std::FILE, FileCloser> rotated(
      std::fopen(rotatedLogPath(path).c_str(), "r"));
  if (!log && !rotated) return;

  const long long start = form.field("Again").text().empty() ? form.field("record").number() : 0;
  const std::string& date = form.field("date").text();
  LogFilter filter;
  filter.type = form.field("type").number();
  writeFilterForm(date, filter.type);
  if (!date.empty()) {
    filter.since = accountdb::logDay(date);
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
}

}  // namespace gatekeeper
