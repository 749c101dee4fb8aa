// overseer: the administration program, a CGI program started once per request.
#include "admin/handle_request.h"
#include "websupport/request_reader.h"

int main() { return gatekeeper::readRequest(gatekeeper::handleRequest); }
