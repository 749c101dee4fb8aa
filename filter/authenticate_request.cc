#include "filter/authenticate_request.h"

#include <cstring>
#include <string>

#include "accountdb/binding_key.h"
#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "accountdb/expiry_date.h"
#include "accountdb/value_readers.h"
#include "configstore/config_section.h"
#include "configstore/section_directory.h"
#include "filter/event_log.h"
#include "filter/server_variable.h"
#include "filter/verified_logons.h"
#include "passhash/password_hash.h"
#include "passhash/secure_memory.h"
#include "platform/isapi_host_extension.h"

namespace gatekeeper {
namespace {

using namespace accountdb;

// The event text of a mapping refused because the account's name or password does not fit the
// server's credential buffers. It is logged under the id of "NT account not found": the account
// cannot be used.
constexpr char kAccountTooLongDescription[] =
    "MapTo Account name or password too long for the server";

// The user a decision reads: its section in the tree, or its lines in the text when the
// authority's directory found it. Reads as readFlag and readText do.
class UserRecord {
 public:
  void setSection(const ConfigSection* section) {
    section_ = section;
    inText_ = false;
  }
  void setPlain(const PlainChild& child) {
    plain_ = child;
    inText_ = true;
  }
  bool missing() const { return !inText_ && section_->isPlaceholder(); }
  bool flag(const char* name) const {
    return inText_ ? plain_.getInt(name) != 0 : readFlag(*section_, name);
  }
  std::string text(const char* name) const {
    return inText_ ? plain_.getString(name) : std::string(readText(*section_, name));
  }
  bool hasValue(const char* name) const {
    return inText_ ? plain_.hasValue(name) : !section_->valueByName(name)->isPlaceholder();
  }
  // The user's name as stored.
  std::string name() const {
    if (inText_) return std::string(plain_.name());
    return section_->name() != nullptr ? section_->name() : "";
  }

 private:
  const ConfigSection* section_ = nullSection();
  PlainChild plain_;
  bool inText_ = false;
};

// One decision: the request, its credentials and what it has found so far.
class Decision {
 public:
  Decision(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_AUTHENT* credentials,
           const ConfigSection& database, int64_t nowUtc, EventLogFile* eventLog,
           VerifiedLogons* verifiedLogons, const EventDestination* events,
           const SectionDirectories* directories)
      : pfc_(pfc), credentials_(credentials), database_(database), now_(nowUtc),
        eventLog_(eventLog), verifiedLogons_(verifiedLogons), events_(events),
        directories_(directories) {
    sentName_ = boundedText(credentials->pszUser, credentials->cbUserBuff);
    sentPassword_ = boundedText(credentials->pszPassword, credentials->cbPasswordBuff);
  }
  ~Decision() { passhash::wipe(sentPassword_.data(), sentPassword_.size()); }

  DWORD run();

 private:
  // The text in a server buffer, never reading past its size.
  static std::string boundedText(const char* buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return std::string();
    return std::string(buffer, strnlen(buffer, size));
  }

  // SERVER_NAME, read once for the binding key and the event line.
  const ServerVariable<kHostBufferSize>& host() {
    if (!hostRead_) {
      host_.read(pfc_, "SERVER_NAME");
      hostRead_ = true;
    }
    return host_;
  }

  void log(EventId id, const char* parameter1, const char* parameter2,
           const char* description = nullptr) {
    const char* logPath =
        events_ != nullptr ? events_->pathFor(id) : eventLogPath(&database_, id);
    if (logPath == nullptr) return;
    ServerVariable<kHostBufferSize> resource;
    resource.read(pfc_, "SCRIPT_NAME");
    writeEvent(logPath, id, description != nullptr ? description : eventDescription(id),
               parameter1, parameter2, EventRequestFields{resource.text, host().text}, now_,
               eventLog_);
  }
  // Logs the event for the user and the authority: the sent name and the stored authority name.
  void logUser(EventId id) { log(id, sentName_.c_str(), authority_->name()); }

  DWORD refuse(DWORD lastError) {
    SetLastError(lastError);
    return SF_STATUS_REQ_ERROR;
  }
  // Tells the server of a failed logon by the sent name, for its own log (reason nullptr: the
  // authority knows no such user). A host extension of our Apache host: IIS keeps logs of its
  // own and is not asked; a host that refuses the request leaves the last error unchanged.
  void reportFailedLogon(const char* reason) {
#ifndef _WIN32
    if (pfc_->ServerSupportFunction == nullptr) return;
    const DWORD lastError = GetLastError();
    pfc_->ServerSupportFunction(pfc_, SF_REQ_REPORT_FAILED_LOGON,
                                const_cast<char*>(sentName_.c_str()),
                                reinterpret_cast<ULONG_PTR>(reason), 0);
    SetLastError(lastError);
#else
    (void)reason;
#endif
  }
  // A logon refused for the user's own credentials or account: the event, the report for the
  // server's log, then the deny response.
  DWORD denyLogon(EventId id, const char* reason, DWORD lastError = 0) {
    logUser(id);
    reportFailedLogon(reason);
    return deny(lastError);
  }

  DWORD deny(DWORD lastError = 0) {
    if (pfc_->ServerSupportFunction != nullptr) {
      pfc_->ServerSupportFunction(pfc_, SF_REQ_SEND_RESPONSE_HEADER,
                                  const_cast<char*>(kDenyStatus), 0, 0);
    }
    if (lastError != 0) SetLastError(lastError);
    return SF_STATUS_REQ_ERROR;
  }

  void findUser();
  bool passwordMatches() const;
  DWORD checkExpiry();
  DWORD mapToAccount();

  HTTP_FILTER_CONTEXT* pfc_;
  HTTP_FILTER_AUTHENT* credentials_;
  const ConfigSection& database_;
  const int64_t now_;
  EventLogFile* const eventLog_;
  VerifiedLogons* const verifiedLogons_;
  const EventDestination* const events_;
  const SectionDirectories* const directories_;
  std::string sentName_;
  std::string sentPassword_;
  ServerVariable<kHostBufferSize> host_;
  bool hostRead_ = false;
  const ConfigSection* authority_ = nullptr;
  UserRecord user_;
};

DWORD Decision::run() {
  const ConfigSection* main = database_.sectionByName(kMain);
  if (readFlag(*main, kDisable)) {
    log(kEventFilterDisabled, "", "");
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
  }
  if (sentName_.empty()) {
    log(kEventAnonymousRequest, "", "");
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
  }

  if (!host().readable) {
    log(kEventServerNameMissing, "", "");
    return refuse(ERROR_FILE_NOT_FOUND);
  }
  ServerVariable<kPortBufferSize> port;
  const bool portRead = port.read(pfc_, "SERVER_PORT");
  const std::string key = bindingKey(host().text, portRead ? port.buffer : nullptr);

  const ConfigValue* binding = main->sectionByName(kServers)->valueByName(key.c_str());
  if (binding->isPlaceholder()) {
    log(kEventSiteNotHandled, key.c_str(), "");
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
  const char* authorityName = binding->getString();
  authority_ = database_.sectionByName(kAccounts)->sectionByName(authorityName);
  if (authority_->isPlaceholder()) {
    log(kEventAuthorityNotFound, key.c_str(), authorityName);
    return refuse(ERROR_FILE_NOT_FOUND);
  }

  findUser();
  if (user_.missing()) return denyLogon(kEventUserNotFound, nullptr, ERROR_ACCESS_DENIED);
  if (user_.flag(kDisabled)) {
    return denyLogon(kEventAccountDisabled, "account disabled", ERROR_ACCESS_DENIED);
  }
  if (user_.flag(kDoNotMap)) {
    logUser(kEventNotMapped);
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
  }
  if (!passwordMatches()) return denyLogon(kEventInvalidPassword, "Password Mismatch");
  if (!user_.flag(kNoExpiration)) {
    const DWORD expired = checkExpiry();
    if (expired != 0) return expired;
  }
  return mapToAccount();
}

// The user section of the sent name in the authority, through the authority's directory
// when it has one.
void Decision::findUser() {
  const SectionDirectory* directory =
      directories_ != nullptr ? directories_->forSection(*authority_) : nullptr;
  if (directory != nullptr) {
    PlainChild child;
    switch (directory->find(sentName_.c_str(), &child)) {
      case SectionDirectory::Lookup::kFound: user_.setPlain(child); return;
      case SectionDirectory::Lookup::kAbsent: user_.setSection(nullSection()); return;
      case SectionDirectory::Lookup::kCannotTell: break;
    }
  }
  user_.setSection(authority_->sectionByName(sentName_.c_str()));
}

// Whether the password sent is the user's: a stored hash verified by its scheme (a logon
// verified before answers from the cache), a plain text compared exactly.
bool Decision::passwordMatches() const {
  std::string stored = user_.text(kPassword);
  const bool matches =
      passhash::schemeOf(stored.c_str()) == passhash::Scheme::kPlain ? sentPassword_ == stored
      : verifiedLogons_ != nullptr ? verifiedLogons_->verify(stored.c_str(), sentPassword_)
                                   : passhash::verifyPassword(stored.c_str(), sentPassword_);
  passhash::wipe(stored.data(), stored.size());
  return matches;
}

// Steps on the user's expiry date; 0 when the user may go on to the mapping.
DWORD Decision::checkExpiry() {
  const std::string text = user_.text(kExpireDate);
  if (text.empty()) {
    if (readFlag(*authority_, kExpirationRequired)) {
      return denyLogon(kEventExpirationDateMissing, "expiration date missing");
    }
    return 0;
  }
  ExpiryDate date;
  if (!parseExpiryDate(text.c_str(), &date)) {
    // This event names the user as stored, not as sent.
    log(kEventDateFormatError, user_.name().c_str(), authority_->name());
    return refuse(ERROR_BAD_CONFIGURATION);
  }
  if (date.year > kLastExpiryYear) {
    return denyLogon(kEventDateAfter2037, "expiration date after 2037 not supported");
  }
  if (isExpiredAt(date, now_)) return denyLogon(kEventAccountExpired, "account expired");
  return 0;
}

// Hands the server the mapped account's name and password, or refuses.
DWORD Decision::mapToAccount() {
  if (!user_.hasValue(kMapTo)) {
    logUser(kEventMapToMissing);
    return deny();
  }
  const std::string mapTo = user_.text(kMapTo);
  const char* accountName = mapTo.c_str();
  const ConfigSection* account = database_.sectionByName(kNtAccounts)->sectionByName(accountName);
  if (account->isPlaceholder()) {
    log(kEventNtAccountNotFound, accountName, "");
    return deny();
  }

  // The account's name as stored and its password must fit the server's buffers whole: a
  // truncated name or password would log the request on as somebody else or fail obscurely.
  const char* storedName = account->name() != nullptr ? account->name() : "";
  const char* password = readText(*account, kPassword);
  const std::size_t nameBytes = std::strlen(storedName) + 1;
  const std::size_t passwordBytes = std::strlen(password) + 1;
  if (credentials_->pszUser == nullptr || credentials_->pszPassword == nullptr ||
      nameBytes > credentials_->cbUserBuff || passwordBytes > credentials_->cbPasswordBuff) {
    log(kEventNtAccountNotFound, accountName, "", kAccountTooLongDescription);
    return deny();
  }

  logUser(kEventAuthenticated);
  std::memcpy(credentials_->pszUser, storedName, nameBytes);
  std::memcpy(credentials_->pszPassword, password, passwordBytes);
  return SF_STATUS_REQ_HANDLED_NOTIFICATION;
}

}  // namespace

DWORD authenticateRequest(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_AUTHENT* credentials,
                          const ConfigSection& database, int64_t nowUtc,
                          EventLogFile* eventLog, VerifiedLogons* verifiedLogons,
                          const EventDestination* events,
                          const SectionDirectories* directories) {
  return Decision(pfc, credentials, database, nowUtc, eventLog, verifiedLogons, events,
                  directories)
      .run();
}

}  // namespace gatekeeper
