#include "server_variables.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_host.h"

namespace {

FakeRequest sampleRequest() {
  FakeRequest r;
  r.facts = {{kIsapiServerName, "www.example.com"},
             {kIsapiServerPort, "8080"},
             {kIsapiRequestPath, "/private/"},
             {kIsapiRemoteAddress, "192.0.2.7"}};
  r.headers = {{"Host", "attacker.example"},
               {"Authorization", "  Basic am9objpzZWNyZXQ="},
               {"X-Forwarded-For", "10.0.0.1"},
               {"x-forwarded-for", "10.0.0.2"},
               {"Odd_Name", "underscore"}};
  return r;
}

struct VariableCase {
  const char* name;
  bool secure;
  const char* expected;  // nullptr: unknown to the server
};

class ServerVariableTest : public testing::TestWithParam<VariableCase> {};

TEST_P(ServerVariableTest, Value) {
  FakeRequest r = sampleRequest();
  const VariableCase& c = GetParam();
  const char* value = serverVariable(&FakeRequest::host, &r, c.secure, c.name);
  if (c.expected == nullptr) {
    EXPECT_EQ(value, nullptr) << c.name;
  } else {
    ASSERT_NE(value, nullptr) << c.name;
    EXPECT_STREQ(value, c.expected) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lookup, ServerVariableTest,
    testing::Values(
        // The host's own facts, names ignoring case; the server's name, never the Host header.
        VariableCase{"SERVER_NAME", false, "www.example.com"},
        VariableCase{"server_name", false, "www.example.com"},
        VariableCase{"Server_Port", false, "8080"}, VariableCase{"SCRIPT_NAME", false, "/private/"},
        VariableCase{"URL", false, "/private/"}, VariableCase{"REMOTE_HOST", false, "192.0.2.7"},
        // A fact the host does not have reads as empty, not as unknown.
        VariableCase{"QUERY_STRING", false, ""}, VariableCase{"SERVER_PORT_SECURE", true, "1"},
        VariableCase{"SERVER_PORT_SECURE", false, "0"}, VariableCase{"HTTPS", true, "on"},
        VariableCase{"HTTPS", false, "off"},
        // The scheme only, past leading blanks.
        VariableCase{"AUTH_TYPE", false, "Basic"},
        // Headers: '_' stands for '-', the first of a repeated header, case ignored.
        VariableCase{"HTTP_HOST", false, "attacker.example"},
        VariableCase{"HTTP_X_FORWARDED_FOR", false, "10.0.0.1"},
        VariableCase{"http_x_forwarded_for", false, "10.0.0.1"},
        // A header whose name holds '_' is not one HTTP_<NAME> can name.
        VariableCase{"HTTP_ODD_NAME", false, nullptr},
        VariableCase{"HTTP_NOT_SENT", false, nullptr}, VariableCase{"HTTP_", false, nullptr},
        VariableCase{"HTTP", false, nullptr}, VariableCase{"SERVER_NAMEX", false, nullptr},
        VariableCase{"", false, nullptr}));

TEST(ServerVariableTest, AllHttpListsEveryHeaderInOrder) {
  FakeRequest r = sampleRequest();
  EXPECT_STREQ(serverVariable(&FakeRequest::host, &r, 0, "ALL_HTTP"),
               "HTTP_HOST:attacker.example\n"
               "HTTP_AUTHORIZATION:  Basic am9objpzZWNyZXQ=\n"
               "HTTP_X_FORWARDED_FOR:10.0.0.1\n"
               "HTTP_X_FORWARDED_FOR:10.0.0.2\n"
               "HTTP_ODD_NAME:underscore\n");
}

TEST(ServerVariableTest, NoHeadersGiveEmptyAllHttpAndAuthType) {
  FakeRequest r;
  EXPECT_STREQ(serverVariable(&FakeRequest::host, &r, 0, "ALL_HTTP"), "");
  EXPECT_STREQ(serverVariable(&FakeRequest::host, &r, 0, "AUTH_TYPE"), "");
}

TEST(ServerVariableTest, NoMemoryIsNoValueRatherThanACrash) {
  FakeRequest r = sampleRequest();
  r.outOfMemory = true;
  EXPECT_EQ(serverVariable(&FakeRequest::host, &r, 0, "ALL_HTTP"), nullptr);
  EXPECT_EQ(serverVariable(&FakeRequest::host, &r, 0, "HTTP_HOST"), nullptr);
}

}  // namespace
