// The log viewer: paging, the type and date filters, what a line's cells show, and reading no
// further than the page needs.
#include "admin/log_viewer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "admin/action_table.h"
#include "platform/scratch_directory.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables_for_test.h"

namespace gatekeeper {
namespace {

constexpr char kRowStart[] = "<TR><TD NOWRAP BGCOLOR=\"#E0E0E0\">";

// A log line as the filter writes it; the first parameter names the line.
std::string logLine(const std::string& event, const char* date, const std::string& name) {
  return event + ", 3:45 PM, " + date + ", Some event (UserName UserDB), " +
         name + ", Staff, /private/index.htm, intranet\n";
}

class LogViewerTest : public ::testing::Test {
 protected:
  LogViewerTest() { database_.getOrCreateSection("MAIN")->setString("log", log_.c_str()); }

  void writeLog(const std::string& contents) { platform::writeWholeFile(log_, contents); }
  // 120 lines of event 12, named line0 to line119.
  void writeNumberedLog() {
    std::string contents;
    for (int i = 0; i < 120; ++i) contents += logLine("12", " 3/ 7/2001", "line" + std::to_string(i));
    writeLog(contents);
  }

  std::string view(const FormFields& form) {
    FormFields query;
    query.insert("Action", "ViewLog");
    ResponseCapture page;
    dispatchAction(database_, form, query);
    return page.text();
  }

  // The names (first parameters) of the listed lines, separated by blanks.
  static std::string listedNames(const std::string& page) {
    std::string names;
    for (std::size_t at = page.find(kRowStart); at != std::string::npos;
         at = page.find(kRowStart, at + 1)) {
      std::size_t cell = at;
      for (int i = 0; i < 5; ++i) cell = page.find("<TD", cell + 1);
      const std::size_t text = page.find('>', cell) + 2;  // past the blank after the comma
      names += page.substr(text, page.find("</TD>", text) - text) + " ";
    }
    return names;
  }

  static std::string goToLine(const std::string& page) {
    const std::string box = "NAME=\"record\" SIZE=\"20\" VALUE=\"";
    const std::size_t at = page.find(box);
    if (at == std::string::npos) return "<no box>";
    return page.substr(at + box.size(), page.find('"', at + box.size()) - at - box.size());
  }

  platform::ScratchDirectory dir_;
  const std::string log_ = dir_.file("events.log");
  ConfigFile database_{dir_.file("accounts.cfg").c_str(), 1};
  ServerVariablesForTest server_;
};

std::string names(int first, int last) {
  std::string listed;
  for (int i = first; i <= last; ++i) listed += "line" + std::to_string(i) + " ";
  return listed;
}

TEST_F(LogViewerTest, PagesOfFiftyOneLinesThatOverlapByOne) {
  writeNumberedLog();
  struct Case {
    const char* record;
    const char* again;
    std::string listed;
    const char* box;
  };
  const Case cases[] = {
      {"", "", names(0, 50), "50"},
      {"50", "", names(50, 100), "100"},
      {"100", "", names(100, 119), "150"},
      {"100", "List from the beginning", names(0, 50), "50"},
      {"-20", "", names(0, 30), "30"},
      {"-51", "", "", "-1"},
  };
  for (const Case& c : cases) {
    FormFields form;
    form.insert("type", "-1");
    form.insert("record", c.record);
    form.insert("Again", c.again);
    const std::string page = view(form);
    EXPECT_EQ(listedNames(page), c.listed) << c.record;
    EXPECT_EQ(goToLine(page), c.box) << c.record;
  }
}

TEST_F(LogViewerTest, FirstVisitListsSuccessfulLogonsOnly) {
  writeLog(logLine("0", " 3/ 7/2001", "ann") + logLine("4", " 3/ 7/2001", "bob") +
           "\n" + "not an event line\n" + logLine("0", " 3/ 8/2001", "cy"));
  const std::string page = view(FormFields());
  // The empty line and the line whose first field holds no number read as event 0, as C's
  // conversion reads them: they are listed between ann and cy.
  std::vector<std::string> firstCells;
  for (std::size_t at = page.find(kRowStart); at != std::string::npos;
       at = page.find(kRowStart, at + 1)) {
    const std::size_t text = at + sizeof kRowStart - 1;
    firstCells.push_back(page.substr(text, page.find("</TD>", text) - text));
  }
  EXPECT_EQ(firstCells, (std::vector<std::string>{"0", "", "not an event line", "0"}));
  EXPECT_TRUE(listedNames(page).starts_with("ann ")) << listedNames(page);
  EXPECT_TRUE(listedNames(page).ends_with(" cy ")) << listedNames(page);
  EXPECT_NE(page.find("<OPTION SELECTED VALUE=\"0\">Authentication success</OPTION>"),
            std::string::npos);
  EXPECT_NE(page.find("NAME=\"date\" SIZE=\"20\" VALUE=\"\""), std::string::npos);
  EXPECT_EQ(goToLine(page), "50");
  EXPECT_EQ(page.find("Invalid date format"), std::string::npos);

  // The type list: ALL EVENTS first, never marked, then the table's order.
  const std::size_t all = page.find("<OPTION VALUE=\"-1\">ALL EVENTS</OPTION>\n"
                                    "<OPTION VALUE=\"2\">Filter disabled</OPTION>\n"
                                    "<OPTION VALUE=\"10\">Anonymous request</OPTION>\n");
  EXPECT_NE(all, std::string::npos);
  EXPECT_GT(page.find("<OPTION VALUE=\"9\">NT account not found</OPTION>"), all);
}

TEST_F(LogViewerTest, FiltersCountOnlyTheLinesTheyShow) {
  // Event ids read as C reads integers: 0x0C and 014 are 12 as well.
  writeLog(logLine("12", " 3/ 6/2001", "early") + logLine("12", " 3/ 7/2001", "a") +
           logLine("0", " 3/ 7/2001", "logon") + logLine("12", "12/31/2000", "older") +
           logLine("12", " 3/ 8/2001", "b") + logLine("12", "13/45/2001", "undated") +
           logLine("0x0C", " 4/ 1/2001", "c") + logLine("014", " 4/ 2/2001", "d"));
  struct Case {
    const char* type;
    const char* date;
    const char* record;
    const char* listed;
    bool invalid;
  };
  const Case cases[] = {
      {"12", "3/7/2001", "", "a b undated c d ", false},
      {"12", "3/7/2001", "1", "b undated c d ", false},
      {"12", "03/07/2001", "3", "c d ", false},
      {"12", "", "", "early a older b undated c d ", false},
      {"-1", "3/8/2001", "", "b undated c d ", false},
      {"12", "2001-03-07", "", "early a older b undated c d ", true},
      {"12", "2/30/2001", "", "early a older b undated c d ", true},
  };
  for (const Case& c : cases) {
    FormFields form;
    form.insert("type", c.type);
    form.insert("date", c.date);
    form.insert("record", c.record);
    const std::string page = view(form);
    EXPECT_EQ(listedNames(page), c.listed) << c.type << " " << c.date;
    EXPECT_EQ(page.find("</TABLE>\n<BR><i>Invalid date format !</I><BR>\n<HR>") !=
                  std::string::npos,
              c.invalid)
        << c.date;
  }
}

TEST_F(LogViewerTest, CellsHoldTheFieldsEscapedAndEmptyWhenMissing) {
  writeLog("3, <b>&\r\n" + logLine("0", " 3/ 7/2001", "o,brien"));
  FormFields form;
  form.insert("type", "-1");
  form.insert("date", "\"><script>");
  const std::string page = view(form);
  const std::string empty = "<TD NOWRAP BGCOLOR=\"#E0E0E0\"></TD>";
  EXPECT_NE(page.find(std::string(kRowStart) + "3</TD><TD NOWRAP BGCOLOR=\"#E0E0E0\"> &lt;b&gt;&amp;</TD>" +
                      empty + empty + empty + empty + empty + empty + "</TR>"),
            std::string::npos)
      << page;
  // A comma inside a parameter shifts the fields to the right; the last one is lost.
  EXPECT_NE(page.find("> o</TD><TD NOWRAP BGCOLOR=\"#E0E0E0\">brien</TD>"
                      "<TD NOWRAP BGCOLOR=\"#E0E0E0\"> Staff</TD>"
                      "<TD NOWRAP BGCOLOR=\"#E0E0E0\"> /private/index.htm</TD></TR>"),
            std::string::npos);
  EXPECT_NE(page.find("VALUE=\"&quot;&gt;&lt;script&gt;\""), std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST_F(LogViewerTest, NoLogFileWritesNothing) {
  EXPECT_EQ(view(FormFields()), "");  // the file does not exist
  database_.sectionByName("MAIN")->setString("log", "");
  writeNumberedLog();
  EXPECT_EQ(view(FormFields()), "");
}

TEST_F(LogViewerTest, ReadingStopsAfterThePagesLastLine) {
  writeNumberedLog();
  std::FILE* log = std::fopen(log_.c_str(), "r");
  ASSERT_NE(log, nullptr);
  {
    ResponseCapture page;
    EXPECT_EQ(writeLogRows(log, LogFilter(), 10), 61);
    EXPECT_EQ(listedNames(page.text()), names(10, 60));
  }
  char next[2048];
  ASSERT_NE(std::fgets(next, sizeof next, log), nullptr);
  EXPECT_EQ(std::string(next), logLine("12", " 3/ 7/2001", "line61"));
  std::fclose(log);
}

// After a rotation the page goes on from the current file into the uncompressed rotated one,
// numbering the lines that pass the filters on, in each file's order.
TEST_F(LogViewerTest, PagesGoOnIntoTheRotatedFile) {
  // Events 0 and 4 by turns, named cur0 to cur29 and old0 to old39.
  std::string current;
  std::string rotated;
  for (int i = 0; i < 40; ++i) {
    const char* event = i % 2 == 0 ? "0" : "4";
    if (i < 30) current += logLine(event, " 3/14/2001", "cur" + std::to_string(i));
    rotated += logLine(event, " 3/ 7/2001", "old" + std::to_string(i));
  }
  writeLog(current);
  platform::writeWholeFile(log_ + ".1", rotated);

  auto range = [](const char* name, int first, int last, int step) {
    std::string listed;
    for (int i = first; i <= last; i += step) listed += name + std::to_string(i) + " ";
    return listed;
  };
  struct Case {
    const char* type;
    const char* date;
    const char* record;
    std::string listed;
  };
  const Case cases[] = {
      {"-1", "", "", range("cur", 0, 29, 1) + range("old", 0, 20, 1)},
      {"-1", "", "50", range("old", 20, 39, 1)},
      {"-1", "", "100", ""},
      {"-1", "", "-40", range("cur", 0, 10, 1)},
      {"-1", "", "-45", range("cur", 0, 5, 1)},
      {"4", "", "10", range("cur", 21, 29, 2) + range("old", 1, 39, 2)},
      {"0", "", "15", range("old", 0, 38, 2)},
      {"0", "3/8/2001", "", range("cur", 0, 28, 2)},
  };
  for (const Case& c : cases) {
    FormFields form;
    form.insert("type", c.type);
    form.insert("date", c.date);
    form.insert("record", c.record);
    EXPECT_EQ(listedNames(view(form)), c.listed) << c.type << " " << c.record;
  }

  // A full page from the current file leaves the rotated one unread.
  writeNumberedLog();
  FormFields form;
  form.insert("type", "-1");
  EXPECT_EQ(listedNames(view(form)), names(0, 50));
  // Right after a rotation there may be no current file yet.
  std::filesystem::remove(log_);
  EXPECT_EQ(listedNames(view(form)), range("old", 0, 39, 1));
  std::filesystem::remove(log_ + ".1");
  EXPECT_EQ(view(form), "");
}

TEST_F(LogViewerTest, LineOfItsOwnNamesTheRotatedFilesThePageCannotRead) {
  writeLog(logLine("0", " 3/ 7/2001", "ann"));
  struct Case {
    std::vector<std::string> files;
    const char* note;
  };
  const Case cases[] = {
      {{}, nullptr},
      {{"events.log.1", "events.log.old", "events.logx.2.gz", "other.log.2.gz"}, nullptr},
      {{"events.log.2.gz"}, "<BR><i>Older lines are in the rotated file events.log.2.gz beside "
                            "the log.</i><BR>\n<HR>"},
      {{"events.log.10.gz", "events.log.3.gz", "events.log.1.gz", "events.log.2.gz"},
       "<BR><i>Older lines are in the rotated files events.log.1.gz to events.log.10.gz beside "
       "the log.</i><BR>\n<HR>"},
  };
  for (const Case& c : cases) {
    platform::ScratchDirectory dir;
    const std::string log = dir.file("events.log");
    platform::writeWholeFile(log, logLine("0", " 3/ 7/2001", "ann"));
    for (const std::string& name : c.files) platform::writeWholeFile(dir.file(name), "");
    database_.sectionByName("MAIN")->setString("log", log.c_str());
    const std::string page = view(FormFields());
    EXPECT_EQ(listedNames(page), "ann ");
    if (c.note == nullptr) {
      EXPECT_EQ(page.find("Older lines"), std::string::npos) << page;
    } else {
      EXPECT_NE(page.find(std::string("</TABLE>\n") + c.note), std::string::npos) << page;
    }
  }
}

}  // namespace
}  // namespace gatekeeper
