// Pieces shared by the POSIX and Win32 file services; not part of the public interface.
#ifndef GATEKEEPER_PLATFORM_FILES_INTERNAL_H_
#define GATEKEEPER_PLATFORM_FILES_INTERNAL_H_

#include <string>
#include <string_view>

namespace gatekeeper::platform::internal {

// The line end that text-mode files carry on this platform: "\r\n" on Windows, "\n" elsewhere.
extern const char kLineEnd[];

// The bytes of one whole line: the text without a trailing line end of its own, every CR or
// LF inside it written as a blank, then kLineEnd. So one call adds exactly one line, whatever
// the text holds.
std::string wholeLine(std::string_view line);

#ifndef _WIN32
// Fetches the attributes of an open file anew from its file system, past the client's cache:
// a network file system client (FUSE: for attr_timeout) answers fstat from attributes it
// cached, and ends reads at the size cached with them, so that a file another host replaced
// meanwhile would read cut short, or be taken for the version before. Called before the size
// and version of a file about to be read are taken; nothing where the system cannot.
void refreshAttributes(int fd);
#endif

}  // namespace gatekeeper::platform::internal

#endif  // GATEKEEPER_PLATFORM_FILES_INTERNAL_H_
