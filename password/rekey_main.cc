// rekey: the password change program of a site's users, a CGI program started once per
// request.
#include "password/rekey_pages.h"
#include "websupport/request_reader.h"

int main() { return gatekeeper::readRequest(gatekeeper::rekey::handleRequest); }
