#include "accountdb/htpasswd_import.h"

#include "accountdb/database_names.h"
#include "accountdb/storable_text.h"
#include "accountdb/user_entry.h"
#include "platform/names.h"

namespace gatekeeper::accountdb {
namespace {

// The blanks that Apache's line reader strips from both ends of a line.
constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// What a password of the file becomes, by its form alone.
ImportOutcome judgePassword(passhash::Scheme scheme, const HtpasswdImportOptions& options) {
  if (scheme == passhash::Scheme::kPlain) return ImportOutcome::kUnsupportedForm;
  if (!passhash::canVerify(scheme)) return ImportOutcome::kNotVerifiable;
  if (passhash::isWeakScheme(scheme) && !options.allowWeak) return ImportOutcome::kWeakScheme;
  return ImportOutcome::kImported;
}

ImportedLine judgeLine(const ConfigSection& authority, const HtpasswdLine& line,
                       const std::vector<const HtpasswdLine*>& earlier,
                       const HtpasswdImportOptions& options) {
  ImportedLine judged;
  judged.line = line.line;
  judged.user = line.user;
  judged.scheme = passhash::schemeOf(line.password);
  if (!line.hasColon) {
    judged.outcome = ImportOutcome::kNotAUserLine;
    return judged;
  }
  // The name first: a name that cannot be a user is refused whatever its password.
  judged.refusal = checkUserEntry(authority, line.user, "");
  if (judged.refusal == UserRefusal::kNone && isAuthorityValueName(authority, line.user)) {
    judged.refusal = UserRefusal::kAlreadyExists;
  }
  if (judged.refusal != UserRefusal::kNone) {
    judged.outcome = ImportOutcome::kNameRefused;
    return judged;
  }
  for (const HtpasswdLine* before : earlier) {
    if (platform::namesEqual(before->user.c_str(), line.user.c_str())) {
      judged.outcome = ImportOutcome::kRepeated;
      judged.earlierLine = before->line;
      return judged;
    }
  }
  const bool exists = !findUser(authority, line.user)->isPlaceholder();
  if (exists && !options.replace) {
    judged.outcome = ImportOutcome::kAlreadyExists;
    return judged;
  }
  judged.outcome = judgePassword(judged.scheme, options);
  // A hash is never a text the file format cannot keep, but the rule does not rely on that.
  if (judged.outcome == ImportOutcome::kImported && !isStorableText(line.password)) {
    judged.outcome = ImportOutcome::kUnsupportedForm;
  }
  if (judged.outcome == ImportOutcome::kImported && exists) {
    judged.outcome = ImportOutcome::kReplaced;
  }
  return judged;
}

}  // namespace

std::vector<HtpasswdLine> parseHtpasswd(std::string_view text) {
  std::vector<HtpasswdLine> lines;
  int number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string_view raw =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    ++number;
    const std::string_view content = trimmed(raw);
    if (content.empty() || content.front() == '#') continue;
    HtpasswdLine line;
    line.line = number;
    const std::size_t colon = content.find(':');
    if (colon != std::string_view::npos) {
      line.hasColon = true;
      line.user = std::string(content.substr(0, colon));
      const std::string_view rest = content.substr(colon + 1);
      line.password = std::string(rest.substr(0, rest.find(':')));
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

HtpasswdImport importHtpasswd(ConfigSection& authority, std::span<const HtpasswdLine> lines,
                              const HtpasswdImportOptions& options) {
  HtpasswdImport result;
  if (authority.isPlaceholder()) {
    result.refusal = ImportRefusal::kAuthorityNotFound;
    return result;
  }
  std::vector<const HtpasswdLine*> taken;  // the lines with a name of their own, so far
  bool addsUsers = false;
  for (const HtpasswdLine& line : lines) {
    result.lines.push_back(judgeLine(authority, line, taken, options));
    const ImportOutcome outcome = result.lines.back().outcome;
    if (outcome != ImportOutcome::kNotAUserLine && outcome != ImportOutcome::kNameRefused &&
        outcome != ImportOutcome::kRepeated) {
      taken.push_back(&line);
    }
    addsUsers = addsUsers || outcome == ImportOutcome::kImported;
  }
  if (addsUsers && !options.mapTo) {
    result.refusal = ImportRefusal::kMapToNeeded;
    return result;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ImportedLine& judged = result.lines[i];
    const HtpasswdLine& line = lines[i];
    if (judged.outcome == ImportOutcome::kImported) {
      UserEntry entry;
      entry.mapped = true;
      entry.ntAccount = *options.mapTo;
      // The entry is added with an empty password, as every entry is checked; the hash, which
      // no new password may look like, is then set as the file holds it.
      const UserRefusal refusal = addUser(authority, line.user, entry);
      if (refusal != UserRefusal::kNone) {  // judged above; kept for safety of the tree
        judged.outcome = ImportOutcome::kNameRefused;
        judged.refusal = refusal;
        continue;
      }
      findUser(authority, line.user)->setString(kPassword, line.password.c_str());
      ++result.imported;
    } else if (judged.outcome == ImportOutcome::kReplaced) {
      findUser(authority, line.user)->setString(kPassword, line.password.c_str());
      ++result.replaced;
    }
  }
  return result;
}

std::string importOutcomeText(const ImportedLine& line) {
  const std::string scheme = passhash::schemeName(line.scheme);
  switch (line.outcome) {
    case ImportOutcome::kImported:
      return "imported (" + scheme + ")";
    case ImportOutcome::kReplaced:
      return "replaced (" + scheme + ")";
    case ImportOutcome::kAlreadyExists:
      return "left alone: already exists";
    case ImportOutcome::kRepeated:
      return "left alone: already on line " + std::to_string(line.earlierLine);
    case ImportOutcome::kWeakScheme:
      return "needs a new password: weak scheme " + scheme;
    case ImportOutcome::kNotVerifiable:
      return "needs a new password: scheme " + scheme + " can not be verified on this system";
    case ImportOutcome::kUnsupportedForm:
      return "needs a new password: unsupported form";
    case ImportOutcome::kNameRefused:
      if (line.refusal == UserRefusal::kAlreadyExists) {
        return "not imported: the name is held by a value of the authority";
      }
      return "not imported: " + refusalSentence(line.refusal, line.user, "").plain();
    case ImportOutcome::kNotAUserLine:
      return "not imported: not a user:password line";
  }
  return "";
}

}  // namespace gatekeeper::accountdb
