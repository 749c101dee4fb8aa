#include "websupport/cross_site_check.h"

#include <optional>
#include <string>
#include <string_view>

#include "platform/names.h"
#include "websupport/response_writer.h"
#include "websupport/server_variables.h"

namespace gatekeeper {
namespace {

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// "host:port" in lower case, with the scheme's default port filled in, so that
// "Example.org" and "example.org:80" compare equal under http. An IPv6 literal keeps its
// brackets.
std::string authorityWithPort(std::string_view authority, std::string_view scheme) {
  const std::size_t bracket = authority.rfind(']');
  const std::size_t colon = authority.rfind(':');
  const bool hasPort = colon != std::string_view::npos &&
                       (bracket == std::string_view::npos || colon > bracket);
  if (hasPort && colon + 1 < authority.size()) return lowerAscii(authority);
  const std::string_view host = hasPort ? authority.substr(0, colon) : authority;
  return lowerAscii(host) + (scheme == "https" ? ":443" : ":80");
}

struct Origin {
  std::string scheme;
  std::string authority;  // as authorityWithPort gives it
};

// The scheme and authority of an absolute URL ("scheme://authority[/...]"); nullopt for
// anything else, "null" included.
std::optional<Origin> parseOrigin(std::string_view url) {
  const std::size_t separator = url.find("://");
  if (separator == std::string_view::npos || separator == 0) return std::nullopt;
  Origin origin;
  origin.scheme = lowerAscii(url.substr(0, separator));
  std::string_view rest = url.substr(separator + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  // Credentials in a URL ("user@host") are not part of its origin.
  const std::size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest = rest.substr(at + 1);
  if (rest.empty()) return std::nullopt;
  origin.authority = authorityWithPort(rest, origin.scheme);
  return origin;
}

// The origin this request was sent to; nullopt without HTTP_HOST.
std::optional<Origin> ownOrigin() {
  const std::optional<std::string> host = serverVariable("HTTP_HOST");
  if (!host || host->empty()) return std::nullopt;
  Origin origin;
  origin.scheme = platform::namesEqual(serverText("HTTPS").c_str(), "on") ? "https" : "http";
  origin.authority = authorityWithPort(*host, origin.scheme);
  return origin;
}

}  // namespace

bool sentFromAnotherSite() {
  const std::optional<std::string> fetchSite = serverVariable("HTTP_SEC_FETCH_SITE");
  if (fetchSite && !platform::namesEqual(fetchSite->c_str(), "same-origin") &&
      !platform::namesEqual(fetchSite->c_str(), "none")) {
    return true;
  }
  const std::optional<Origin> own = ownOrigin();
  const std::optional<std::string> originHeader = serverVariable("HTTP_ORIGIN");
  if (originHeader) {
    const std::optional<Origin> origin = parseOrigin(*originHeader);
    if (!origin || !own || origin->scheme != own->scheme || origin->authority != own->authority) {
      return true;
    }
  }
  if (fetchSite || originHeader) return false;
  const std::optional<std::string> referer = serverVariable("HTTP_REFERER");
  if (!referer) return false;
  const std::optional<Origin> from = parseOrigin(*referer);
  return !from || !own || from->authority != own->authority;
}

bool admitStoringRequest() {
  if (!sentFromAnotherSite()) return true;
  writeLine("Request refused - it was sent from another site !");
  return false;
}

}  // namespace gatekeeper
