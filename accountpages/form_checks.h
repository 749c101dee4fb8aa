// Checks of form fields shared by every page that stores names or passwords in the account
// database (overseer's pages and the user pages that steward shares). Each check writes the
// page's one result line when it fails, so a page reads
//   if (!checkStorableName("Authority name", name)) return 1;
#ifndef GATEKEEPER_ACCOUNTPAGES_FORM_CHECKS_H_
#define GATEKEEPER_ACCOUNTPAGES_FORM_CHECKS_H_

#include <string_view>

namespace gatekeeper {

// false, after writing "<label> contains characters that can not be stored !", when value
// cannot be stored as a name (accountdb/storable_text.h); true otherwise.
bool checkStorableName(std::string_view label, std::string_view value);

// checkStorableName for the host of a site binding: also false for a host holding "|"
// (accountdb::isStorableBindingHost), with the same line.
bool checkStorableBindingHost(std::string_view label, std::string_view host);

// false, after writing "Password can not contain line breaks !" (or "Password is too long to
// be stored !"), when password cannot be stored as a text; true otherwise.
bool checkStorablePassword(std::string_view password);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ACCOUNTPAGES_FORM_CHECKS_H_
