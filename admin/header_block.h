// The CGI headers of every administration page.
#ifndef GATEKEEPER_ADMIN_HEADER_BLOCK_H_
#define GATEKEEPER_ADMIN_HEADER_BLOCK_H_

namespace gatekeeper {

// Writes "Cache-control: private", an Expires date in the past (no page of the administrator
// is ever cached) and the text/html Content-Type that ends the headers.
void writeHeaderBlock();

}  // namespace gatekeeper

#endif  // GATEKEEPER_ADMIN_HEADER_BLOCK_H_
