// What the filter knows of its host beyond the ISAPI interface: the sites the host sends to it
// and where the filter's diagnostics go. Hosts that offer it (our Apache host, through the
// optional export SetFilterSites of platform/isapi_host_extension.h) tell the filter once they
// have started it; IIS never does, and the filter works on without it.
#ifndef GATEKEEPER_FILTER_HOST_LINK_H_
#define GATEKEEPER_FILTER_HOST_LINK_H_

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gatekeeper {

// One site of the host, named as its requests report SERVER_NAME and SERVER_PORT.
struct FilterSite {
  std::string name;
  std::string port;
};

enum class Severity { kError, kWarning, kNotice };

// Writes one line of diagnostics (no line end) to the host's log.
using DiagnosticSink = std::function<void(Severity, const std::string&)>;

// Thread-safe. The sink is called with the link's lock held: attach() and detach() return only
// once no call into the previous sink is in progress.
class HostLink {
 public:
  // Replaces the sites and the sink. A message reported while no sink was attached (the last
  // one only: say, the database that failed to load when the filter was built, before the host
  // had told it anything) goes to the new sink first.
  void attach(std::vector<FilterSite> sites, DiagnosticSink sink);
  // Forgets the sites and the sink; allocates nothing.
  void detach() noexcept;

  std::vector<FilterSite> sites() const;

  // Writes message to the sink; without one, holds it in place of any message held before.
  void report(Severity severity, const std::string& message);

 private:
  mutable std::mutex mutex_;
  std::vector<FilterSite> sites_;
  DiagnosticSink sink_;
  std::optional<std::pair<Severity, std::string>> held_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_FILTER_HOST_LINK_H_
