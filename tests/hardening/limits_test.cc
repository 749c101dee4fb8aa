// Hostile sizes: a request with 10,000 form fields, a 10 MB request body, a 10 MB line in the
// account database and 10,000 nested sections. Each is read with the expected result and with
// memory bounded by a small multiple of its input; the time each takes is printed (the
// benchmarks, not the tests, judge speed).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "configstore/config_file.h"
#include "platform/scratch_directory.h"
#include "tests/hardening/allocation_meter.h"
#include "websupport/request_reader.h"

namespace gatekeeper {
namespace {

constexpr std::size_t kMegabyte = 1024 * 1024;

// Runs work, reports its time and the most memory it held at once, and returns the latter.
template <typename Work>
std::size_t measured(const char* what, Work work) {
  AllocationMeter meter;
  const auto start = std::chrono::steady_clock::now();
  work();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  std::printf("[ figures  ] %s: %lld ms, peak %.1f MB\n", what,
              static_cast<long long>(elapsed.count()),
              static_cast<double>(meter.peakAbove()) / kMegabyte);
  return meter.peakAbove();
}

class LimitsTest : public ::testing::Test {
 protected:
  // Reads body as a request with that CONTENT_LENGTH.
  RequestFields parseBody(const std::string& body) {
    const std::string file = dir_.file("body");
    platform::writeWholeFile(file, body);
    RawRequest raw;
    raw.contentLength = std::to_string(body.size());
    raw.body = std::fopen(file.c_str(), "rb");
    EXPECT_NE(raw.body, nullptr);
    RequestFields fields = parseRequest(raw);
    std::fclose(raw.body);
    return fields;
  }

  platform::ScratchDirectory dir_;
};

TEST_F(LimitsTest, RequestWithTenThousandFormFields) {
  std::string body;
  for (int i = 0; i < 10000; ++i) {
    body += "Field" + std::to_string(i) + "=value" + std::to_string(i) + "&";
  }
  body += "field9999=again";
  RequestFields fields;
  const std::size_t peak = measured("10,000 form fields", [&] { fields = parseBody(body); });
  EXPECT_EQ(fields.form.count(), 10000);
  EXPECT_EQ(fields.form.field("FIELD0").text(), "value0");
  EXPECT_EQ(fields.form.field("field9999").count(), 2);
  EXPECT_EQ(fields.form.field("field9999").value(2).text(), "again");
  EXPECT_LT(peak, 8 * kMegabyte);
}

TEST_F(LimitsTest, TenMegabyteRequestBody) {
  std::string body = "Action=x&Big=";
  body.append(10 * kMegabyte, 'a');
  body.replace(body.size() / 2, 3, "%41");
  body += "&Last=1";
  RequestFields fields;
  const std::size_t peak = measured("10 MB request body", [&] { fields = parseBody(body); });
  EXPECT_EQ(fields.form.count(), 3);
  EXPECT_EQ(fields.form.field("Big").text().size(), 10 * kMegabyte - 2);
  EXPECT_EQ(fields.form.field("Last").text(), "1");
  EXPECT_LT(peak, 5 * body.size());
}

// A database holding one section, a 10 MB line in it, and a user after that line.
TEST_F(LimitsTest, TenMegabyteDatabaseLine) {
  const std::string path = dir_.file("accounts.cfg");
  std::string text = "{ ACCOUNTS:\n    { Staff:\n        (string)Long=";
  text.append(10 * kMegabyte, 'x');
  text += "\n        { john:\n            (string)Password=secret\n        } john;\n"
          "    } Staff;\n} ACCOUNTS;\n";
  platform::writeWholeFile(path, text);
  ConfigFile database(path.c_str(), 1);
  int loaded = 0;
  const std::size_t peak = measured("10 MB database line", [&] { loaded = database.load(); });
  ASSERT_EQ(loaded, 1);
  ConfigSection* staff = database.sectionByName("ACCOUNTS")->sectionByName("Staff");
  EXPECT_EQ(staff->sectionByName("john")->valueByName("Password")->getString(),
            std::string("secret"));
  // The line is read in pieces of the line buffer's size; the value is its first piece.
  EXPECT_LE(std::string(staff->valueByName("Long")->getString()).size(), 4095u);
  EXPECT_LT(peak, 3 * text.size());
}

TEST_F(LimitsTest, TenThousandNestedSections) {
  constexpr int kDepth = 10000;
  const std::string path = dir_.file("deep.cfg");
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "{ s" + std::to_string(i) + ":\n";
  text += "(string)bottom=reached\n";
  for (int i = kDepth - 1; i >= 0; --i) text += "} s" + std::to_string(i) + ";\n";
  platform::writeWholeFile(path, text);

  std::size_t peak = 0;
  {
    // Loaded and destroyed, not saved: the writer indents each level four blanks deeper.
    ConfigFile database(path.c_str(), 1);
    peak = measured("10,000 nesting levels, load", [&] { ASSERT_EQ(database.load(), 1); });
    const ConfigSection* section = &database;
    int depth = 0;
    while (section->sectionByIndex(1)->isPlaceholder() == false) {
      section = section->sectionByIndex(1);
      ++depth;
    }
    // Levels beyond the loader's bound are read into the deepest one it allows: nothing is
    // lost, and neither loading nor destroying recurses 10,000 levels deep.
    EXPECT_GT(depth, 100);
    EXPECT_LE(depth, 1000);
    EXPECT_EQ(std::string(section->valueByName("bottom")->getString()), "reached");
  }
  EXPECT_LT(peak, 64 * kMegabyte);
}

}  // namespace
}  // namespace gatekeeper
