// The pages of overseer, selected by the query field Action: one table, one small handler per
// page, in the manner of a command table.
#ifndef GATEKEEPER_ADMIN_ACTION_TABLE_H_
#define GATEKEEPER_ADMIN_ACTION_TABLE_H_

#include <span>

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// A page handler writes the page's content into the content cell of the frame. It gets the
// loaded account database, the form collection and the query collection. A handler that
// stores a change creates a missing MAIN, MAIN/SERVERS, ACCOUNTS or NTACCOUNTS section it
// writes into (getOrCreateSection), so no change is dropped, saves the database itself and
// reports the save through checkSaved (websupport/save_report.h). The run holds the database
// lock throughout.
using PageHandler = void (*)(ConfigFile& database, const FormFields& form,
                             const FormFields& query);

// A page answered before the frame: it gets the form and the query collection, and no
// database is loaded for it.
using EarlyHandler = void (*)(const FormFields& form, const FormFields& query);

// Where in the course of a request a page answers.
enum class Answer {
  kInFrame,      // in the frame's content cell, on the loaded database (handler)
  kBeforeFrame,  // right after the header block, with neither database nor frame (early)
  kFirst,        // before the logon check and any header, writing the whole response (early)
};

struct ActionEntry {
  const char* name;      // at most 31 characters, compared ignoring case
  PageHandler handler;   // the page of kInFrame
  bool storing;          // the page changes what is stored: it runs only past the cross-site check
  Answer answer = Answer::kInFrame;
  EarlyHandler early = nullptr;  // the page of kBeforeFrame and kFirst
};

// The pages in the order they are searched; the first whose name equals Action wins.
std::span<const ActionEntry> actionTable();

// The entry of the page named by the query field Action (read from the query alone, never from
// the body; no Action field names the empty action), or nullptr when no page has that name.
const ActionEntry* requestedAction(const FormFields& query);

// Writes what the page of entry (not nullptr, answered before the frame) answers.
void answerBeforeFrame(const ActionEntry& entry, const FormFields& form, const FormFields& query);

// Writes the content of the page named by the query field Action into the frame. An action that
// names no page, or a page answered before the frame, writes nothing; a storing page sent from
// another site writes only the refusal line (websupport/action_dispatch.h).
void dispatchAction(ConfigFile& database, const FormFields& form, const FormFields& query);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_ACTION_TABLE_H_
