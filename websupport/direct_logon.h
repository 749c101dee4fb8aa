// The guard of the programs that serve direct logons only (overseer and steward). On a bound
// site the filter hands the web server the credentials of the server account that a site user
// is mapped to, so such a request runs as that account although the person behind it only
// knows a site user's password. A program that trusts the web server's logon (overseer, which
// shows every password, and steward, which may map a new user to any server account) must
// never serve such a request: a site user of a bound site could otherwise map a user of his
// own to the administrator's account and log on to overseer as the administrator.
#ifndef GATEKEEPER_WEBSUPPORT_DIRECT_LOGON_H_
#define GATEKEEPER_WEBSUPPORT_DIRECT_LOGON_H_

#include <string>

namespace gatekeeper {

// The line that names a logon replaced by the filter; overseer's login diagnostics say it too.
inline constexpr char kLogonReplacedText[] =
    "NT user used for the actual authentication by the system differs the logged on user.";

// The account the request runs as: LOGON_USER; where the web server does not set it,
// REMOTE_USER (what Apache itself sets for the authenticated account); else the empty text.
std::string logonAccount();

// The server variable that our Apache host sets (to "1") on a request whose credentials a
// filter replaced, also where the site user's name equals the account's, so that AUTH_USER
// and LOGON_USER cannot tell.
inline constexpr char kLogonReplacedVariable[] = "LOGON_REPLACED_BY_FILTER";

// Whether the filter replaced the request's logon: the host says so (kLogonReplacedVariable
// set and not empty), or AUTH_USER (the name the client sent) is set and differs, ignoring
// case, from logonAccount(). An anonymous request (no AUTH_USER) and a logon that the web
// server checked as sent are not replaced.
bool logonReplacedByFilter();

// The check every request of such a program passes before anything is loaded or written.
// true: go on. false: the logon was replaced; the whole response has been written ("Status:
// 403 Forbidden", "Content-Type: text/html", then a bare page holding kLogonReplacedText) and
// one error log line names the user and the account; the caller writes nothing more and
// neither loads nor stores anything.
bool admitDirectLogon();

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_DIRECT_LOGON_H_
