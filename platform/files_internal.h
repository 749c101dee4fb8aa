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

}  // namespace gatekeeper::platform::internal

#endif  // GATEKEEPER_PLATFORM_FILES_INTERNAL_H_
