// Reading the event log: how a line splits into fields, which lines the type and date filters
// let through, lines cut by the read length or by a writer that has not finished them, and the
// rotated files found beside the log.
#include "accountdb/event_log_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/scratch_directory.h"

namespace gatekeeper::accountdb {
namespace {

TEST(EventLogReaderTest, EventIdReadsAsACIntegerLiteral) {
  const struct {
    const char* field;
    bool reads;
    long long id;
  } cases[] = {
      {"12", true, 12}, {" 7", true, 7}, {"0x0c", true, 12}, {"014", true, 12},
      {"-1", true, -1}, {"3abc", true, 3}, {"", false, 0},  {"abc", false, 0},
  };
  for (const auto& c : cases) {
    long long id = -99;
    EXPECT_EQ(readLogEventId(c.field, &id), c.reads) << c.field;
    EXPECT_EQ(id, c.id) << c.field;  // 0 where no number reads, as C's conversion gives
  }
}

TEST(EventLogReaderTest, TypeAndDateFilters) {
  const std::string march6 = "12, 3:45 PM,  3/ 6/2001, S, a, b, /p, s\n";
  const std::string march7 = "12, 3:45 PM,  3/ 7/2001, S, a, b, /p, s\n";
  const std::string success = "0, 3:45 PM,  3/ 7/2001, OK, a, b, /p, s\n";
  const std::string badDate = "12, 3:45 PM, someday, S, a, b, /p, s\n";
  const std::string noDate = "12\n";
  const std::string noId = "x, 3:45 PM,  3/ 7/2001, S\n";
  // The rest of a line longer than one read arrives as a line of its own.
  const std::string piece = "xxxxxxxx, /p, s\n";
  const std::string empty = "\n";
  const platform::FileTime seventh = logDay("3/7/2001");
  ASSERT_NE(seventh, platform::kNotADate);
  EXPECT_EQ(logDay(" 3/ 7/2001"), seventh);
  EXPECT_EQ(logDay("2001-03-07"), platform::kNotADate);
  EXPECT_EQ(logDay("13/1/2001"), platform::kNotADate);

  const struct {
    int type;
    platform::FileTime since;
    const std::string* line;
    bool passes;
  } cases[] = {
      {-1, platform::kNotADate, &noId, true},
      {12, platform::kNotADate, &march6, true},
      {12, platform::kNotADate, &success, false},
      {0, platform::kNotADate, &success, true},
      // A first field that holds no number is event 0: listed with the successful logons.
      {0, platform::kNotADate, &noId, true},
      {0, platform::kNotADate, &piece, true},
      {0, platform::kNotADate, &empty, true},
      {-1, platform::kNotADate, &piece, true},
      {12, platform::kNotADate, &noId, false},
      {12, platform::kNotADate, &piece, false},
      {0, seventh, &piece, true},
      {-1, seventh, &march6, false},
      {-1, seventh, &march7, true},
      {-1, seventh, &badDate, true},
      {-1, seventh, &noDate, true},
      {12, seventh, &march6, false},
      {0, seventh, &march7, false},
  };
  for (const auto& c : cases) {
    LogFilter filter;
    filter.type = c.type;
    filter.since = c.since;
    EXPECT_EQ(passesLogFilter(splitLogLine(*c.line), filter), c.passes)
        << "type " << c.type << ": " << *c.line;
  }
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

TEST(EventLogReaderTest, LongLinesAreReadInPiecesAndUnfinishedLinesWait) {
  platform::ScratchDirectory dir;
  const std::string path = dir.file("events.log");
  const std::string longLine = std::string(kLogReadLength + 10, 'x') + "\n";
  platform::writeWholeFile(path, "first\n" + longLine + "unfinish");
  std::unique_ptr<std::FILE, FileCloser> log(std::fopen(path.c_str(), "r"));
  ASSERT_TRUE(log);
  std::string line;
  ASSERT_TRUE(readLogLine(log.get(), &line, true));
  EXPECT_EQ(line, "first\n");
  ASSERT_TRUE(readLogLine(log.get(), &line, true));
  EXPECT_EQ(line, std::string(kLogReadLength, 'x'));
  ASSERT_TRUE(readLogLine(log.get(), &line, true));
  EXPECT_EQ(line, std::string(10, 'x') + "\n");
  // The writer has not finished the last line: it is left for a later read...
  EXPECT_FALSE(readLogLine(log.get(), &line, true));
  EXPECT_FALSE(readLogLine(log.get(), &line, true));
  {
    std::unique_ptr<std::FILE, FileCloser> writer(std::fopen(path.c_str(), "a"));
    ASSERT_TRUE(writer);
    std::fputs("ed\nnext\n", writer.get());
  }
  // ...which finds it whole once it is.
  ASSERT_TRUE(readLogLine(log.get(), &line, true));
  EXPECT_EQ(line, "unfinished\n");
  ASSERT_TRUE(readLogLine(log.get(), &line, true));
  EXPECT_EQ(line, "next\n");
  EXPECT_FALSE(readLogLine(log.get(), &line, true));

  // Read to its end as the viewer reads it, the unfinished last line is a line.
  platform::writeWholeFile(path, "a\nlast");
  log.reset(std::fopen(path.c_str(), "r"));
  ASSERT_TRUE(readLogLine(log.get(), &line));
  ASSERT_TRUE(readLogLine(log.get(), &line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(readLogLine(log.get(), &line));
}

TEST(EventLogReaderTest, OlderRotationsInOrderOfTheirNumbers) {
  platform::ScratchDirectory dir;
  for (const char* name : {"events.log", "events.log.1", "events.log.10.gz", "events.log.2.gz",
                           "events.log.3", "events.log.old", "events.logx.2.gz", "other.log.2"}) {
    platform::writeWholeFile(dir.file(name), "");
  }
  const std::vector<std::string> expected = {"events.log.2.gz", "events.log.3",
                                             "events.log.10.gz"};
  EXPECT_EQ(olderRotatedLogs(dir.file("events.log")), expected);
  EXPECT_EQ(rotatedLogPath(dir.file("events.log")), dir.file("events.log.1"));
  EXPECT_TRUE(olderRotatedLogs(dir.file("missing/events.log")).empty());
}

}  // namespace
}  // namespace gatekeeper::accountdb
