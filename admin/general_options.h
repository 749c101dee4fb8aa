// General options: whether the filter is disabled (MAIN/Disable) and where it writes its event
// log (MAIN/log).
#ifndef GATEKEEPER_ADMIN_GENERAL_OPTIONS_H_
#define GATEKEEPER_ADMIN_GENERAL_OPTIONS_H_

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// MainScreen: the form with the checkbox Disable (value "ON", ticked when MAIN/Disable holds a
// non-zero int) and the text input LogFile holding MAIN/log. Reads the database only.
void writeGeneralOptions(ConfigFile& database, const FormFields& form, const FormFields& query);

// MainScreenDo: stores Disable as the int 1 when the field reads "ON" (ignoring case), else 0
// (setting the value's first int item, appending one beside a string item), and LogFile as
// the text of MAIN/log; saves, then shows the form again. A log path that the database cannot
// hold is refused with one line and nothing is changed; a failed save is reported.
void storeGeneralOptions(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_GENERAL_OPTIONS_H_
