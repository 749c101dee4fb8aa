// NoLog and NoLogDo: which event types the filter keeps out of its log (MAIN/DONTLOG/Event,
// one int item per event id).
#ifndef GATEKEEPER_ADMIN_LOGGING_OPTIONS_H_
#define GATEKEEPER_ADMIN_LOGGING_OPTIONS_H_

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// NoLog: one checkbox BOX<id> per row of EventTypeTable, ticked when that event is suppressed.
void writeLoggingOptions(ConfigFile& database, const FormFields& form, const FormFields& query);

// NoLogDo: replaces MAIN/DONTLOG (creating MAIN and DONTLOG when missing) with one Event item
// per row of EventTypeTable, in table order, named by the id and holding the number of its
// BOX field (1 ticked, 0 not), saves, then shows the form again.
void storeLoggingOptions(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_LOGGING_OPTIONS_H_
