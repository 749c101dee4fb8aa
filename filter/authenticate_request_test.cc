#include "filter/authenticate_request.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "configstore/config_file.h"
#include "configstore/section_directory.h"
#include "filter/test_server.h"
#include "filter/verified_logons.h"
#include "passhash/password_hash.h"
#include "passhash/pbkdf2_sha256_form.h"
#include "platform/clock.h"
#include "platform/scratch_directory.h"

namespace gatekeeper {
namespace {

// 2020-06-15 12:00:00 UTC as 100 ns ticks since 1601.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
constexpr int64_t kNow = kUnixEpochTicks + 1592222400LL * 10000000LL;

// The database every case starts from; "@LOG@" becomes the event log's path.
constexpr char kDatabase[] = R"({ MAIN:
    (string)log=@LOG@
    { SERVERS:
        (string)intranet=Staff
        (string)intranet|8080=Strict
        (string)intranet|443=Staff
        (string)renamed=OldName
    } SERVERS;
} MAIN;
{ ACCOUNTS:
    { Staff:
        { john:
            (string)Password=secret
            (string)MapTo=webuser
        } john;
        { mary:
            (int)disabled=1
            (int)DoNotMap=1
        } mary;
        { passer:
            (int)DoNotMap=1
            (string)Password=own
        } passer;
        { stringflag:
            (string)disabled=1
            (string)Password=p
            (string)MapTo=webuser
        } stringflag;
        { expired:
            (string)Password=p
            (string)expiredate=1/1/1990
            (string)MapTo=webuser
        } expired;
        { forever:
            (string)Password=p
            (int)noexpiration=1
            (string)expiredate=1/1/1990
            (string)MapTo=webuser
        } forever;
        { BadDate:
            (string)Password=p
            (string)expiredate=15.3.2001
        } BadDate;
        { future:
            (string)Password=p
            (string)expiredate=1/1/2038
        } future;
        { last:
            (string)Password=p
            (string)expiredate=12/31/2037
            (string)MapTo=webuser
        } last;
        { nomap:
            (string)Password=p
        } nomap;
        { intmap:
            (string)Password=p
            (int)MapTo=1
        } intmap;
        { ghost:
            (string)Password=p
            (string)MapTo=nobody
        } ghost;
        { toolong:
            (string)Password=p
            (string)MapTo=bigpass
        } toolong;
    } Staff;
    { Strict:
        (int)ExpirationRequired=1
        { nodate:
            (string)Password=p
            (string)MapTo=webuser
        } nodate;
        { exempt:
            (string)Password=p
            (int)noexpiration=1
            (string)MapTo=WebUser
        } exempt;
    } Strict;
} ACCOUNTS;
{ NTACCOUNTS:
    { WebUser:
        (string)Password=ntpass
    } WebUser;
    { bigpass:
        (string)Password=@BIG@
    } bigpass;
} NTACCOUNTS;
)";

// A new pbkdf2-sha256 hash of password (a fresh salt each time), of few rounds: quick to
// verify, and verified on every platform. Empty when the system gives no random bytes.
std::string pbkdf2Hash(std::string_view password) {
  return passhash::newPbkdf2Sha256(password, 10).value_or("");
}

// A user of authority Staff mapped to WebUser, with the given Password.
std::string staffUser(const std::string& name, const std::string& password) {
  return "{ ACCOUNTS:\n{ Staff:\n{ " + name + ":\n(string)Password=" + password +
         "\n(string)MapTo=webuser\n} " + name + ";\n} Staff;\n} ACCOUNTS;\n";
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

// The fields of one event line, split at commas with the blank after each comma removed.
std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ',');) {
    if (!fields.empty() && !field.empty() && field[0] == ' ') field.erase(0, 1);
    fields.push_back(field);
  }
  return fields;
}

class AuthenticateRequestTest : public ::testing::Test {
 protected:
  void SetUp() override { loadDatabase(""); }

  // Loads the standard database, with extra lines appended to the file.
  void loadDatabase(const std::string& extra) {
    std::string text = replaceAll(kDatabase, "@LOG@", logPath_);
    text = replaceAll(text, "@BIG@", std::string(300, 'x')) + extra;
    platform::writeWholeFile(scratch_.file("db.cfg"), text);
    database_ = std::make_unique<ConfigFile>(scratch_.file("db.cfg").c_str(), 0);
    ASSERT_EQ(database_->load(), 1);
  }

  TestOutcome send(const std::string& user, const std::string& password,
                   const std::string& port = "80") {
    TestRequest request;
    request.user = user;
    request.password = password;
    request.variables["SERVER_PORT"] = port;
    return send(request);
  }
  TestOutcome send(const TestRequest& request) {
    return sendAuthentication(
        [this](HTTP_FILTER_CONTEXT* pfc, DWORD, void* data) {
          return authenticateRequest(pfc, static_cast<HTTP_FILTER_AUTHENT*>(data), *database_,
                                     now_, nullptr, verifiedLogons_, nullptr, directories_.get());
        },
        request);
  }

  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    std::stringstream in(platform::readWholeFile(logPath_));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }
  // The fields of the only line logged so far.
  std::vector<std::string> onlyEvent() const {
    const std::vector<std::string> lines = logLines();
    EXPECT_EQ(lines.size(), 1u);
    return lines.empty() ? std::vector<std::string>() : fieldsOf(lines.back());
  }

  // Decides as the filter does on a large database: the database saved as the programs write
  // it, loaded with its sections two levels down kept as text, and its authorities found
  // through their directories where they have one (Staff has; Strict, holding a value of its
  // own, has none and is parsed).
  void useDirectories() {
    ASSERT_EQ(database_->saveAs(scratch_.file("saved.cfg").c_str()), 1);
    database_ = std::make_unique<ConfigFile>(scratch_.file("saved.cfg").c_str(), 0);
    ASSERT_EQ(database_->loadComplete(1), 1);
    const ConfigSection* staff = database_->sectionByName("ACCOUNTS")->sectionByName("Staff");
    const DeferredContents kept = staff->keptContents();
    ASSERT_NE(kept.source, nullptr);
    const DirectoryImage image = SectionDirectories::build(kept.source->text(), 1);
    directoryImage_.assign(image.data(), image.size());
    directories_ = std::make_unique<SectionDirectories>(directoryImage_, kept.source->text());
    ASSERT_NE(directories_->forSection(*staff), nullptr);
  }

  platform::ScratchDirectory scratch_;
  std::string logPath_ = scratch_.file("events.log");
  std::unique_ptr<ConfigFile> database_;
  std::string directoryImage_;
  std::unique_ptr<SectionDirectories> directories_;
  int64_t now_ = kNow;
  VerifiedLogons* verifiedLogons_ = nullptr;
};

struct Row {
  const char* user;
  const char* password;
  const char* port;
  DWORD status;
  const char* eventId;
  const char* description;
  const char* parameter1;
  const char* parameter2;
  bool denied;          // the "401 Access Denied" response was requested
  DWORD lastError;      // 0: not checked
};

constexpr DWORD kNext = SF_STATUS_REQ_NEXT_NOTIFICATION;
constexpr DWORD kHandled = SF_STATUS_REQ_HANDLED_NOTIFICATION;
constexpr DWORD kError = SF_STATUS_REQ_ERROR;

// The decisions with every user read from the tree (false), and with the users of large
// authorities read from their lines through a directory (true).
class DecisionTableTest : public AuthenticateRequestTest,
                          public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    AuthenticateRequestTest::SetUp();
    if (GetParam()) useDirectories();
  }
};
INSTANTIATE_TEST_SUITE_P(TreeAndDirectory, DecisionTableTest, ::testing::Bool());

// Every row of the decision, each on a fresh log.
TEST_P(DecisionTableTest, DecisionTable) {
  const Row rows[] = {
      {"", "", "80", kHandled, "10", "Anonymous request", "", "", false, 0},
      {"john", "secret", "8081", kNext, "12", "Site not handled (Binding)", "intranet|8081", "",
       false, 0},
      {"nobody", "x", "80", kError, "3", "User not found (UserName UserDB)", "nobody", "Staff",
       true, ERROR_ACCESS_DENIED},
      {"mary", "x", "80", kError, "14", "Account disabled (UserName UserDB)", "mary", "Staff", true,
       ERROR_ACCESS_DENIED},
      {"passer", "anything", "80", kHandled, "7",
       "Mapping disabled - passing through (UserName UserDB)", "passer", "Staff", false, 0},
      {"JOHN", "wrong", "80", kError, "4", "Invalid password (UserName UserDB)", "JOHN", "Staff",
       true, 0},
      {"john", "SECRET", "80", kError, "4", "Invalid password (UserName UserDB)", "john", "Staff",
       true, 0},
      {"BADDATE", "p", "80", kError, "5", "Account expire date error (UserName UserDB)",
       "BadDate", "Staff", false, ERROR_BAD_CONFIGURATION},
      {"future", "p", "80", kError, "15", "Expiration date > 2037 not supported (UserName UserDB)",
       "future", "Staff", true, 0},
      {"expired", "p", "80", kError, "6", "Account expired (UserName UserDB)", "expired", "Staff",
       true, 0},
      {"nodate", "p", "8080", kError, "16", "Expiration date not found (UserName UserDB)",
       "nodate", "Strict", true, 0},
      {"nomap", "p", "80", kError, "8", "MapTo not specified (UserName UserDB)", "nomap", "Staff",
       true, 0},
      {"ghost", "p", "80", kError, "9", "MapTo Account not found", "nobody", "", true, 0},
      {"intmap", "p", "80", kError, "9", "MapTo Account not found", "", "", true, 0},
      {"John", "secret", "80", kHandled, "0", "OK Authenticated (UserName UserDB)", "John",
       "Staff", false, 0},
      {"john", "secret", "443", kHandled, "0", "OK Authenticated (UserName UserDB)", "john",
       "Staff", false, 0},
      {"forever", "p", "80", kHandled, "0", "OK Authenticated (UserName UserDB)", "forever",
       "Staff", false, 0},
      {"last", "p", "80", kHandled, "0", "OK Authenticated (UserName UserDB)", "last", "Staff",
       false, 0},
      {"stringflag", "p", "80", kHandled, "0", "OK Authenticated (UserName UserDB)",
       "stringflag", "Staff", false, 0},
      {"exempt", "p", "8080", kHandled, "0", "OK Authenticated (UserName UserDB)", "exempt",
       "Strict", false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.user) + " on port " + row.port);
    std::remove(logPath_.c_str());
    const TestOutcome outcome = send(row.user, row.password, row.port);
    EXPECT_EQ(outcome.status, row.status);
    const std::vector<std::string> event = onlyEvent();
    ASSERT_EQ(event.size(), 8u);
    EXPECT_EQ(event[0], row.eventId);
    EXPECT_EQ(event[3], row.description);
    EXPECT_EQ(event[4], row.parameter1);
    EXPECT_EQ(event[5], row.parameter2);
    EXPECT_EQ(event[6], "/private/index.htm");
    EXPECT_EQ(event[7], "intranet");
    if (row.denied) {
      EXPECT_EQ(outcome.responseStatuses, std::vector<std::string>{"401 Access Denied"});
      EXPECT_EQ(outcome.responseHeaders, std::vector<std::string>{""});
    } else {
      EXPECT_TRUE(outcome.responseStatuses.empty());
    }
    if (row.lastError != 0) {
      EXPECT_EQ(outcome.lastError, row.lastError);
    }
    if (std::string(row.eventId) != "0") {
      // Every outcome but success leaves the credentials as sent.
      EXPECT_EQ(outcome.user, row.user);
      EXPECT_EQ(outcome.password, row.password);
    }
  }
}

#ifndef _WIN32
// Refusals for the user's own credentials or account are reported for the server's log (where
// fail2ban counts them) by the name as sent; configuration faults and successes are not. A
// server that refuses the report changes neither the status nor the last error.
TEST_F(AuthenticateRequestTest, FailedLogonsAreReportedForTheServerLog) {
  const struct {
    const char* user;
    const char* password;
    const char* port;
    const char* report;  // nullptr: none
  } rows[] = {
      {"NoBody", "x", "80", "user NoBody not found"},
      {"mary", "x", "80", "user mary: account disabled"},
      {"JOHN", "wrong", "80", "user JOHN: Password Mismatch"},
      {"expired", "p", "80", "user expired: account expired"},
      {"future", "p", "80", "user future: expiration date after 2037 not supported"},
      {"nodate", "p", "8080", "user nodate: expiration date missing"},
      {"john\r\nuser x", "p", "80", "user john\r\nuser x not found"},  // the host escapes it
      {"", "", "80", nullptr},
      {"john", "secret", "80", nullptr},
      {"passer", "anything", "80", nullptr},
      {"john", "secret", "8081", nullptr},
      {"BADDATE", "p", "80", nullptr},
      {"nomap", "p", "80", nullptr},
      {"ghost", "p", "80", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.user);
    TestRequest request;
    request.user = row.user;
    request.password = row.password;
    request.variables["SERVER_PORT"] = row.port;
    const TestOutcome reported = send(request);
    EXPECT_EQ(reported.failedLogons, row.report != nullptr ? std::vector<std::string>{row.report}
                                                           : std::vector<std::string>{});
    request.takesFailedLogonReports = false;
    const TestOutcome refused = send(request);
    EXPECT_EQ(refused.status, reported.status);
    EXPECT_EQ(refused.lastError, reported.lastError);
    EXPECT_EQ(refused.responseStatuses, reported.responseStatuses);
  }
}
#endif

TEST_F(AuthenticateRequestTest, SuccessHandsOverTheMappedAccountAsStored) {
  const TestOutcome outcome = send("JOHN", "secret");
  EXPECT_EQ(outcome.status, kHandled);
  EXPECT_EQ(outcome.user, "WebUser");
  EXPECT_EQ(outcome.password, "ntpass");
  EXPECT_EQ(onlyEvent()[4], "JOHN");
}

// The binding key and the event line's site come from one reading of SERVER_NAME; SCRIPT_NAME
// is read only for a line that is written.
TEST_F(AuthenticateRequestTest, ReadsEachServerVariableOnceAtMost) {
  struct Case {
    const char* user;
    const char* extra;  // appended to the database
    int serverName;
    int serverPort;
    int scriptName;
  };
  const Case cases[] = {
      {"john", "", 1, 1, 1},
      {"", "", 1, 0, 1},                                        // anonymous: no binding key
      {"nobody", "", 1, 1, 1},                                  // refused
      {"john", "{ MAIN:\n{ DONTLOG:\n(int)Event[0]=1\n} DONTLOG;\n} MAIN;\n", 1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("user '") + c.user + "' " + c.extra);
    loadDatabase(c.extra);
    std::map<std::string, int> reads;
    TestRequest request;
    request.user = c.user;
    request.password = "secret";
    request.onServerVariable = [&reads](const char* name) { ++reads[name]; };
    send(request);
    EXPECT_EQ(reads["SERVER_NAME"], c.serverName);
    EXPECT_EQ(reads["SERVER_PORT"], c.serverPort);
    EXPECT_EQ(reads["SCRIPT_NAME"], c.scriptName);
  }
}

TEST_F(AuthenticateRequestTest, DisabledFilterKeepsEveryRequestAsSent) {
  loadDatabase("{ MAIN:\n(int)Disable=2\n} MAIN;\n");
  for (const char* user : {"", "john", "nobody"}) {
    std::remove(logPath_.c_str());
    const TestOutcome outcome = send(user, "secret");
    EXPECT_EQ(outcome.status, kHandled);
    EXPECT_EQ(outcome.user, user);
    const std::vector<std::string> event = onlyEvent();
    EXPECT_EQ(event[0], "2");
    EXPECT_EQ(event[3], "Filter disabled");
  }
}

TEST_F(AuthenticateRequestTest, DisableAsStringLeavesTheFilterOn) {
  loadDatabase("{ MAIN:\n(string)Disable=1\n} MAIN;\n");
  EXPECT_EQ(send("john", "secret").status, kHandled);
  EXPECT_EQ(onlyEvent()[0], "0");
}

TEST_F(AuthenticateRequestTest, BindingToMissingAuthorityIsAConfigurationFault) {
  TestRequest request;
  request.user = "john";
  request.variables["SERVER_NAME"] = "renamed";
  const TestOutcome outcome = send(request);
  EXPECT_EQ(outcome.status, kError);
  EXPECT_EQ(outcome.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(outcome.responseStatuses.empty());
  const std::vector<std::string> event = onlyEvent();
  EXPECT_EQ(event[0], "13");
  EXPECT_EQ(event[3], "User data base for this site not found (Binding UserDB)");
  EXPECT_EQ(event[4], "renamed");
  EXPECT_EQ(event[5], "OldName");
}

TEST_F(AuthenticateRequestTest, ServerNameThatDoesNotFitIsMissing) {
  for (const std::string& host : {std::string(260, 'h'), std::string()}) {
    std::remove(logPath_.c_str());
    TestRequest request;
    request.user = "john";
    if (host.empty()) {
      request.variables.erase("SERVER_NAME");
    } else {
      request.variables["SERVER_NAME"] = host;
    }
    const TestOutcome outcome = send(request);
    EXPECT_EQ(outcome.status, kError);
    EXPECT_EQ(outcome.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    const std::vector<std::string> event = onlyEvent();
    EXPECT_EQ(event[0], "11");
    EXPECT_EQ(event[3], "SERVER_NAME Header not found !");
    EXPECT_EQ(event[7], "");  // the site field cannot be read either
  }
}

TEST_F(AuthenticateRequestTest, PortSuffixFollowsThePortText) {
  // A host of 259 characters still fits; its key is looked up (and not found).
  TestRequest request;
  request.user = "john";
  request.variables["SERVER_NAME"] = std::string(259, 'h');
  EXPECT_EQ(send(request).status, kNext);
  EXPECT_EQ(onlyEvent()[4], std::string(259, 'h'));

  // A port text that does not fit its buffer, or a missing port, leaves the host alone.
  for (bool missing : {false, true}) {
    std::remove(logPath_.c_str());
    TestRequest plain;
    plain.user = "john";
    plain.password = "secret";
    if (missing) {
      plain.variables.erase("SERVER_PORT");
    } else {
      plain.variables["SERVER_PORT"] = std::string(32, '8');
    }
    EXPECT_EQ(send(plain).status, kHandled);
    EXPECT_EQ(onlyEvent()[0], "0");
  }
}

TEST_F(AuthenticateRequestTest, SuppressedEventsWriteNothing) {
  loadDatabase(
      "{ MAIN:\n{ DONTLOG:\n(int)Event[0]=1\n(int)Event[4]=0\n(int)Event[3]=-1\n"
      "(string)Event[12]=1\n} DONTLOG;\n} MAIN;\n");
  EXPECT_EQ(send("john", "secret").status, kHandled);
  EXPECT_TRUE(logLines().empty());
  send("john", "wrong");
  send("nobody", "x");
  send("john", "secret", "9999");
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(fieldsOf(lines[0])[0], "4");
  EXPECT_EQ(fieldsOf(lines[1])[0], "3");
  EXPECT_EQ(fieldsOf(lines[2])[0], "12");
}

// An account that expires on 15 March 2001 is accepted up to 00:00:00 local time that day and
// refused from the next second on, whatever the zone.
TEST_F(AuthenticateRequestTest, ExpiryDayEndsAtLocalMidnight) {
  loadDatabase(
      "{ ACCOUNTS:\n{ Staff:\n{ dated:\n(string)Password=p\n(string)expiredate=03/15/2001 trailing"
      "\n(string)MapTo=webuser\n} dated;\n} Staff;\n} ACCOUNTS;\n");
  const int64_t midnight = platform::localMidnight(2001, 3, 15);
  ASSERT_NE(midnight, platform::kNotADate);
  const struct {
    int64_t now;
    DWORD status;
  } moments[] = {
      {midnight - platform::kTicksPerSecond, kHandled},
      {midnight, kHandled},
      {midnight + platform::kTicksPerSecond / 2, kHandled},  // still 00:00:00
      {midnight + platform::kTicksPerSecond, kError},
  };
  for (const auto& moment : moments) {
    std::remove(logPath_.c_str());
    now_ = moment.now;
    EXPECT_EQ(send("dated", "p").status, moment.status) << (moment.now - midnight);
    EXPECT_EQ(onlyEvent()[0], moment.status == kHandled ? "0" : "6");
  }
}

TEST_F(AuthenticateRequestTest, AccountThatDoesNotFitTheBuffersIsRefusedWhole) {
  const TestOutcome outcome = send("toolong", "p");
  EXPECT_EQ(outcome.status, kError);
  EXPECT_EQ(outcome.user, "toolong");  // nothing was copied
  EXPECT_EQ(outcome.password, "p");
  EXPECT_EQ(outcome.responseStatuses, std::vector<std::string>{"401 Access Denied"});
  const std::vector<std::string> event = onlyEvent();
  EXPECT_EQ(event[0], "9");
  EXPECT_EQ(event[3], "MapTo Account name or password too long for the server");
  EXPECT_EQ(event[4], "bigpass");

  // A smaller user buffer than the account name needs is refused the same way.
  std::remove(logPath_.c_str());
  TestRequest request;
  request.user = "john";
  request.password = "secret";
  request.userBufferSize = 7;  // "WebUser" needs 8 bytes
  const TestOutcome small = send(request);
  EXPECT_EQ(small.status, kError);
  EXPECT_EQ(small.user, "john");
}

TEST_F(AuthenticateRequestTest, LineBreaksInFieldsKeepOneEventPerLine) {
  send("evil\r\n0, forged", "x");
  const std::vector<std::string> lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(fieldsOf(lines[0])[0], "3");
}

TEST_F(AuthenticateRequestTest, MissingLogDirectoryDoesNotChangeTheDecision) {
  logPath_ = scratch_.file("missing/events.log");
  loadDatabase("");
  const TestOutcome outcome = send("john", "secret");
  EXPECT_EQ(outcome.status, kHandled);
  EXPECT_EQ(outcome.user, "WebUser");
}

// A Password that is a hash is verified by its scheme, with or without the cache of verified
// logons, and the second time as the first: the right password passes the password step and
// maps, any other text (the hash itself included) is refused as a wrong password. A text that
// only looks like a hash is a plain password, compared exactly.
TEST_F(AuthenticateRequestTest, HashedPasswordsAreVerifiedByTheirScheme) {
  const std::string hash = pbkdf2Hash("Open Sesame");
  ASSERT_EQ(passhash::schemeOf(hash), passhash::Scheme::kPbkdf2Sha256) << hash;
  loadDatabase(staffUser("hashed", hash) + staffUser("lookalike", "$pbkdf2-sha256$x"));
  const struct {
    const char* user;
    std::string password;
    bool accepted;
  } rows[] = {
      {"hashed", "Open Sesame", true},   {"HASHED", "Open Sesame", true},
      {"hashed", "open sesame", false},  {"hashed", "Open Sesame ", false},
      {"hashed", "", false},             {"hashed", hash, false},
      {"lookalike", "$pbkdf2-sha256$x", true}, {"lookalike", "x", false},
  };
  VerifiedLogons cache;
  for (VerifiedLogons* logons : {static_cast<VerifiedLogons*>(nullptr), &cache}) {
    verifiedLogons_ = logons;
    for (int pass = 0; pass < 2; ++pass) {
      for (const auto& row : rows) {
        SCOPED_TRACE(std::string(logons ? "cache, " : "no cache, ") + row.user + " / " +
                     row.password + " pass " + std::to_string(pass));
        std::remove(logPath_.c_str());
        const TestOutcome outcome = send(row.user, row.password);
        const std::vector<std::string> event = onlyEvent();
        ASSERT_EQ(event.size(), 8u);
        if (row.accepted) {
          EXPECT_EQ(outcome.status, kHandled);
          EXPECT_EQ(event[0], "0");
          EXPECT_EQ(outcome.user, "WebUser");
          EXPECT_EQ(outcome.password, "ntpass");
          EXPECT_TRUE(outcome.responseStatuses.empty());
        } else {
          EXPECT_EQ(outcome.status, kError);
          EXPECT_EQ(event[0], "4");
          EXPECT_EQ(event[3], "Invalid password (UserName UserDB)");
          EXPECT_EQ(event[4], row.user);
          EXPECT_EQ(outcome.user, row.user);
          EXPECT_EQ(outcome.password, row.password);
          EXPECT_EQ(outcome.responseStatuses, std::vector<std::string>{"401 Access Denied"});
        }
      }
    }
  }
  // Two logons were verified: with both names the same user.
  EXPECT_EQ(cache.size(), 1u);
}

// The cache answers a logon it verified before without the verifier, never a wrong password,
// and is not consulted for plain passwords; the steps before the password still come first.
TEST_F(AuthenticateRequestTest, VerifiedLogonIsAnsweredWithoutHashingAgain) {
  loadDatabase(staffUser("hashed", pbkdf2Hash("Open Sesame")) +
               "{ ACCOUNTS:\n{ Staff:\n{ mary:\n(string)Password=" +
               pbkdf2Hash("Open Sesame") + "\n} mary;\n} Staff;\n} ACCOUNTS;\n");
  int verifications = 0;
  VerifiedLogons::Options options;
  options.verifier = [&verifications](std::string_view stored, std::string_view sent) {
    ++verifications;
    return passhash::verifyPassword(stored, sent);
  };
  VerifiedLogons cache(options);
  verifiedLogons_ = &cache;
  const struct {
    const char* user;
    const char* password;
    const char* eventId;
    int verifications;  // so far
  } steps[] = {
      {"hashed", "Open Sesame", "0", 1},
      {"hashed", "Open Sesame", "0", 1},  // from the cache
      {"hashed", "Open Sesame!", "4", 2},
      {"hashed", "Open Sesame!", "4", 3},
      {"Hashed", "Open Sesame", "0", 3},
      {"john", "secret", "0", 3},         // plain
      {"john", "wrong", "4", 3},
      {"mary", "Open Sesame", "14", 3},   // disabled before the password is looked at
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.user) + " / " + step.password);
    std::remove(logPath_.c_str());
    send(step.user, step.password);
    EXPECT_EQ(onlyEvent()[0], step.eventId);
    EXPECT_EQ(verifications, step.verifications);
  }
  EXPECT_EQ(cache.hits(), 2u);
  EXPECT_EQ(cache.size(), 1u);
}

// The system's own default scheme where it is yescrypt (Linux), with the cache.
TEST_F(AuthenticateRequestTest, YescryptHashIsVerified) {
  if (!passhash::canVerify(passhash::Scheme::kYescrypt)) GTEST_SKIP() << "no yescrypt here";
  const std::optional<std::string> hash = passhash::hashPassword("Open Sesame");
  ASSERT_TRUE(hash.has_value());
  if (passhash::schemeOf(*hash) != passhash::Scheme::kYescrypt) {
    GTEST_SKIP() << "new hashes are " << passhash::schemeName(passhash::schemeOf(*hash));
  }
  loadDatabase(staffUser("hashed", *hash));
  VerifiedLogons cache;
  verifiedLogons_ = &cache;
  for (const char* password : {"Open Sesame", "open sesame", "Open Sesame"}) {
    SCOPED_TRACE(password);
    std::remove(logPath_.c_str());
    const TestOutcome outcome = send("hashed", password);
    const bool right = std::string(password) == "Open Sesame";
    EXPECT_EQ(outcome.status, right ? kHandled : kError);
    EXPECT_EQ(onlyEvent()[0], right ? "0" : "4");
    EXPECT_EQ(outcome.user, right ? "WebUser" : "hashed");
  }
  EXPECT_EQ(cache.hits(), 1u);
}

}  // namespace
}  // namespace gatekeeper
