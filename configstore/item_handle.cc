#include "configstore/item_handle.h"

#include "configstore/handle_entries.h"
#include "configstore/value_item.h"

namespace gatekeeper {

namespace {

class ValueItemHandleImpl final : public NamedObjectEntries<ValueItemHandle, ValueItem> {
 public:
  using NamedObjectEntries::NamedObjectEntries;

  int32_t GATEKEEPER_HANDLE_CALL isUntyped() override { return item()->isUntyped() ? 1 : 0; }
  int32_t GATEKEEPER_HANDLE_CALL getInt() override { return item()->getInt(); }
  float GATEKEEPER_HANDLE_CALL getFloat() override { return item()->getFloat(); }
  double GATEKEEPER_HANDLE_CALL getDouble() override { return item()->getDouble(); }
  const char* GATEKEEPER_HANDLE_CALL getString() override { return item()->getString(); }
  int64_t GATEKEEPER_HANDLE_CALL getInt64() override { return item()->getInt64(); }
  const unsigned char* GATEKEEPER_HANDLE_CALL binaryData() override {
    return item()->binaryData();
  }
  uint32_t GATEKEEPER_HANDLE_CALL binaryLength() override { return item()->binaryLength(); }
  int32_t GATEKEEPER_HANDLE_CALL resizeBinary(uint32_t length) override {
    return item()->resizeBinary(length);
  }
  int32_t GATEKEEPER_HANDLE_CALL setFromInt64(int64_t value) override {
    return item()->setFromInt64(value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setFromString(const char* value) override {
    return item()->setFromString(value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setFromDouble(double value) override {
    return item()->setFromDouble(value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setFromFloat(float value) override {
    return item()->setFromFloat(value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setFromInt(int32_t value) override {
    return item()->setFromInt(value);
  }
  int32_t GATEKEEPER_HANDLE_CALL changeType(int32_t type) override {
    return item()->changeType(static_cast<ItemType>(type));
  }
  int32_t GATEKEEPER_HANDLE_CALL setString(const char* value) override {
    return item()->setString(value);
  }

 private:
  // The target, or the placeholder once the target was destroyed.
  ValueItem* item() const { return target() != nullptr ? target() : nullItem(); }
};

}  // namespace

CommonHandle* newValueItemHandle(ValueItem* target) {
  return newHandle<ValueItemHandleImpl>(target);
}

}  // namespace gatekeeper
