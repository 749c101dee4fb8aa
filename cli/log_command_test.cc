// gatekeeper log: the rotated file before the current one, the filters, the plain and JSON
// forms, the failures; and --follow through appends, unfinished lines, a rotation and a
// truncation, driven round by round (no waiting on time).
#include "cli/log_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "platform/scratch_directory.h"

namespace gatekeeper::cli {
namespace {

std::string logLine(int event, const char* date, const std::string& name) {
  return std::to_string(event) + ", 3:45 PM, " + date + ", Some event (UserName UserDB), " +
         name + ", Staff, /private/index.htm, intranet\n";
}

void append(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "ab");
  ASSERT_NE(file, nullptr);
  std::fputs(text.c_str(), file);
  std::fclose(file);
}

// The first parameters (names) of the lines of plain output, each followed by a blank.
std::string namesIn(const std::string& output) {
  std::string names;
  for (std::size_t at = 0; at < output.size();) {
    const std::size_t end = output.find('\n', at);
    const std::string line = output.substr(at, end - at);
    std::size_t field = 0;
    for (int i = 0; i < 4; ++i) field = line.find(", ", field) + 2;
    names += line.substr(field, line.find(',', field) - field) + " ";
    at = end + 1;
  }
  return names;
}

class LogCommandTest : public ::testing::Test, public CliTest {
 protected:
  LogCommandTest() {
    ConfigFile& database = saved();
    database.sectionByName("MAIN")->setString("log", log_.c_str());
    EXPECT_EQ(database.save(), 1);
  }

  const std::string log_ = std::filesystem::path(databasePath()).replace_filename("events.log")
                               .string();
};

TEST_F(LogCommandTest, RotatedLinesFirstThenTheFiltersOfTheViewer) {
  platform::writeWholeFile(log_ + ".1", logLine(12, " 3/ 6/2001", "r6") +
                                            logLine(0, " 3/ 7/2001", "r7") +
                                            logLine(12, " 3/ 8/2001", "r8"));
  platform::writeWholeFile(log_, logLine(0, " 3/ 6/2001", "c6") +
                                     logLine(12, " 3/ 9/2001", "c9") +
                                     "12, 3:45 PM, someday, Some event, cx, Staff, /, s\n");
  const struct {
    std::vector<std::string> options;
    std::string names;
  } cases[] = {
      {{}, "r6 r7 r8 c6 c9 cx "},
      {{"--type", "12"}, "r6 r8 c9 cx "},
      {{"--type=0"}, "r7 c6 "},
      {{"--since", "3/7/2001"}, "r7 r8 c9 cx "},
      {{"--type", "12", "--since", "03/08/2001"}, "r8 c9 cx "},
      {{"--type", "5"}, ""},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"log"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const RunOutput result = run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(namesIn(result.out), c.names) << c.options.size();
  }
  EXPECT_EQ(run({"log"}).out.find(logLine(12, " 3/ 6/2001", "r6")), 0u);
}

TEST_F(LogCommandTest, JsonColumnsAndControlCharacters) {
  platform::writeWholeFile(log_, "0, 3:45 PM,  3/ 7/2001, OK, jo,hn, Staff\r\nx\x1b[2J\n");
  RunOutput result = run({"log", "--json"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "[\n  {\"event\": 0, \"hour\": \"3:45 PM\", \"date\": \" 3/ 7/2001\", "
            "\"description\": \"OK\", \"parameter1\": \"jo\", \"parameter2\": \"hn\", "
            "\"resource\": \"Staff\", \"site\": \"\", "
            "\"line\": \"0, 3:45 PM,  3/ 7/2001, OK, jo,hn, Staff\"},\n"
            "  {\"event\": null, \"hour\": \"\", \"date\": \"\", \"description\": \"\", "
            "\"parameter1\": \"\", \"parameter2\": \"\", \"resource\": \"\", \"site\": \"\", "
            "\"line\": \"x\\u001b[2J\"}\n]\n");
  result = run({"log"});
  EXPECT_EQ(result.out, "0, 3:45 PM,  3/ 7/2001, OK, jo,hn, Staff\nx\\x1b[2J\n");
  EXPECT_EQ(run({"log", "--json", "--type", "7"}).out, "[]\n");
}

TEST_F(LogCommandTest, RefusalsAndUsage) {
  // Neither the log nor its rotation exists.
  RunOutput result = run({"log"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.find("gatekeeper: cannot read " + log_ + ": "), 0u) << result.err;

  // Only the rotation: right after logrotate, before the filter's next line.
  platform::writeWholeFile(log_ + ".1", logLine(0, " 3/ 7/2001", "r"));
  platform::writeWholeFile(log_ + ".2.gz", "");
  result = run({"log"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(namesIn(result.out), "r ");
  EXPECT_EQ(result.err,
            "gatekeeper: older lines are in events.log.2.gz beside the log, which is not read\n");

  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"log", "--type", "x"}, {"log", "--type", "-1"},
        {"log", "--since", "2001-03-07"}, {"log", "--since"}, {"log", "extra"}}) {
    result = run(arguments);
    EXPECT_EQ(result.status, 2) << arguments.back();
    EXPECT_EQ(result.out, "");
  }

  ConfigFile& database = saved();
  database.sectionByName("MAIN")->setString("log", "");
  ASSERT_EQ(database.save(), 1);
  result = run({"log"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "gatekeeper: " + databasePath() + " names no event log (MAIN/log)\n");
}

// --follow round by round: each step changes the log, then the next round's output is checked.
TEST(LogFollowTest, AppendsUnfinishedLinesRotationAndTruncation) {
  platform::ScratchDirectory dir;
  const std::string log = dir.file("events.log");
  std::string written;
  const auto write = [&](const std::string& line) { written += logLineText(line, false); };
  const std::string a = logLine(0, " 3/ 7/2001", "a");
  const std::string b = logLine(12, " 3/ 7/2001", "b");
  const std::string c = logLine(0, " 3/ 8/2001", "c");
  const std::string d = logLine(0, " 3/ 9/2001", "d");
  const std::string e = logLine(0, " 3/ 9/2001", "e");
  const struct {
    const char* what;
    std::function<void()> change;
    std::string expected;  // what the round after the change writes
  } steps[] = {
      {"the log appears", [&] { append(log, a + b); }, a},
      {"nothing new", [] {}, ""},
      {"half a line", [&] { append(log, c.substr(0, 10)); }, ""},
      {"the rest of it", [&] { append(log, c.substr(10)); }, c},
      {"rotated, no new file yet",
       [&] {
         std::filesystem::rename(log, log + ".1");
         append(log + ".1", d);
       },
       d},
      {"the new file",
       [&] {
         append(log, e);
         append(log + ".1", e);  // a late writer of the old file
       },
       e + e},
      {"truncated", [&] { platform::writeWholeFile(log, "0, t\n"); }, "0, t\n"},
  };
  accountdb::LogFilter filter;
  filter.type = 0;
  std::size_t step = 0;
  std::vector<std::string> failures;
  followLog(log, filter, write, [&] {
    if (step > 0) {
      if (written != steps[step - 1].expected) {
        failures.push_back(std::string(steps[step - 1].what) + ": " + written);
      }
    } else if (!written.empty()) {
      failures.push_back("before the log existed: " + written);
    }
    written.clear();
    if (step == std::size(steps)) return false;
    steps[step++].change();
    return true;
  });
  EXPECT_EQ(step, std::size(steps));
  EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
}

}  // namespace
}  // namespace gatekeeper::cli
