#include "configstore/comparator_handle.h"

#include "configstore/name_comparator.h"

namespace gatekeeper {

namespace {

class NameComparatorHandleImpl final : public HandleBase<NameComparatorHandle, NameComparator> {
 public:
  using HandleBase::HandleBase;

  int32_t GATEKEEPER_HANDLE_CALL notLess(const NamedObject* a, const NamedObject* b) override {
    return target() != nullptr ? target()->notLess(a, b) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL notGreater(const NamedObject* a,
                                            const NamedObject* b) override {
    return target() != nullptr ? target()->notGreater(a, b) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL less(const NamedObject* a, const NamedObject* b) override {
    return target() != nullptr ? target()->less(a, b) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL greater(const NamedObject* a, const NamedObject* b) override {
    return target() != nullptr ? target()->greater(a, b) : 0;
  }
  const NamedObject* GATEKEEPER_HANDLE_CALL larger(const NamedObject* a,
                                                   const NamedObject* b) override {
    return target() != nullptr ? target()->larger(a, b) : nullptr;
  }
  const NamedObject* GATEKEEPER_HANDLE_CALL smaller(const NamedObject* a,
                                                    const NamedObject* b) override {
    return target() != nullptr ? target()->smaller(a, b) : nullptr;
  }
  int32_t GATEKEEPER_HANDLE_CALL accept(const NamedObject* object) override {
    return target() != nullptr ? target()->accept(object) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL equal(const NamedObject* a, const NamedObject* b) override {
    return target() != nullptr ? target()->equal(a, b) : 0;
  }
};

}  // namespace

CommonHandle* newNameComparatorHandle(NameComparator* target) {
  return newHandle<NameComparatorHandleImpl>(target);
}

}  // namespace gatekeeper
