#include "filter_response.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int status(const char* text, std::string* reason = nullptr) {
  const char* phrase = reinterpret_cast<const char*>(1);
  int result = parseFilterStatus(text, &phrase);
  if (reason != nullptr) *reason = phrase != nullptr ? phrase : "(none)";
  return result;
}

TEST(FilterStatus, TakesRefusalStatusesWithTheirReasonPhrase) {
  std::string reason;
  EXPECT_EQ(401, status("401 Access Denied", &reason));
  EXPECT_EQ("Access Denied", reason);
  EXPECT_EQ(404, status("404", &reason));
  EXPECT_EQ("(none)", reason);
  EXPECT_EQ(599, status("599 ", &reason));
  EXPECT_EQ("(none)", reason);
  EXPECT_EQ(400, status("400 Bad", &reason));
}

TEST(FilterStatus, RefusesSuccessRedirectAndMalformedStatusTexts) {
  for (const char* text : {"200 OK", "302 Found", "399 Low", "600 High", "999 Nine", "40",
                           "4011 Long", "401Denied", "401\tDenied", "-401 Minus", " 401 Space",
                           "abc", "", "40a Denied"}) {
    EXPECT_EQ(0, status(text)) << text;
  }
  EXPECT_EQ(0, status(nullptr));
}

TEST(FilterStatus, DropsAReasonPhraseThatCouldInjectOrFloodTheStatusLine) {
  std::string reason;
  EXPECT_EQ(401, status("401 Denied\r\nSet-Cookie: a=b", &reason));
  EXPECT_EQ("(none)", reason);
  EXPECT_EQ(401, status("401 Denied\x01", &reason));
  EXPECT_EQ("(none)", reason);
  EXPECT_EQ(401, status("401 D\xe9nied", &reason));
  EXPECT_EQ("(none)", reason);
  std::string longest = "401 " + std::string(FILTER_REASON_MAX, 'r');
  EXPECT_EQ(401, status(longest.c_str(), &reason));
  EXPECT_EQ(std::string(FILTER_REASON_MAX, 'r'), reason);
  std::string tooLong = longest + "r";
  EXPECT_EQ(401, status(tooLong.c_str(), &reason));
  EXPECT_EQ("(none)", reason);
}

std::vector<std::string> headers(const char* text, int* result) {
  std::vector<std::string> lines;
  *result = forEachFilterHeader(
      text,
      [](void* context, const FilterHeader* header) {
        static_cast<std::vector<std::string>*>(context)->push_back(
            std::string(header->name, header->nameLength) + "=" +
            std::string(header->value, header->valueLength));
      },
      &lines);
  return lines;
}

TEST(FilterHeaders, PassesWellFormedLinesInOrderWithTheirValuesTrimmed) {
  int result = 0;
  auto lines = headers("WWW-Authenticate: Basic realm=\"x\"\r\nX-One:1\n\r\nX-Two: \ta\tb \t", &result);
  EXPECT_EQ(1, result);
  EXPECT_EQ((std::vector<std::string>{"WWW-Authenticate=Basic realm=\"x\"", "X-One=1", "X-Two=a\tb"}),
            lines);
  EXPECT_TRUE(headers("", &result).empty());
  EXPECT_EQ(1, result);
  EXPECT_TRUE(headers(nullptr, &result).empty());
  EXPECT_EQ(1, result);
  EXPECT_EQ(1, forEachFilterHeader("X-Check: only", nullptr, nullptr));
}

TEST(FilterHeaders, RefusesTheWholeTextWhenAnyLineIsBad) {
  for (const char* text : {
           "X-Good: 1\r\nBad Name: 2\r\n",              // blank in the name
           "X-Good: 1\r\nNoColon\r\n",                 // not a header line
           "X-Good: 1\r\n: empty name\r\n",            // empty name
           "X-Good: 1\r\n folded continuation\r\n",    // obsolete line folding
           "X-Split: a\rSet-Cookie: injected\r\n",     // a lone CR inside a value
           "X-Control: a\x01z\r\n",                    // control character
           "X-Latin: caf\xe9\r\n",                     // not ASCII
           "Content-Length: 0\r\n",                    // framing belongs to the server
           "transfer-encoding: chunked\r\n",           // ... in any letter case
           "Connection: close\r\n",
           "X-Good: 1\r\nUpgrade: h2c\r\n",
       }) {
    int result = 1;
    auto lines = headers(text, &result);
    EXPECT_EQ(0, result) << text;
    EXPECT_TRUE(lines.empty()) << text;
  }
}

TEST(FilterHeaders, BoundsNameAndValueLength) {
  int result = 0;
  std::string name(FILTER_HEADER_NAME_MAX, 'N');
  std::string value(FILTER_HEADER_VALUE_MAX, 'v');
  headers((name + ": " + value).c_str(), &result);
  EXPECT_EQ(1, result);
  headers((name + "N: v").c_str(), &result);
  EXPECT_EQ(0, result);
  headers(("X: " + value + "v").c_str(), &result);
  EXPECT_EQ(0, result);
}

TEST(FailedRequestStatus, RequestedStatusWinsElseTheLastErrorDecides) {
  EXPECT_EQ(401, statusForFailedRequest(401, ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(403, statusForFailedRequest(403, 0));
  EXPECT_EQ(404, statusForFailedRequest(0, ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(401, statusForFailedRequest(0, ERROR_ACCESS_DENIED));
  EXPECT_EQ(500, statusForFailedRequest(0, ERROR_SUCCESS));
  EXPECT_EQ(500, statusForFailedRequest(0, 1610));
  EXPECT_EQ(500, statusForFailedRequest(0, ERROR_INVALID_PARAMETER));
}

}  // namespace
