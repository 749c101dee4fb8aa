#include "websupport/request_reader.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace gatekeeper {
namespace {

// A request whose body stream holds exactly the given bytes.
class RequestReaderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (raw_.body != nullptr) std::fclose(raw_.body);
  }

  RequestFields parse(std::optional<std::string> contentLength, const std::string& body,
                      std::optional<std::string> query = std::nullopt,
                      std::optional<std::string> cookie = std::nullopt) {
    raw_.body = std::tmpfile();
    EXPECT_NE(raw_.body, nullptr);
    std::fwrite(body.data(), 1, body.size(), raw_.body);
    std::rewind(raw_.body);
    raw_.contentLength = std::move(contentLength);
    raw_.queryString = std::move(query);
    raw_.cookie = std::move(cookie);
    return parseRequest(raw_);
  }

  RawRequest raw_;
};

// A form is a few short fields: a longer body is refused before any of it is read.
TEST_F(RequestReaderTest, BodyLongerThanTheLimitIsRefused) {
  const struct {
    const char* contentLength;
    bool tooLong;
  } cases[] = {
      {nullptr, false}, {"65536", false}, {"65537", true}, {"67108864", true},
      {"99999999999999999999", true}, {"-1", false}, {"x", false},
  };
  for (const auto& c : cases) {
    RawRequest raw;
    if (c.contentLength != nullptr) raw.contentLength = c.contentLength;
    EXPECT_EQ(requestBodyTooLong(raw), c.tooLong) << (c.contentLength ? c.contentLength : "-");
  }
  RawRequest limit;
  limit.contentLength = std::to_string(kLongestRequestBody + 1);
  EXPECT_TRUE(requestBodyTooLong(limit));
  limit.contentLength = std::to_string(kLongestRequestBody);
  EXPECT_FALSE(requestBodyTooLong(limit));
}

TEST_F(RequestReaderTest, BodyIsReadOnlyWithANumericPositiveLength) {
  const std::string body = "a=1";
  EXPECT_EQ(parse(std::nullopt, body).form.count(), 0);
  EXPECT_EQ(parse("0", body).form.count(), 0);
  EXPECT_EQ(parse("abc", body).form.count(), 0);
  EXPECT_EQ(parse("-5", body).form.count(), 0);
  EXPECT_EQ(parse(" 3", body).form.field("a").text(), "1");
}

TEST_F(RequestReaderTest, BodyStopsAtContentLengthOrAtTheEndOfTheStream) {
  RequestFields cut = parse("4", "a=123&b=4");
  EXPECT_EQ(cut.form.field("a").text(), "12");
  EXPECT_EQ(cut.form.count(), 1);
  // A length larger than the body: everything sent is read and nothing more is awaited.
  RequestFields truncated = parse("100000", "a=1&b=2");
  EXPECT_EQ(truncated.form.field("b").text(), "2");
  EXPECT_EQ(truncated.form.count(), 2);
}

TEST_F(RequestReaderTest, SourcesStaySeparate) {
  const std::string body = "Action=x";
  RequestFields fields = parse("8", body, "Action=MainScreen&PostAction=AddUser", "Action=c");
  EXPECT_EQ(fields.query.field("action").text(), "MainScreen");
  EXPECT_EQ(fields.query.field("PostAction").text(), "AddUser");
  EXPECT_EQ(fields.form.field("Action").text(), "x");
  EXPECT_EQ(fields.form.count(), 1);
  EXPECT_EQ(fields.cookies.field("Action").text(), "c");
}

TEST_F(RequestReaderTest, SegmentsAndPairs) {
  RequestFields fields =
      parse(std::nullopt, "", "=5&b=&&flag&x=a%3Db&t=one\ttwo&n=1\r\n&%4E%61me=J%F6rg+M&");
  const FormFields& q = fields.query;
  ASSERT_EQ(q.count(), 6);  // "=5" and the empty segment are dropped
  EXPECT_EQ(q.at(1).name(), "b");
  EXPECT_EQ(q.field("b").count(), 1);
  EXPECT_EQ(q.field("b").text(), "");
  EXPECT_EQ(q.field("flag").count(), 1);
  EXPECT_EQ(q.field("flag").text(), "");
  EXPECT_EQ(q.field("x").text(), "a=b");  // split before decoding
  EXPECT_EQ(q.field("t").text(), "one");  // a raw tab ends the value
  EXPECT_EQ(q.field("n").text(), "1");
  EXPECT_EQ(q.field("name").text(), "J\xF6rg M");  // names are decoded too
}

TEST_F(RequestReaderTest, CookiesSplitAtSemicolonsAndLoseLeadingBlanks) {
  RequestFields fields = parse(std::nullopt, "", std::nullopt, "a=1; b=2;\t c= 3 ;%20d=4");
  const FormFields& c = fields.cookies;
  ASSERT_EQ(c.count(), 4);
  EXPECT_EQ(c.field("a").text(), "1");
  EXPECT_EQ(c.field("b").text(), "2");
  EXPECT_EQ(c.field("c").text(), " 3 ");  // values keep their blanks
  EXPECT_EQ(c.field("d").text(), "4");    // trimmed after decoding
}

}  // namespace
}  // namespace gatekeeper
