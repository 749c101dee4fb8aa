#include "accountdb/database_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "accountdb/binding_key.h"
#include "accountdb/database_names.h"
#include "accountdb/expiry_date.h"
#include "accountdb/storable_text.h"
#include "passhash/password_hash.h"
#include "accountdb/user_entry.h"
#include "accountdb/value_readers.h"
#include "configstore/config_file.h"
#include "configstore/text_stream.h"
#include "platform/isapi.h"
#include "platform/names.h"
#include "platform/system_error.h"

namespace gatekeeper::accountdb {
namespace {

// A problem and the line of the file it concerns (0: none).
struct Finding {
  int line;
  std::string text;
};

std::string quoted(std::string_view name) {
  std::string out = "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + '"';
}

std::string quoted(const char* name) { return quoted(std::string_view(name ? name : "")); }

std::string atLine(int line) { return "line " + std::to_string(line) + ": "; }

// Entries with a name, found by name ignoring case (platform/names.h) as the tree finds them.
template <typename Entry>
class NamedList {
 public:
  Entry* find(const std::string& name) const {
    std::uint64_t hash = 0;
    if (!platform::nameHash(name.c_str(), &hash)) return findAmong(name, all_);
    const auto [begin, end] = hashed_.equal_range(hash);
    for (auto it = begin; it != end; ++it) {
      if (platform::namesEqual(entries_[it->second]->name.c_str(), name.c_str())) {
        return entries_[it->second].get();
      }
    }
    return findAmong(name, unhashed_);
  }
  Entry* add(std::unique_ptr<Entry> entry) {
    const std::size_t index = entries_.size();
    std::uint64_t hash = 0;
    if (platform::nameHash(entry->name.c_str(), &hash)) {
      hashed_.emplace(hash, index);
    } else {
      unhashed_.push_back(index);
    }
    all_.push_back(index);
    entries_.push_back(std::move(entry));
    return entries_.back().get();
  }

 private:
  Entry* findAmong(const std::string& name, const std::vector<std::size_t>& indexes) const {
    for (const std::size_t index : indexes) {
      if (platform::namesEqual(entries_[index]->name.c_str(), name.c_str())) {
        return entries_[index].get();
      }
    }
    return nullptr;
  }

  std::vector<std::unique_ptr<Entry>> entries_;
  std::unordered_multimap<std::uint64_t, std::size_t> hashed_;
  std::vector<std::size_t> unhashed_;
  std::vector<std::size_t> all_;
};

// A name that the file gives a second time under one parent: the loader reads the second into
// the first.
struct Repeat {
  std::string name;
  int line;
  std::string firstName;
  int firstLine;
};

struct OutlineValue {
  std::string name;
  int line;
};

// The sections and values of the file as the loader reads them, with the line where each name
// first appears and the lines that repeat it.
struct OutlineSection {
  std::string name;
  int line = 0;
  NamedList<OutlineSection> sections;
  NamedList<OutlineValue> values;
  std::vector<Repeat> sectionRepeats;
  std::vector<Repeat> valueRepeats;

  const OutlineSection* section(const char* childName) const {
    return sections.find(childName ? childName : "");
  }
  int sectionLine(const char* childName) const {
    const OutlineSection* child = section(childName);
    return child != nullptr ? child->line : 0;
  }
  int valueLine(const char* valueName) const {
    const OutlineValue* value = values.find(valueName ? valueName : "");
    return value != nullptr ? value->line : 0;
  }
};

const OutlineSection* childOf(const OutlineSection* parent, const char* name) {
  return parent != nullptr ? parent->section(name) : nullptr;
}

// What the line parser of the format says about a line the loader skips; empty for the lines
// that are skipped by design (blank, comment, a value line of an empty text as the writer
// writes it).
std::string unreadableLine(std::string_view text, const std::string& innermostOpen,
                           int innermostLine) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (text.empty() || text.front() == ';') return std::string();
  switch (text.front()) {
    case '(': {
      const std::size_t close = text.find(')');
      const std::size_t equals = close == std::string_view::npos ? close : text.find('=', close);
      if (equals != std::string_view::npos && equals + 1 == text.size()) return std::string();
      if (close == std::string_view::npos) return "a value line without its type: it is skipped";
      // Without "=" the rest of the line may be a value (a password): it is not shown.
      if (equals == std::string_view::npos) return "a value line without \"=\": it is skipped";
      const std::string_view name = text.substr(close + 1, equals - close - 1);
      return "value " + quoted(name) +
             " does not read (an unknown type word, or a value that does not scan as its "
             "type): it is skipped";
    }
    case '}':
      if (innermostOpen.empty()) return quoted(text) + " closes no open section: it is skipped";
      return quoted(text) + " does not close the open section " + quoted(innermostOpen) +
             " of line " + std::to_string(innermostLine) + ": it is skipped";
    case '{':
      return quoted(text) +
             " does not read as a section opening (a blank after \"{\", then the name and "
             "\":\"): it is skipped, and the section's lines are read into the enclosing one";
    default:
      return quoted(text) + " does not read: it is skipped";
  }
}

// Reads the file line by line with the format's own line parser, as the loader reads it.
class OutlineReader {
 public:
  struct Open {
    const OutlineSection* section;
    int line;  // of this opening
  };

  // false when the file cannot be opened.
  bool read(const std::string& path, std::vector<Finding>* findings);

  OutlineSection root;
  std::vector<Open> openAtEnd;  // sections left open at the end, outermost first
  int lastLine = 0;

 private:
  void onSectionOpen(TextStream* stream, int line);
  void onValue(TextStream* stream, int line);

  std::vector<std::pair<OutlineSection*, int>> open_;
};

bool OutlineReader::read(const std::string& path, std::vector<Finding>* findings) {
  TextStream stream = TextStream::openForReading(path.c_str());
  if (!stream.isOpen()) return false;
  int line = 0;
  bool startsLine = true;
  bool longLine = false;
  bool inBlock = false;
  int blockLine = 0;
  std::string blockName;
  std::uint64_t before = stream.position();
  while (stream.readLine()) {
    const std::uint64_t after = stream.position();
    const std::string_view piece(stream.lineBuffer(), static_cast<std::size_t>(after - before));
    before = after;
    const bool endsLine = !piece.empty() && piece.back() == '\n';
    if (startsLine) {
      ++line;
      longLine = !endsLine && stream.remainingBytes() > 0;
      if (longLine) {
        findings->push_back({line, atLine(line) + "longer than " +
                                       std::to_string(TextStream::kLineBufferSize - 1) +
                                       " characters: the line is read in pieces, each as a "
                                       "line of its own"});
      }
    }
    startsLine = endsLine;

    const StreamToken token = stream.parseLine();
    if (inBlock) {
      if (token == kTokenBlockClose) inBlock = false;
      continue;
    }
    switch (token) {
      case kTokenSectionOpen: onSectionOpen(&stream, line); break;
      case kTokenSectionClose:
        if (!open_.empty()) open_.pop_back();
        break;
      case kTokenBlockOpen:
        inBlock = true;
        blockLine = line;
        blockName = stream.lastName(nullptr);
        break;
      case kTokenInt:
      case kTokenFloat:
      case kTokenString:
      case kTokenDouble:
      case kTokenInt64: onValue(&stream, line); break;
      case kTokenNothing: {
        if (longLine) break;
        const std::string why =
            open_.empty() ? unreadableLine(piece, std::string(), 0)
                          : unreadableLine(piece, open_.back().first->name, open_.back().second);
        if (!why.empty()) findings->push_back({line, atLine(line) + why});
        break;
      }
      case kTokenOther:
        if (!longLine && piece.find_first_not_of(" \t\r\n") != std::string_view::npos) {
          findings->push_back(
              {line, atLine(line) + "the line is not one of the format: it is skipped"});
        }
        break;
      default: break;
    }
  }
  if (inBlock) {
    findings->push_back({blockLine, atLine(blockLine) + "block " + quoted(blockName) +
                                        " is never closed: every later line of the file is "
                                        "read as one of its bytes"});
  }
  for (const auto& [section, openedAt] : open_) openAtEnd.push_back({section, openedAt});
  lastLine = line;
  return true;
}

void OutlineReader::onSectionOpen(TextStream* stream, int line) {
  OutlineSection* parent = open_.empty() ? &root : open_.back().first;
  const std::string name = stream->lastName(nullptr);
  OutlineSection* child = parent->sections.find(name);
  if (child != nullptr) {
    parent->sectionRepeats.push_back({name, line, child->name, child->line});
  } else {
    auto added = std::make_unique<OutlineSection>();
    added->name = name;
    added->line = line;
    child = parent->sections.add(std::move(added));
  }
  open_.push_back({child, line});
}

void OutlineReader::onValue(TextStream* stream, int line) {
  OutlineSection* parent = open_.empty() ? &root : open_.back().first;
  const char* itemName = nullptr;
  const std::string name = stream->lastName(&itemName);  // the value's name, item name apart
  if (const OutlineValue* first = parent->values.find(name)) {
    parent->valueRepeats.push_back({name, line, first->name, first->line});
    return;
  }
  parent->values.add(std::make_unique<OutlineValue>(OutlineValue{name, line}));
}

// Where and why the filter does not load a file that could be read.
std::string loadStop(const OutlineReader& outline, const ConfigFile& database) {
  if (outline.openAtEnd.empty()) {
    return "the filter does not load the file: " + database.lastFailure();
  }
  std::string path;
  for (const OutlineReader::Open& open : outline.openAtEnd) {
    if (!path.empty()) path += '/';
    path += open.section->name;
  }
  return atLine(outline.lastLine) + "the file ends inside section " + quoted(path) +
         ", opened at line " + std::to_string(outline.openAtEnd.back().line) +
         " and never closed: the filter does not load the file";
}

// The tail of a finding about a section whose name the file gives twice.
std::string readAsOne(int firstLine) {
  return ": the filter reads both as one, and where both give a value of one name, line " +
         std::to_string(firstLine) + "'s wins";
}

// Whether text is a port as the server reports it in SERVER_PORT: 1 to 65535 in decimal,
// without leading zeros.
bool isServerPort(std::string_view text) {
  if (text.empty() || text.size() > 5 || text.front() == '0') return false;
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= 65535;
}

// The rules about the loaded tree, with lines taken from the outline.
class TreeCheck {
 public:
  TreeCheck(const ConfigSection& database, const OutlineSection& outline,
            std::vector<Finding>* findings)
      : database_(database), outline_(outline), findings_(findings) {}

  void run() {
    for (const Repeat& repeat : outline_.sectionRepeats) {
      add(repeat.line, "section " + quoted(repeat.name) + " repeats section " +
                           quoted(repeat.firstName) + " of line " +
                           std::to_string(repeat.firstLine) + readAsOne(repeat.firstLine));
    }
    checkBindings();
    checkAuthorities();
    checkNtAccounts();
  }

 private:
  void add(int line, const std::string& text) {
    findings_->push_back({line, line > 0 ? atLine(line) + text : text});
  }

  // A flag that holds items but no number reads as unset (accountdb/value_readers.h), which
  // whoever wrote it as text ("(string)disabled=1") did not mean.
  void checkFlag(const ConfigSection& section, const char* flag, const OutlineSection* outline,
                 int line, const std::string& owner) {
    const ConfigValue* value = section.valueByName(flag);
    if (value->isPlaceholder() || value->count() == 0 || value->indexOfType(kItemInt) != 0) return;
    const int valueLine = outline != nullptr ? outline->valueLine(flag) : 0;
    add(valueLine > 0 ? valueLine : line, owner + ": the flag " + std::string(flag) +
                                              " holds no number, so the filter reads it as unset");
  }

  void checkBindings();
  void checkBindingKey(const std::string& key, int line);
  void checkAuthorities();
  void checkUser(const ConfigSection& authority, const ConfigSection& user,
                 const OutlineSection* outline, int line);
  void checkNtAccounts();

  const ConfigSection& database_;
  const OutlineSection& outline_;
  std::vector<Finding>* findings_;
};

void TreeCheck::checkBindings() {
  const ConfigSection* main = database_.sectionByName(kMain);
  if (main->isPlaceholder()) {
    add(0, "no section MAIN: no site is bound, so the filter protects no site");
    return;
  }
  checkFlag(*main, kDisable, outline_.section(kMain), outline_.sectionLine(kMain),
            "section MAIN");
  const ConfigSection* servers = main->sectionByName(kServers);
  if (servers->isPlaceholder()) {
    add(outline_.sectionLine(kMain),
        "section MAIN holds no section SERVERS: no site is bound, so the filter protects no "
        "site");
    return;
  }
  const OutlineSection* outline = childOf(outline_.section(kMain), kServers);
  const ConfigSection* accounts = database_.sectionByName(kAccounts);
  for (int32_t i = 1; i <= servers->count(); ++i) {
    const ConfigValue* binding = servers->valueByIndex(i);
    if (binding->isPlaceholder()) continue;
    const std::string key = binding->name() != nullptr ? binding->name() : "";
    const int line = outline != nullptr ? outline->valueLine(key.c_str()) : 0;
    checkBindingKey(key, line);
    const char* authority = textOf(*binding);
    const std::string what = "binding " + quoted(key);
    const char* refused = ": the filter refuses every request to the site";
    if (*authority == '\0') {
      add(line, what + " names no authority" + refused);
    } else if (accounts->sectionByName(authority)->isPlaceholder()) {
      add(line, what + " names authority " + quoted(authority) +
                    (accounts->isPlaceholder() ? ", but there is no section ACCOUNTS"
                                               : ", which ACCOUNTS does not hold") +
                    refused);
    }
  }
  if (outline == nullptr) return;
  for (const Repeat& repeat : outline->valueRepeats) {
    add(repeat.line, "binding " + quoted(repeat.name) + " repeats binding " +
                         quoted(repeat.firstName) + " of line " +
                         std::to_string(repeat.firstLine) +
                         ": the filter takes the first, which names authority " +
                         quoted(readText(*servers, repeat.firstName.c_str())));
  }
}

void TreeCheck::checkBindingKey(const std::string& key, int line) {
  const std::size_t bar = key.find('|');
  const std::string host = key.substr(0, bar);
  const std::string what = "binding " + quoted(key);
  if (host.empty()) {
    add(line, what + " is never used: it names no host");
    return;
  }
  if (!isStorableBindingHost(host)) {
    add(line, what + ": the host " + quoted(host) + " is not a name the database can store");
  }
  if (bar == std::string::npos) return;
  const std::string port = key.substr(bar + 1);
  if (!isServerPort(port)) {
    add(line, what + " is never used: the server never reports the port " + quoted(port));
    return;
  }
  const std::string looked = bindingKey(host, port.c_str());
  if (!platform::namesEqual(looked.c_str(), key.c_str())) {
    add(line, what + " is never used: the filter looks a site on port " + port + " up as " +
                  quoted(looked));
  }
}

void TreeCheck::checkAuthorities() {
  const ConfigSection* accounts = database_.sectionByName(kAccounts);
  const OutlineSection* outline = outline_.section(kAccounts);
  for (int32_t i = 1; i <= accounts->count(); ++i) {
    const ConfigSection* authority = accounts->sectionByIndex(i);
    if (authority->isPlaceholder()) continue;
    const OutlineSection* authorityOutline = childOf(outline, authority->name());
    const int line = authorityOutline != nullptr ? authorityOutline->line : 0;
    if (!isStorableName(authority->name() ? authority->name() : "")) {
      add(line, "authority " + quoted(authority->name()) +
                    ": the name is not one the database can store");
    }
    checkFlag(*authority, kExpirationRequired, authorityOutline, line,
              "authority " + quoted(authority->name()));
    for (int32_t j = 1; j <= authority->count(); ++j) {
      const ConfigSection* user = authority->sectionByIndex(j);
      if (user->isPlaceholder()) continue;
      const OutlineSection* userOutline = childOf(authorityOutline, user->name());
      checkUser(*authority, *user, userOutline, userOutline != nullptr ? userOutline->line : line);
    }
    if (authorityOutline == nullptr) continue;
    for (const Repeat& repeat : authorityOutline->sectionRepeats) {
      add(repeat.line, "user " + quoted(repeat.name) + " of authority " +
                           quoted(authority->name()) + " repeats user " +
                           quoted(repeat.firstName) + " of line " +
                           std::to_string(repeat.firstLine) + readAsOne(repeat.firstLine));
    }
  }
  if (outline == nullptr) return;
  for (const Repeat& repeat : outline->sectionRepeats) {
    add(repeat.line, "authority " + quoted(repeat.name) + " repeats authority " +
                         quoted(repeat.firstName) + " of line " +
                         std::to_string(repeat.firstLine) + readAsOne(repeat.firstLine));
  }
}

void TreeCheck::checkUser(const ConfigSection& authority, const ConfigSection& user,
                          const OutlineSection* outline, int line) {
  const std::string name = user.name() != nullptr ? user.name() : "";
  const std::string who = "user " + quoted(name) + " of authority " + quoted(authority.name());
  const char* refused = ": the filter refuses the user";
  if (!isStorableName(name)) add(line, who + ": the name is not one the database can store");
  if (!isStorableText(readText(user, kPassword))) {
    add(line, who + ": the password is not a text the database can store");
  }
  if (findUser(authority, name)->isPlaceholder()) {
    add(line, who + " is hidden by the authority's value of that name: the filter never finds "
                    "the user");
    return;
  }
  for (const char* flag : {kDisabled, kDoNotMap, kNoExpiration}) {
    checkFlag(user, flag, outline, line, who);
  }
  if (readFlag(user, kDoNotMap)) return;  // the server checks the credentials itself

  const passhash::Scheme scheme = passhash::schemeOf(readText(user, kPassword));
  if (!passhash::canVerify(scheme)) {
    add(line, who + ": the password is a " + passhash::schemeName(scheme) +
                  " hash, which this system cannot verify" + refused);
  }

  const ConfigValue* mapTo = user.valueByName(kMapTo);
  const char* account = textOf(*mapTo);
  const ConfigSection* ntAccounts = database_.sectionByName(kNtAccounts);
  if (*account == '\0') {
    add(line, who + " is mapped to no NT account (no MapTo)" + refused);
  } else if (ntAccounts->sectionByName(account)->isPlaceholder()) {
    add(line, who + " is mapped to NT account " + quoted(account) +
                  (ntAccounts->isPlaceholder() ? ", but there is no section NTACCOUNTS"
                                               : ", which NTACCOUNTS does not hold") +
                  refused);
  }

  if (readFlag(user, kNoExpiration)) return;
  const char* date = readText(user, kExpireDate);
  if (*date == '\0') {
    if (readFlag(authority, kExpirationRequired)) {
      add(line, who + " has no expiry date, which the authority requires (ExpirationRequired)" +
                    refused);
    }
    return;
  }
  switch (judgeExpiryDate(date)) {
    case ExpiryDateWarning::kUnreadable:
      add(line, who + ": the expiry date " + quoted(date) + " does not read as month/day/year" +
                    refused);
      break;
    case ExpiryDateWarning::kAfterLastYear:
      add(line, who + ": the expiry date " + quoted(date) + " lies after " +
                    std::to_string(kLastExpiryYear) + refused);
      break;
    case ExpiryDateWarning::kNone: break;
  }
}

void TreeCheck::checkNtAccounts() {
  const ConfigSection* ntAccounts = database_.sectionByName(kNtAccounts);
  const OutlineSection* outline = outline_.section(kNtAccounts);
  for (int32_t i = 1; i <= ntAccounts->count(); ++i) {
    const ConfigSection* account = ntAccounts->sectionByIndex(i);
    if (account->isPlaceholder()) continue;
    const std::string what = "NT account " + quoted(account->name());
    const int line = outline != nullptr ? outline->sectionLine(account->name()) : 0;
    if (!isStorableName(account->name() ? account->name() : "")) {
      add(line, what + ": the name is not one the database can store");
    }
    if (!isStorableText(readText(*account, kPassword))) {
      add(line, what + ": the password is not a text the database can store");
    }
    // The filter hands both to the server whole; a server is sure to give buffers of this size.
    if (std::strlen(account->name() ? account->name() : "") >= SF_MAX_USERNAME ||
        std::strlen(readText(*account, kPassword)) >= SF_MAX_PASSWORD) {
      add(line, what + ": the name or password is longer than " +
                    std::to_string(SF_MAX_USERNAME - 1) +
                    " characters, more than the server's credential buffers are sure to "
                    "hold: the filter refuses the users mapped to it");
    }
  }
  if (outline == nullptr) return;
  for (const Repeat& repeat : outline->sectionRepeats) {
    add(repeat.line, "NT account " + quoted(repeat.name) + " repeats NT account " +
                         quoted(repeat.firstName) + " of line " +
                         std::to_string(repeat.firstLine) + readAsOne(repeat.firstLine));
  }
}

}  // namespace

std::vector<std::string> checkDatabaseFile(const std::string& path) {
  std::vector<std::string> result;
  ConfigFile database(path.c_str(), 0);
  const bool loaded = database.loadComplete() != 0;
  OutlineReader outline;
  std::vector<Finding> findings;
  if (!outline.read(path, &findings)) {
    std::string reason = loaded ? platform::readProblem(path) : database.lastFailure();
    if (reason.empty()) reason = "the file cannot be opened";
    result.push_back("cannot read " + path + ": " + reason);
    return result;
  }
  if (!loaded) result.push_back(loadStop(outline, database));
  TreeCheck(database, outline.root, &findings).run();
  std::stable_sort(findings.begin(), findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  for (Finding& finding : findings) result.push_back(std::move(finding.text));
  return result;
}

}  // namespace gatekeeper::accountdb
