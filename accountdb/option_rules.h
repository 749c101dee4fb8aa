// The rules for the options of the filter in MAIN: whether it is disabled (Disable), where it
// writes its event log (log), whether site users' passwords are stored hashed (HashPasswords)
// and which events it keeps out of the log (DONTLOG/Event). Shared
// by every program that changes them (overseer's general options and logging options pages,
// the command line). A rule checks first, then changes the tree, or refuses without changing
// anything, naming the refusal in the system's own words. A rule never saves.
#ifndef GATEKEEPER_ACCOUNTDB_OPTION_RULES_H_
#define GATEKEEPER_ACCOUNTDB_OPTION_RULES_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "configstore/config_section.h"

namespace gatekeeper::accountdb {

// Why a change of the options is refused.
enum class OptionRefusal {
  kNone,
  kUnstorableLogFile,  // "Log file can not be stored - it contains a line break or is too long !"
  kNoMainSection,      // "Internal error - can not add section MAIN !"
  kValueInTheWay,      // "Internal error - can not store the general options !"
  kNoDontLogSection,   // "Internal error - can not add section DONTLOG !"
};

// The words of a refusal; "" for kNone.
std::string optionRefusalText(OptionRefusal refusal);

// The general options to store; a missing one is left as it is.
struct GeneralOptions {
  std::optional<bool> disable;
  std::optional<std::string> logFile;
  std::optional<bool> hashPasswords = std::nullopt;
};

// Stores the general options in MAIN of the database's root (creating MAIN when missing):
// Disable as the int 1 or 0 (the value's first int item set, or one appended beside a string
// item), log as the text stored as given. Checks, in this order: the log file can be stored
// as a text, MAIN can be made (a value node MAIN is in the way), no section inside MAIN holds
// the name of a value to be stored. HashPasswords is stored as the int 1 or 0 like Disable,
// except that "off" is written only over an existing value: a database that never turned the
// option on keeps exactly the bytes it had.
OptionRefusal storeGeneralOptions(ConfigSection& database, const GeneralOptions& options);

// Replaces MAIN/DONTLOG (creating MAIN and DONTLOG when missing, emptying DONTLOG otherwise)
// with one int item of the value Event per row of EventTypeTable, in table order, named by the
// id in decimal and holding setting(id): greater than 0 suppresses the event. kNoMainSection
// or kNoDontLogSection when a value node holds either name; nothing is changed then.
OptionRefusal storeEventSuppression(ConfigSection& database,
                                    const std::function<int(std::int32_t id)>& setting);

// The ids of the suppressed events, in the order of EventTypeTable.
std::vector<std::int32_t> suppressedEvents(const ConfigSection& database);

}  // namespace gatekeeper::accountdb

#endif  // GATEKEEPER_ACCOUNTDB_OPTION_RULES_H_
