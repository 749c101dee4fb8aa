// steward: the user manager of one site, a CGI program started once per request.
#include "site/steward_pages.h"
#include "websupport/request_reader.h"

int main() { return gatekeeper::readRequest(gatekeeper::steward::handleRequest); }
