// Importing an Apache password file (made by htpasswd) into an authority: the file's users
// become users of the authority with their password hashes kept as they are, so that nobody
// has to choose a new password. Shared by every program that imports one (the command line);
// no output of its own: the result names each user's outcome, and importOutcomeText words it.
//
// The file: one "user:password" a line; blanks at either end of a line, blank lines and lines
// starting with "#" are skipped (Apache's reader does the same), a line may end in CR LF. The
// password is the text after the first ":" up to the next one, as Apache takes it.
//
// A password is kept when its form is a hash that this build verifies and that is not weak
// (passhash/password_hash.h: bcrypt, sha256-crypt, sha512-crypt, yescrypt, pbkdf2-sha256). A
// weak hash (apr1, sha1) is kept only when the import allows it; any other text (DES crypt,
// MD5 crypt, a plain password, an empty one) cannot be verified as a hash, and its user needs
// a new password: such users are listed and not imported.
#ifndef GATEKEEPER_ACCOUNTDB_HTPASSWD_IMPORT_H_
#define GATEKEEPER_ACCOUNTDB_HTPASSWD_IMPORT_H_

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "accountdb/user_rules.h"
#include "configstore/config_section.h"
#include "passhash/password_hash.h"

namespace gatekeeper::accountdb {

// One line of the file that is not skipped.
struct HtpasswdLine {
  int line = 0;          // 1-based line number in the file
  bool hasColon = false;  // false: no "user:password" form (user then holds nothing)
  std::string user;
  std::string password;
};

// The lines of a password file that name users, in the file's order.
std::vector<HtpasswdLine> parseHtpasswd(std::string_view text);

struct HtpasswdImportOptions {
  std::optional<std::string> mapTo;  // the NT account new users are mapped to
  bool allowWeak = false;            // keep apr1 and sha1 hashes too
  bool replace = false;              // an existing user gets the file's password
};

// What became of one line.
enum class ImportOutcome {
  kImported,        // a new user, mapped to mapTo, with the file's hash
  kReplaced,        // an existing user's password replaced by the file's hash; all else kept
  kAlreadyExists,   // an existing user, left alone (no replace)
  kRepeated,        // the name was on an earlier line (names compare ignoring case)
  kWeakScheme,      // a weak hash and weak ones are not allowed: needs a new password
  kNotVerifiable,   // a hash this build cannot verify: needs a new password
  kUnsupportedForm,  // no hash form at all: needs a new password
  kNameRefused,     // the name cannot be a user of the authority (refusal says why)
  kNotAUserLine,    // a line without ":"
};

struct ImportedLine {
  int line = 0;
  std::string user;  // as the file writes it
  ImportOutcome outcome = ImportOutcome::kUnsupportedForm;
  passhash::Scheme scheme = passhash::Scheme::kPlain;  // the password's form
  UserRefusal refusal = UserRefusal::kNone;            // kNameRefused: why
  int earlierLine = 0;                                 // kRepeated: the line taken
};

enum class ImportRefusal {
  kNone,
  kAuthorityNotFound,  // the authority is the placeholder section
  kMapToNeeded,        // new users would be added and no NT account is named for them
};

struct HtpasswdImport {
  ImportRefusal refusal = ImportRefusal::kNone;
  std::vector<ImportedLine> lines;  // every line of the file's, in order (also when refused)
  int imported = 0;
  int replaced = 0;
  // Whether the tree was changed (a user imported or replaced); nothing changes on a refusal.
  bool changed() const { return imported + replaced > 0; }
  // Whether every line became a user of the authority with the file's password.
  bool complete() const {
    return refusal == ImportRefusal::kNone &&
           static_cast<std::size_t>(imported + replaced) == lines.size();
  }
};

// Applies the lines to the authority: first every line is judged, then, unless the import is
// refused, the new users are added (entry of a mapped user: MapTo mapTo, no expiry date,
// enabled) and the replaced users' Password set. New users need mapTo: without it the import
// is refused as a whole and nothing changes (the lines still say what each would have become).
HtpasswdImport importHtpasswd(ConfigSection& authority, std::span<const HtpasswdLine> lines,
                              const HtpasswdImportOptions& options);

// What became of a line, in words after the user's name: "imported", "replaced", "left alone:
// already exists", "needs a new password: weak scheme apr1", ...
std::string importOutcomeText(const ImportedLine& line);

// Whether the outcome leaves the user without the file's password in the authority.
inline bool isNotImported(ImportOutcome outcome) {
  return outcome != ImportOutcome::kImported && outcome != ImportOutcome::kReplaced;
}

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_HTPASSWD_IMPORT_H_
