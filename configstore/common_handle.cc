#include "configstore/common_handle.h"

#include <mutex>
#include <unordered_map>

namespace gatekeeper {

namespace {

// The links of every live handle by target, so that a target destroyed before its handles can
// clear them. Consulted by a destroyed object only while its count is above 0.
struct LinkRegistry {
  std::mutex mutex;
  std::unordered_multimap<const RefObject*, HandleLink*> links;
};

// Never destroyed: placeholders and handles may outlive static destruction order.
LinkRegistry& registry() {
  static LinkRegistry* const instance = new LinkRegistry;
  return *instance;
}

class PlainHandle final : public HandleBase<CommonHandle, RefObject> {
 public:
  using HandleBase::HandleBase;
};

// Detaches the handles of the objects the store destroys.
class HandleDetacher final : public RefObserver {
 public:
  void destroyed(const RefObject* object) override { detachHandles(object); }
};

}  // namespace

HandleLink::HandleLink(RefObject* target) : target_(target) {
  if (target_ == nullptr) return;
  // Installed with the first handle: an object destroyed before any handle was made had none.
  // Never destroyed: placeholders are destroyed at exit, after any static.
  static const bool observing = [] {
    setRefObserver(new HandleDetacher);
    return true;
  }();
  (void)observing;
  {
    LinkRegistry& links = registry();
    std::lock_guard<std::mutex> lock(links.mutex);
    links.links.emplace(target_, this);
  }
  target_->addRef();
}

HandleLink::~HandleLink() {
  if (target_ == nullptr) return;
  {
    LinkRegistry& links = registry();
    std::lock_guard<std::mutex> lock(links.mutex);
    auto [first, last] = links.links.equal_range(target_);
    for (auto it = first; it != last; ++it) {
      if (it->second == this) {
        links.links.erase(it);
        break;
      }
    }
  }
  // Last: a heap-owned target may free itself here.
  target_->release();
}

void detachHandles(const RefObject* target) {
  LinkRegistry& links = registry();
  std::lock_guard<std::mutex> lock(links.mutex);
  auto [first, last] = links.links.equal_range(target);
  for (auto it = first; it != last; ++it) it->second->target_ = nullptr;
  links.links.erase(first, last);
}

CommonHandle* newPlainHandle(RefObject* target) {
  return newHandle<PlainHandle>(target);
}

}  // namespace gatekeeper
