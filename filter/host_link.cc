#include "filter/host_link.h"

namespace gatekeeper {

void HostLink::attach(std::vector<FilterSite> sites, DiagnosticSink sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  sites_ = std::move(sites);
  sink_ = std::move(sink);
  if (sink_ && held_) {
    sink_(held_->first, held_->second);
    held_.reset();
  }
}

void HostLink::detach() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  sites_.clear();
  sink_ = nullptr;
}

std::vector<FilterSite> HostLink::sites() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sites_;
}

void HostLink::report(Severity severity, const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sink_) {
    sink_(severity, message);
  } else {
    held_.emplace(severity, message);
  }
}

}  // namespace gatekeeper
