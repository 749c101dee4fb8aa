#include "accountdb/option_rules.h"

#include "accountdb/database_names.h"
#include "accountdb/event_ids.h"
#include "accountdb/event_suppression.h"
#include "accountdb/storable_text.h"

namespace gatekeeper::accountdb {
namespace {

// Whether getOrCreateSection(name) on parent gives a section: there is one, or nothing of that
// name (the first child of a name decides, and a value node is no section).
bool canHoldSection(const ConfigSection& parent, const char* name) {
  return !parent.sectionByName(name)->isPlaceholder() || parent.valueByName(name)->isPlaceholder();
}

}  // namespace

std::string optionRefusalText(OptionRefusal refusal) {
  switch (refusal) {
    case OptionRefusal::kNone:
      break;
    case OptionRefusal::kUnstorableLogFile:
      return "Log file can not be stored - it contains a line break or is too long !";
    case OptionRefusal::kNoMainSection:
      return std::string("Internal error - can not add section ") + kMain + " !";
    case OptionRefusal::kValueInTheWay:
      return "Internal error - can not store the general options !";
    case OptionRefusal::kNoDontLogSection:
      return std::string("Internal error - can not add section ") + kDontLog + " !";
  }
  return "";
}

OptionRefusal storeGeneralOptions(ConfigSection& database, const GeneralOptions& options) {
  if (options.logFile && !isStorableText(*options.logFile)) {
    return OptionRefusal::kUnstorableLogFile;
  }
  ConfigSection* main = database.getOrCreateSection(kMain);
  if (main == nullptr) return OptionRefusal::kNoMainSection;
  // A section of either name inside MAIN cannot take the value; MAIN stays as it was.
  const bool hashingValueExists = !main->valueByName(kHashPasswords)->isPlaceholder();
  const bool storeHashing = options.hashPasswords && (*options.hashPasswords || hashingValueExists);
  if ((options.disable && !main->sectionByName(kDisable)->isPlaceholder()) ||
      (options.logFile && !main->sectionByName(kLog)->isPlaceholder()) ||
      (storeHashing && !main->sectionByName(kHashPasswords)->isPlaceholder())) {
    return OptionRefusal::kValueInTheWay;
  }
  if (options.disable) main->setInt(kDisable, *options.disable ? 1 : 0);
  if (options.logFile) main->setString(kLog, options.logFile->c_str());
  if (storeHashing) main->setInt(kHashPasswords, *options.hashPasswords ? 1 : 0);
  return OptionRefusal::kNone;
}

OptionRefusal storeEventSuppression(ConfigSection& database,
                                    const std::function<int(std::int32_t id)>& setting) {
  if (!canHoldSection(database, kMain)) return OptionRefusal::kNoMainSection;
  const ConfigSection& existingMain = *database.sectionByName(kMain);
  if (!canHoldSection(existingMain, kDontLog)) return OptionRefusal::kNoDontLogSection;
  ConfigSection* main = database.getOrCreateSection(kMain);
  if (main == nullptr) return OptionRefusal::kNoMainSection;
  ConfigSection* dontLog = main->getOrCreateSection(kDontLog);
  if (dontLog == nullptr) return OptionRefusal::kNoDontLogSection;
  dontLog->clear();
  for (const EventType& type : EventTypeTable) {
    dontLog->addIntItem(kEvent, std::to_string(type.id).c_str(), setting(type.id));
  }
  return OptionRefusal::kNone;
}

std::vector<std::int32_t> suppressedEvents(const ConfigSection& database) {
  std::vector<std::int32_t> ids;
  for (const EventType& type : EventTypeTable) {
    if (isEventSuppressed(database, type.id)) ids.push_back(type.id);
  }
  return ids;
}

}  // namespace gatekeeper::accountdb
