// Importing an Apache password file: the line forms the reader takes and skips, what each
// password form becomes, users already there or named twice, names the database cannot hold,
// and that a refused import changes nothing.
#include "accountdb/htpasswd_import.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/database_names.h"
#include "accountdb/value_readers.h"

namespace gatekeeper::accountdb {
namespace {

// Hashes as htpasswd, mkpasswd and passlib write them.
const char kBcrypt[] = "$2y$05$RY/WP0DFvz2ICIRN8RMXyOTxsuTFaz18zVa5Pq.p0xpmnvGYEcx9y";
const char kApr1[] = "$apr1$vEkuRQ8u$.Ba3tqySOxbExQtbBug5k1";
const char kSha1[] = "{SHA}2PRZAyDhNDqRW2OUFwZQqPNdaSY=";
const char kDes[] = "rShq/MNyhfKao";
const char kSha256Crypt[] = "$5$MrFxM03egDsIqhQs$4uZCA3aWb0gH8Oo7cQxSh9.EaMDBYf5/hpp9lPH5y53";
const char kSha512Crypt[] =
    "$6$OdT6KKU3gaosPxvU$4kc88lJGj5hnTs0NXPzTqI7x8rcgf76IzjGrUxjTn2XggT0rX75GM5C9cxWH1ylGahzxbFLTn"
    "d0TOlg9W8vyh0";
const char kYescrypt[] = "$y$j9T$cX51ep3u3S3jKH9bDN7WV0$Y6XearS/oztaePzWy/c7m6my61ytEv.KlduVhBQDg/4";
// pbkdf2-sha256 of "password".
const char kPbkdf2[] =
    "$pbkdf2-sha256$29000$AAECAwQFBgcICQoLDA0ODw$oQniwjLkYbajNGr0RGSng8udgXKplgpN15LZNV56KTQ";

TEST(HtpasswdParseTest, LineForms) {
  struct Case {
    const char* text;
    std::vector<HtpasswdLine> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"\n\n  \t\n", {}},
      {"# comment\n  # indented comment\n", {}},
      {"alice:hash", {{1, true, "alice", "hash"}}},
      {"alice:hash\r\nbob:other\r\n", {{1, true, "alice", "hash"}, {2, true, "bob", "other"}}},
      {"\n# c\nalice:hash\n\nbob:x\n", {{3, true, "alice", "hash"}, {5, true, "bob", "x"}}},
      // Blanks at both ends go, as Apache's reader strips them; inner ones stay.
      {"  alice:hash \t\r\n", {{1, true, "alice", "hash"}}},
      {"al ice:ha sh", {{1, true, "al ice", "ha sh"}}},
      // The password ends at the next ":", as Apache takes it.
      {"alice:hash:comment:more", {{1, true, "alice", "hash"}}},
      {"alice:", {{1, true, "alice", ""}}},
      {":hash", {{1, true, "", "hash"}}},
      {"no colon here\nbob:x", {{1, false, "", ""}, {2, true, "bob", "x"}}},
      // A "#" starts a comment only at the start of a line.
      {"bob#1:x", {{1, true, "bob#1", "x"}}},
  };
  for (const Case& c : cases) {
    const std::vector<HtpasswdLine> lines = parseHtpasswd(c.text);
    ASSERT_EQ(lines.size(), c.lines.size()) << c.text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].line, c.lines[i].line) << c.text;
      EXPECT_EQ(lines[i].hasColon, c.lines[i].hasColon) << c.text;
      EXPECT_EQ(lines[i].user, c.lines[i].user) << c.text;
      EXPECT_EQ(lines[i].password, c.lines[i].password) << c.text;
    }
  }
}

// The authority Staff with its own value ExpirationRequired and the user John (unmapped,
// disabled, plain password "old").
struct Staff {
  Staff() : authority("Staff") {
    authority.setInt(kExpirationRequired, 1);
    ConfigSection* john = authority.getOrCreateSection("John");
    john->setString(kPassword, "old");
    john->setInt(kDoNotMap, 1);
    john->setInt(kDisabled, 1);
  }
  HtpasswdImport import(const std::string& text, HtpasswdImportOptions options) {
    const std::vector<HtpasswdLine> lines = parseHtpasswd(text);
    return importHtpasswd(authority, lines, options);
  }
  std::string users() const {
    std::string names;
    for (int32_t slot = 1; slot <= authority.count(); ++slot) {
      const ConfigSection* user = authority.sectionByIndex(slot);
      if (!user->isPlaceholder()) names += std::string(user->name()) + " ";
    }
    return names;
  }
  ConfigSection authority;
};

HtpasswdImportOptions mapped(bool allowWeak = false, bool replace = false) {
  return {std::string("webuser"), allowWeak, replace};
}

TEST(HtpasswdImportTest, EachPasswordFormAndWhatItBecomes) {
  struct Case {
    std::string password;
    bool allowWeak;
    ImportOutcome outcome;
    const char* text;
  };
  const bool crypt = passhash::canVerify(passhash::Scheme::kBcrypt);
  const ImportOutcome cryptOutcome =
      crypt ? ImportOutcome::kImported : ImportOutcome::kNotVerifiable;
  const Case cases[] = {
      {kBcrypt, false, cryptOutcome,
       crypt ? "imported (bcrypt)"
             : "needs a new password: scheme bcrypt can not be verified on this system"},
      {kSha256Crypt, false, cryptOutcome, nullptr},
      {kSha512Crypt, false, cryptOutcome, nullptr},
      {kYescrypt, false, cryptOutcome, nullptr},
      {kPbkdf2, false, ImportOutcome::kImported, "imported (pbkdf2-sha256)"},
      {kApr1, false, ImportOutcome::kWeakScheme, "needs a new password: weak scheme apr1"},
      {kSha1, false, ImportOutcome::kWeakScheme, "needs a new password: weak scheme sha1"},
      {kApr1, true, ImportOutcome::kImported, "imported (apr1)"},
      {kSha1, true, ImportOutcome::kImported, "imported (sha1)"},
      {kDes, true, ImportOutcome::kUnsupportedForm, "needs a new password: unsupported form"},
      {"plain text", true, ImportOutcome::kUnsupportedForm, nullptr},
      {"", true, ImportOutcome::kUnsupportedForm, nullptr},
      {"$1$abcdefgh$0123456789012345678901", true, ImportOutcome::kUnsupportedForm, nullptr},
      // A hash cut short is no hash.
      {std::string(kBcrypt, sizeof kBcrypt - 2), true, ImportOutcome::kUnsupportedForm, nullptr},
  };
  for (const Case& c : cases) {
    Staff fresh;
    const HtpasswdImport result = fresh.import("bob:" + c.password + "\n", mapped(c.allowWeak));
    ASSERT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.lines[0].outcome, c.outcome) << c.password;
    if (c.text != nullptr) {
      EXPECT_EQ(importOutcomeText(result.lines[0]), c.text) << c.password;
    }
    const ConfigSection* bob = findUser(fresh.authority, "bob");
    if (c.outcome == ImportOutcome::kImported) {
      EXPECT_TRUE(result.complete());
      EXPECT_EQ(result.imported, 1);
      // The entry of a mapped, enabled user without a date, holding the hash as the file does.
      EXPECT_EQ(readText(*bob, kPassword), c.password);
      EXPECT_FALSE(readFlag(*bob, kDoNotMap));
      EXPECT_STREQ(readText(*bob, kMapTo), "webuser");
      EXPECT_STREQ(readText(*bob, kExpireDate), "");
      EXPECT_FALSE(readFlag(*bob, kDisabled));
    } else {
      EXPECT_FALSE(result.changed()) << c.password;
      EXPECT_FALSE(result.complete());
      EXPECT_TRUE(bob->isPlaceholder()) << c.password;
    }
  }
}

TEST(HtpasswdImportTest, ExistingUsersRepeatedNamesAndNamesTheDatabaseCannotHold) {
  const std::string file = std::string("john:") + kPbkdf2 + "\n" +      // 1: exists
                           "newbie:" + kPbkdf2 + "\n" +                  // 2
                           "NEWBIE:" + kPbkdf2 + "\n" +                  // 3: repeated
                           "expirationrequired:" + kPbkdf2 + "\n" +      // 4: a value's name
                           "bo;b:" + kPbkdf2 + "\n" +                    // 5: unstorable
                           ":" + kPbkdf2 + "\n" +                        // 6: empty name
                           "garbage\n";                                  // 7: no colon
  struct Case {
    bool replace;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {false,
       {"left alone: already exists", "imported (pbkdf2-sha256)", "left alone: already on line 2",
        "not imported: the name is held by a value of the authority",
        "not imported: User name contains characters that can not be stored !",
        "not imported: User name can not be empty !",
        "not imported: not a user:password line"}},
      {true,
       {"replaced (pbkdf2-sha256)", "imported (pbkdf2-sha256)", "left alone: already on line 2",
        "not imported: the name is held by a value of the authority",
        "not imported: User name contains characters that can not be stored !",
        "not imported: User name can not be empty !",
        "not imported: not a user:password line"}},
  };
  for (const Case& c : cases) {
    Staff fresh;
    const HtpasswdImport result = fresh.import(file, mapped(false, c.replace));
    EXPECT_EQ(result.refusal, ImportRefusal::kNone);
    ASSERT_EQ(result.lines.size(), c.texts.size());
    for (std::size_t i = 0; i < c.texts.size(); ++i) {
      EXPECT_EQ(result.lines[i].line, static_cast<int>(i + 1));
      EXPECT_EQ(importOutcomeText(result.lines[i]), c.texts[i]) << i;
    }
    EXPECT_EQ(result.imported, 1);
    EXPECT_EQ(result.replaced, c.replace ? 1 : 0);
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(fresh.users(), "John newbie ");
    // A replaced user gets the file's password and keeps everything else.
    const ConfigSection& john = *findUser(fresh.authority, "John");
    EXPECT_STREQ(readText(john, kPassword), c.replace ? kPbkdf2 : "old");
    EXPECT_TRUE(readFlag(john, kDoNotMap));
    EXPECT_TRUE(readFlag(john, kDisabled));
    EXPECT_STREQ(readText(*findUser(fresh.authority, "newbie"), kPassword), kPbkdf2);
  }
}

TEST(HtpasswdImportTest, RefusedImportsChangeNothing) {
  Staff staff;
  const std::string file = std::string("john:") + kPbkdf2 + "\nbob:" + kPbkdf2 + "\n";
  // New users without an NT account to map them to: nothing is stored, and the lines still
  // tell what each would have become.
  HtpasswdImport result = staff.import(file, {std::nullopt, false, true});
  EXPECT_EQ(result.refusal, ImportRefusal::kMapToNeeded);
  EXPECT_FALSE(result.changed());
  EXPECT_FALSE(result.complete());
  ASSERT_EQ(result.lines.size(), 2u);
  EXPECT_EQ(result.lines[1].outcome, ImportOutcome::kImported);
  EXPECT_EQ(staff.users(), "John ");
  EXPECT_STREQ(readText(*findUser(staff.authority, "John"), kPassword), "old");
  // Only replacing needs no NT account.
  result = staff.import(std::string("john:") + kPbkdf2 + "\n", {std::nullopt, false, true});
  EXPECT_EQ(result.refusal, ImportRefusal::kNone);
  EXPECT_TRUE(result.complete());
  EXPECT_STREQ(readText(*findUser(staff.authority, "John"), kPassword), kPbkdf2);
  // A missing authority.
  result = importHtpasswd(*nullSection(), parseHtpasswd(file), mapped());
  EXPECT_EQ(result.refusal, ImportRefusal::kAuthorityNotFound);
  EXPECT_FALSE(result.changed());
}

}  // namespace
}  // namespace gatekeeper::accountdb
