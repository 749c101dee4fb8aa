// One event line: the bytes the filter writes, the local time and date it writes them with, and
// how a line splits into the columns that the log viewer and `gatekeeper log` show.
#include "accountdb/event_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace gatekeeper::accountdb {
namespace {

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  for (std::string_view field : splitLogLine(line)) fields.emplace_back(field);
  return fields;
}

TEST(EventLineTest, SplitsAtCommasAndLineEndsKeepingBlanks) {
  const struct {
    std::string line;
    std::vector<std::string> fields;
  } cases[] = {
      {"0, 3:45 PM,  3/ 7/2001, OK, john, Staff, /x, intranet\n",
       {"0", " 3:45 PM", "  3/ 7/2001", " OK", " john", " Staff", " /x", " intranet", ""}},
      {"12, 9:00,  1/ 2/2003, Site, a,b, , /p, s\r\n",
       {"12", " 9:00", "  1/ 2/2003", " Site", " a", "b", " ", " /p", " s", "", ""}},
      {"", {""}},
      {",,", {"", "", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(fieldsOf(c.line), c.fields) << c.line;
}

// What the filter writes is what the reader splits: the eight columns in order, a request's
// comma kept inside its column, and the line end of the file as empty fields after them.
TEST(EventLineTest, WrittenLineSplitsIntoTheViewersColumns) {
  const std::string line =
      formatEventLine(13, "3:45 PM,  3/ 7/2001", "User data base for this site not found "
                      "(Binding UserDB)", "evil, host|81", "Staff", "/a,b", "intra,net");
  const std::vector<std::string> columns = {
      "13",         " 3:45 PM",     "  3/ 7/2001",
      " User data base for this site not found (Binding UserDB)",
      " evil%2C host|81", " Staff", " /a%2Cb",     " intra%2Cnet"};
  EXPECT_EQ(fieldsOf(line), columns);
  ASSERT_EQ(static_cast<int>(columns.size()), kLogColumns);
  EXPECT_EQ(fieldsOf(line + "\r\n").size(), columns.size() + 2);
  EXPECT_EQ(fieldsOf(line)[kLogEventIdField], "13");
  EXPECT_EQ(fieldsOf(line)[kLogDateField], "  3/ 7/2001");
}

TEST(EventLineTest, LineShape) {
  EXPECT_EQ(formatEventLine(0, "3:45 PM,  3/ 7/2001", "OK Authenticated (UserName UserDB)", "john",
                            "Staff", "/private/index.htm", "intranet"),
            "0, 3:45 PM,  3/ 7/2001, OK Authenticated (UserName UserDB), john, Staff, "
            "/private/index.htm, intranet");
  EXPECT_EQ(formatEventLine(2, "t, d", "Filter disabled", nullptr, nullptr, "", ""),
            "2, t, d, Filter disabled, , , , ");
}

// The fields that the request chooses cannot add a field or a line: a comma, a control
// character and the percent sign are written as %XX, everything else as it is.
TEST(EventLineTest, RequestFieldsEncodeCommasControlsAndPercent) {
  struct Case {
    std::string sent;
    const char* written;
  };
  const Case cases[] = {
      {"john", "john"},
      {"a, b, c, d", "a%2C b%2C c%2C d"},
      {"50%", "50%25"},
      {"%2C", "%252C"},
      {"x\r\ny", "x%0D%0Ay"},
      {"\x01\t\x1f\x7f ~", "%01%09%1F%7F ~"},
      {"J\xc3\xbcrgen;<&>\"'", "J\xc3\xbcrgen;<&>\"'"},
  };
  for (const Case& c : cases) {
    const std::string line =
        formatEventLine(0, "t, d", "OK Authenticated (UserName UserDB)", c.sent.c_str(), "Staff",
                        c.sent, c.sent);
    const std::string w = c.written;
    EXPECT_EQ(line, "0, t, d, OK Authenticated (UserName UserDB), " + w + ", Staff, " + w +
                        ", " + w)
        << c.sent;
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 7) << line;
  }
}

// Parameter 1 is encoded where the request chose it (the user name as sent, the binding key),
// written as it is where it comes from the database; parameter 2 always comes from it.
TEST(EventLineTest, ParameterOneEncodedOnlyWhereTheRequestChoseIt) {
  const std::int32_t fromRequest[] = {0, 3, 4, 6, 7, 8, 12, 13, 14, 15, 16};
  const std::int32_t fromDatabase[] = {2, 5, 9, 10, 11};
  for (const std::int32_t id : fromRequest) {
    EXPECT_TRUE(formatEventLine(id, "t, d", "D", "a,b", "c,d", "", "")
                    .ends_with(", D, a%2Cb, c,d, , "))
        << id;
  }
  for (const std::int32_t id : fromDatabase) {
    EXPECT_TRUE(formatEventLine(id, "t, d", "D", "a,b", "c,d", "", "")
                    .ends_with(", D, a,b, c,d, , "))
        << id;
  }
}

// The time and date of the instant given, in local time (the tests run in New York's zone).
TEST(EventLineTest, LocalTimeOfTheInstant) {
  const platform::FileTime hour = 3600 * platform::kTicksPerSecond;
  const platform::FileTime minute = 60 * platform::kTicksPerSecond;
  struct Case {
    platform::FileTime instant;
    const char* text;
  };
  const Case cases[] = {
      {platform::utcMidnight(2001, 3, 2) + 20 * hour + 45 * minute + 59 * platform::kTicksPerSecond,
       "3:45 PM,  3/ 2/2001"},
      {platform::utcMidnight(2001, 3, 2) + 20 * hour + 46 * minute, "3:46 PM,  3/ 2/2001"},
      {platform::utcMidnight(2001, 12, 31) + 4 * hour + 59 * minute, "11:59 PM, 12/30/2001"},
      {platform::utcMidnight(2001, 7, 4) + 4 * hour + 5 * minute, "12:05 AM,  7/ 4/2001"},
  };
  for (const Case& c : cases) {
    // Twice: the second comes from the text kept for the minute.
    EXPECT_EQ(localTimeAndDate(c.instant), c.text);
    EXPECT_EQ(localTimeAndDate(c.instant), c.text);
  }
}

}  // namespace
}  // namespace gatekeeper::accountdb
