#include "accountdb/database_check.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "passhash/password_hash.h"
#include "platform/scratch_directory.h"
#include "platform/system_error.h"

namespace gatekeeper::accountdb {
namespace {

using Lines = std::vector<std::string>;

struct Case {
  const char* label;
  std::string text;  // the database file
  Lines expected;
  friend void PrintTo(const Case& c, std::ostream* out) { *out << c.label; }
};

// A database the filter serves without a fault: two bindings, mapped and unmapped users, dates
// within range, a comment and an empty text as the programs write them.
const char kClean[] = R"(; written by hand
{ MAIN:
    (int)Disable=0
    { SERVERS:
        (string)intranet=Staff
        (string)intranet|8080=staff
    } SERVERS;
    { DONTLOG:
        (int)Event[12]=1
    } DONTLOG;
} MAIN;
{ ACCOUNTS:
    { Staff:
        (int)ExpirationRequired=1
        { john:
            (string)Password=secret
            (int)DoNotMap=0
            (string)MapTo=WEB
            (string)expiredate=12/31/2037
            (int)noexpiration=0
            (int)disabled=0
        } john;
        { mary:
            (string)Password=
            (int)DoNotMap=1
            (string)expiredate=
        } mary;
        { ann:
            (string)MapTo=web
            (string)expiredate=
            (int)noexpiration=1
        } ann;
    } Staff;
} ACCOUNTS;

{ NTACCOUNTS:
    { web:
        (string)Password=pw
    } web;
} NTACCOUNTS;
)";

// The smallest working database, as a new installation writes it.
const char kEmpty[] =
    "{ MAIN:\r\n    { SERVERS:\r\n    } SERVERS;\r\n} MAIN;\r\n"
    "{ ACCOUNTS:\r\n} ACCOUNTS;\r\n{ NTACCOUNTS:\r\n} NTACCOUNTS;\r\n";

// MAIN and SERVERS with the given binding lines, then an authority Staff holding the given
// lines and an NT account web.
std::string database(const std::string& bindings, const std::string& staff) {
  return "{ MAIN:\n    { SERVERS:\n" + bindings + "    } SERVERS;\n} MAIN;\n" +
         "{ ACCOUNTS:\n    { Staff:\n" + staff + "    } Staff;\n} ACCOUNTS;\n" +
         "{ NTACCOUNTS:\n    { web:\n    } web;\n} NTACCOUNTS;\n";
}
const std::string kStaffBinding = "(string)intranet=Staff\n";
// Line 8 of database(kStaffBinding, ...) is the first of the authority's own lines.

class DatabaseCheckTest : public ::testing::TestWithParam<Case> {
 protected:
  platform::ScratchDirectory scratch_;
};

TEST_P(DatabaseCheckTest, ReportsWhatTheFilterTripsOver) {
  const std::string path = scratch_.file("accounts.cfg");
  {
    std::ofstream out(path, std::ios::binary);
    out << GetParam().text;
  }
  EXPECT_EQ(checkDatabaseFile(path), GetParam().expected);
}

const Case kCases[] = {
    {"clean", kClean, {}},
    {"new_installation", kEmpty, {}},
    {"no_main_comes_first",
     "{ ACCOUNTS:\n    { Staff:\n        { john:\n            (int)DoNotMap=1\n"
     "            (string)disabled=1\n        } john;\n    } Staff;\n} ACCOUNTS;\n"
     "{ NTACCOUNTS:\n} NTACCOUNTS;\n",
     {"no section MAIN: no site is bound, so the filter protects no site",
      "line 5: user \"john\" of authority \"Staff\": the flag disabled holds no number, so "
      "the filter reads it as unset"}},
    {"main_without_servers",
     "{ MAIN:\n    (string)SERVERS=x\n} MAIN;\n",
     {"line 1: section MAIN holds no section SERVERS: no site is bound, so the filter protects "
      "no site"}},
    {"bindings",
     database("        (string)intranet|80=Staff\n"       // line 3
              "        (string)intranet|080=Staff\n"      // 4
              "        (string)intranet|http=Staff\n"     // 5
              "        (string)extranet=Staf\n"           // 6
              "        (int)other=1\n"                    // 7
              "        (string)INTRANET|8080=Staff\n"     // 8
              "        (string)intranet|8080=nobody\n"    // 9
              "        (string)intra net =Staff\n",       // 10
              ""),
     {"line 3: binding \"intranet|80\" is never used: the filter looks a site on port 80 up "
      "as \"intranet\"",
      "line 4: binding \"intranet|080\" is never used: the server never reports the port "
      "\"080\"",
      "line 5: binding \"intranet|http\" is never used: the server never reports the port "
      "\"http\"",
      "line 6: binding \"extranet\" names authority \"Staf\", which ACCOUNTS does not hold: "
      "the filter refuses every request to the site",
      "line 7: binding \"other\" names no authority: the filter refuses every request to the "
      "site",
      "line 9: binding \"intranet|8080\" repeats binding \"INTRANET|8080\" of line 8: the "
      "filter takes the first, which names authority \"Staff\"",
      "line 10: binding \"intra net \": the host \"intra net \" is not a name the database "
      "can store"}},
    {"binding_without_accounts",
     "{ MAIN:\n    { SERVERS:\n        (string)intranet=Staff\n    } SERVERS;\n} MAIN;\n",
     {"line 3: binding \"intranet\" names authority \"Staff\", but there is no section "
      "ACCOUNTS: the filter refuses every request to the site"}},
    {"users",
     database(kStaffBinding,
              "        (int)ExpirationRequired=1\n"                                    // 8
              "        { nomap:\n        } nomap;\n"                                   // 9
              "        { lost:\n (string)MapTo=Web2\n (string)expiredate=1/1/2030\n"   // 11
              "        } lost;\n"
              "        { dotted:\n (string)MapTo=web\n (string)expiredate=15.3.2001\n" // 15
              "        } dotted;\n"
              "        { late:\n (string)MapTo=web\n (string)expiredate=1/1/2038\n"    // 19
              "        } late;\n"
              "        { undated:\n (string)MapTo=web\n"                               // 23
              "        } undated;\n"
              "        { forever:\n (string)MapTo=web\n (int)noexpiration=1\n"         // 26
              "        } forever;\n"
              "        { direct:\n (int)DoNotMap=1\n"                                  // 30
              "        } direct;\n"
              "        { ExpirationRequired:\n (int)DoNotMap=1\n"                      // 33
              "        } ExpirationRequired;\n"
              "        { bob :\n (int)DoNotMap=1\n"                                    // 36
              "        } bob ;\n"),
     {"line 9: user \"nomap\" of authority \"Staff\" is mapped to no NT account (no MapTo): "
      "the filter refuses the user",
      "line 9: user \"nomap\" of authority \"Staff\" has no expiry date, which the authority "
      "requires (ExpirationRequired): the filter refuses the user",
      "line 11: user \"lost\" of authority \"Staff\" is mapped to NT account \"Web2\", which "
      "NTACCOUNTS does not hold: the filter refuses the user",
      "line 15: user \"dotted\" of authority \"Staff\": the expiry date \"15.3.2001\" does "
      "not read as month/day/year: the filter refuses the user",
      "line 19: user \"late\" of authority \"Staff\": the expiry date \"1/1/2038\" lies after "
      "2037: the filter refuses the user",
      "line 23: user \"undated\" of authority \"Staff\" has no expiry date, which the "
      "authority requires (ExpirationRequired): the filter refuses the user",
      "line 33: user \"ExpirationRequired\" of authority \"Staff\" is hidden by the "
      "authority's value of that name: the filter never finds the user",
      "line 36: user \"bob \" of authority \"Staff\": the name is not one the database can "
      "store"}},
    {"user_without_nt_accounts",
     "{ ACCOUNTS:\n    { Staff:\n        { john:\n            (string)MapTo=web\n"
     "        } john;\n    } Staff;\n} ACCOUNTS;\n{ MAIN:\n    { SERVERS:\n    } SERVERS;\n"
     "} MAIN;\n",
     {"line 3: user \"john\" of authority \"Staff\" is mapped to NT account \"web\", but there "
      "is no section NTACCOUNTS: the filter refuses the user"}},
    {"names_repeated_in_other_letter_case",
     "{ MAIN:\n    { SERVERS:\n    } SERVERS;\n} MAIN;\n"       // 1-4
     "{ ACCOUNTS:\n    { Staff:\n        { john:\n"             // 5-7
     "            (string)MapTo=web\n        } john;\n"         // 8-9
     "    } Staff;\n} ACCOUNTS;\n"                              // 10-11
     "{ NTACCOUNTS:\n    { web:\n    } web;\n"                  // 12-14
     "    { WEB:\n    } WEB;\n} NTACCOUNTS;\n"                  // 15-17
     "{ accounts:\n    { staff:\n        { JOHN:\n"             // 18-20
     "            (string)MapTo=other\n        } JOHN;\n"       // 21-22
     "    } staff;\n} accounts;\n",
     {"line 15: NT account \"WEB\" repeats NT account \"web\" of line 13: the filter reads "
      "both as one, and where both give a value of one name, line 13's wins",
      "line 18: section \"accounts\" repeats section \"ACCOUNTS\" of line 5: the filter reads "
      "both as one, and where both give a value of one name, line 5's wins",
      "line 19: authority \"staff\" repeats authority \"Staff\" of line 6: the filter reads "
      "both as one, and where both give a value of one name, line 6's wins",
      "line 20: user \"JOHN\" of authority \"Staff\" repeats user \"john\" of line 7: the "
      "filter reads both as one, and where both give a value of one name, line 7's wins"}},
    {"lines_the_format_cannot_read",
     database(kStaffBinding,
              "        { john:\n"                    // 8
              "            (int)disabled=yes\n"      // 9
              "            (strng)MapTo=web\n"       // 10
              "            (string)expiredate=\n"    // 11: an empty text, as written
              "            MapTo=web\n"              // 12
              "            (string)Password secret\n" // 13
              "        } john;\n"
              "        {ann:\n"                      // 15
              "        } ann;\n"),                   // 16
     {"line 8: user \"john\" of authority \"Staff\" is mapped to no NT account (no MapTo): the "
      "filter refuses the user",
      "line 9: value \"disabled\" does not read (an unknown type word, or a value that does "
      "not scan as its type): it is skipped",
      "line 10: value \"MapTo\" does not read (an unknown type word, or a value that does not "
      "scan as its type): it is skipped",
      "line 12: the line is not one of the format: it is skipped",
      "line 13: a value line without \"=\": it is skipped",
      "line 15: \"{ann:\" does not read as a section opening (a blank after \"{\", then the "
      "name and \":\"): it is skipped, and the section's lines are read into the enclosing "
      "one",
      "line 16: \"} ann;\" does not close the open section \"Staff\" of line 7: it is "
      "skipped"}},
    {"flags_written_as_text",
     "{ MAIN:\n    (string)Disable=1\n    { SERVERS:\n        (string)intranet=Staff\n"
     "    } SERVERS;\n} MAIN;\n"                                                   // 1-6
     "{ ACCOUNTS:\n    { Staff:\n        (string)ExpirationRequired=1\n"          // 7-9
     "        { john:\n            (int)DoNotMap=1\n            (string)disabled=1\n"
     "        } john;\n    } Staff;\n} ACCOUNTS;\n{ NTACCOUNTS:\n} NTACCOUNTS;\n",  // 10-17
     {"line 2: section MAIN: the flag Disable holds no number, so the filter reads it as unset",
      "line 9: authority \"Staff\": the flag ExpirationRequired holds no number, so the "
      "filter reads it as unset",
      "line 12: user \"john\" of authority \"Staff\": the flag disabled holds no number, so "
      "the filter reads it as unset"}},
    {"nt_account_too_long_for_the_server",
     std::string(kEmpty, sizeof kEmpty - sizeof "} NTACCOUNTS;\r\n") +  // leaves NTACCOUNTS open
         "    { fits:\n        (string)Password=" + std::string(256, 'p') + "\n    } fits;\n" +
         "    { " + std::string(257, 'n') + ":\n    } " + std::string(257, 'n') + ";\n" +
         "} NTACCOUNTS;\n",
     {"line 11: NT account \"" + std::string(257, 'n') +
      "\": the name or password is longer than 256 characters, more than the server's "
      "credential buffers are sure to hold: the filter refuses the users mapped to it"}},
    {"file_that_does_not_load",
     database(kStaffBinding,
              "        { john:\n"                    // 8
              "            (string)MapTo=web\n"      // 9
              "        } jon;\n"),                   // 10
     // The closing lines of Staff and ACCOUNTS meet john still open, and NTACCOUNTS is read
     // into john: what was read is checked all the same.
     {"line 16: the file ends inside section \"ACCOUNTS/Staff/john\", opened at line 8 and "
      "never closed: the filter does not load the file",
      "line 8: user \"john\" of authority \"Staff\" is mapped to NT account \"web\", but "
      "there is no section NTACCOUNTS: the filter refuses the user",
      "line 10: \"} jon;\" does not close the open section \"john\" of line 8: it is skipped",
      "line 11: \"} Staff;\" does not close the open section \"john\" of line 8: it is "
      "skipped",
      "line 12: \"} ACCOUNTS;\" does not close the open section \"john\" of line 8: it is "
      "skipped"}},
};

INSTANTIATE_TEST_SUITE_P(Databases, DatabaseCheckTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.label);
                         });

TEST(DatabaseCheckFileTest, NamesTheSystemsReasonForAFileThatCannotBeRead) {
  platform::ScratchDirectory scratch;
  const std::string path = scratch.file("missing.cfg");
  EXPECT_EQ(checkDatabaseFile(path),
            Lines{"cannot read " + path + ": " + platform::readProblem(path)});
}

TEST(DatabaseCheckFileTest, ReportsABlockNeverClosedAndALineTooLongForTheFormat) {
  platform::ScratchDirectory scratch;
  const std::string path = scratch.file("accounts.cfg");
  {
    std::ofstream out(path, std::ios::binary);
    out << kEmpty << "(string)note=" << std::string(5000, 'x') << "\n[ key:\n1F\n";
  }
  EXPECT_EQ(checkDatabaseFile(path),
            (Lines{"line 9: longer than 4095 characters: the line is read in pieces, each as "
                   "a line of its own",
                   "line 10: block \"key\" is never closed: every later line of the file is "
                   "read as one of its bytes"}));
}

// Hashes are checked by whether this system verifies their scheme (yescrypt only where the
// system's crypt library has it); a portable scheme is never reported.
TEST(DatabaseCheckFileTest, ReportsHashesThisSystemCannotVerify) {
  platform::ScratchDirectory scratch;
  const std::string path = scratch.file("accounts.cfg");
  const std::string yescrypt =
      "$y$j9T$ujnv.jDatmUDejHJLmMw/0$l6Tb500.e2itPCI2v0GpmGNOQepoiqGAtFxzWN6VEP6";
  ASSERT_EQ(passhash::schemeOf(yescrypt), passhash::Scheme::kYescrypt);
  {
    std::ofstream out(path, std::ios::binary);
    out << "{ MAIN:\n    { SERVERS:\n    } SERVERS;\n} MAIN;\n{ ACCOUNTS:\n    { Staff:\n"
        << "        { y:\n            (string)Password=" << yescrypt
        << "\n            (string)MapTo=web\n            (int)noexpiration=1\n        } y;\n"
        << "        { p:\n            (string)Password=" << passhash::hashPassword("x").value()
        << "\n            (string)MapTo=web\n            (int)noexpiration=1\n        } p;\n"
        << "    } Staff;\n} ACCOUNTS;\n{ NTACCOUNTS:\n    { web:\n    } web;\n} NTACCOUNTS;\n";
  }
  const Lines expected =
      passhash::canVerify(passhash::Scheme::kYescrypt)
          ? Lines{}
          : Lines{"line 7: user \"y\" of authority \"Staff\": the password is a yescrypt hash, "
                  "which this system cannot verify: the filter refuses the user"};
  EXPECT_EQ(checkDatabaseFile(path), expected);
}

}  // namespace
}  // namespace gatekeeper::accountdb
