// The user pages: list, add, delete and change the users of one authority. overseer shows
// them for any authority, chosen on a page of its own and carried in the hidden form field
// Authority; steward shows them for the authority bound to the site it runs on, and its forms
// carry no Authority field. A UserPagesVariant describes what differs; the pages are the same.
//
// Every page reads its inputs from the form collection and writes into the content cell of
// the program's frame. The storing pages (addUser, deleteUser, changeUser) save the database
// themselves and report a failed save (websupport/save_report.h); the program's dispatch runs
// them only past the cross-site check.
#ifndef GATEKEEPER_ACCOUNTPAGES_USER_PAGES_H_
#define GATEKEEPER_ACCOUNTPAGES_USER_PAGES_H_

#include <string>

#include "configstore/config_file.h"
#include "websupport/form_fields.h"

namespace gatekeeper {

// The authority that the pages of one request work on, resolved by the program once per request
// and handed to the page (UserPageRequest).
struct UserAuthority {
  ConfigSection* section;  // nullSection() when there is no such authority
  std::string name;        // as the pages name it in their messages
};

struct UserPagesVariant {
  // Whether the forms carry the authority's name in the hidden field Authority.
  bool authorityTravels;
  // Writes the first line of the user list (overseer: "Authority: <b>NAME</b><BR>").
  void (*writeListHeading)(const UserAuthority& authority);
  // The delete chooser's user list: a twelve-row list box, or a one-line drop-down.
  bool deleteChooserDropDown;
};

// What a user page works on in one request: the program's variant, the authority the program
// resolved for the request, the loaded database and the form collection.
struct UserPageRequest {
  const UserPagesVariant& variant;
  UserAuthority authority;
  ConfigFile& database;
  const FormFields& form;
};

// The user list: one row per user of the authority, in slot order, with the Edit and Delete
// buttons (Delete deletes at once). A missing authority lists the header row alone.
void writeUserList(const UserPageRequest& request);

// The add form, posting to AddUserDo.
void writeAddUserForm(const UserPageRequest& request);

// Stores a new user from the fields User, Pass, MapTo, NTAcc, Expire, noexpiration and
// disabled. Refused, with one line and nothing stored: a missing authority, an empty user name,
// a name or password the database cannot store, a name the authority already holds.
void addUser(const UserPageRequest& request);

// The delete chooser, posting User to DelUserDo.
void writeDeleteUserForm(const UserPageRequest& request);

// Deletes the user named by User. A name that matches no user deletes nothing and is
// confirmed all the same; the authority's own values are never deleted.
void deleteUser(const UserPageRequest& request);

// The change chooser, posting User to EditUser.
void writeChangeUserChooser(const UserPageRequest& request);

// The edit form of the user named by User, filled with the stored values (a missing user reads
// as empty values), posting to ChangeUserDo.
void writeEditUserForm(const UserPageRequest& request);

// Replaces the user named by User whole with the form's values, keeping its slot (a name that
// matches no user creates one), then warns about an expiry date the filter will refuse.
// Refused as addUser refuses, except that an existing name is the point.
void changeUser(const UserPageRequest& request);

}  // namespace gatekeeper

#endif  // GATEKEEPER_ACCOUNTPAGES_USER_PAGES_H_
