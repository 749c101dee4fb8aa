// The pieces of the programs' forms: every form posts to the program's own URL with the next
// action in the query string, its inputs travel in the body, and its submit button is named B1.
// Values from the database or the request are escaped here; names, labels and sizes are the
// program's own fixed texts.
#ifndef GATEKEEPER_WEBSUPPORT_FORM_MARKUP_H_
#define GATEKEEPER_WEBSUPPORT_FORM_MARKUP_H_

#include <string_view>

namespace gatekeeper {

// "<FORM METHOD="POST" ACTION="<script>?Action=<action>">" and a line feed.
void writeFormStart(std::string_view action);

// "</FORM>" and a line feed.
void writeFormEnd();
// The submit button ending a form: the button and a line feed, then writeFormEnd().
void writeSubmitAndFormEnd(std::string_view label);

// The submit button: <INPUT TYPE="submit" VALUE="<label>" NAME="B1">.
void writeSubmitButton(std::string_view label);

// <INPUT TYPE="text" NAME="<name>" SIZE="<size>" VALUE="<value>">, the value escaped.
void writeTextInput(std::string_view name, int size, std::string_view value = {});

// <INPUT TYPE="password" NAME="<name>" SIZE="<size>">: a password is never shown.
void writePasswordInput(std::string_view name, int size);

// <INPUT TYPE="hidden" NAME="<name>" VALUE="<value>">, the value escaped.
void writeHiddenInput(std::string_view name, std::string_view value);

// <INPUT TYPE="checkbox" NAME="<name>" VALUE="<value>">, with CHECKED when checked.
void writeCheckbox(std::string_view name, std::string_view value, bool checked);

// "<SELECT NAME="<name>" SIZE="<lines>">" and a line feed; the options follow
// (accountpages/option_lists.h), then writeSelectEnd().
void writeSelectStart(std::string_view name, int lines);
void writeSelectEnd();

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_FORM_MARKUP_H_
