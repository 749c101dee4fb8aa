#include "configstore/value_handle.h"

#include "configstore/config_value.h"
#include "configstore/handle_entries.h"

namespace gatekeeper {

namespace {

class ConfigValueHandleImpl final : public ConfigNodeEntries<ConfigValueHandle, ConfigValue> {
 public:
  using ConfigNodeEntries::ConfigNodeEntries;

  ValueItem* GATEKEEPER_HANDLE_CALL itemByIndex(int32_t index) override {
    return value()->itemByIndex(index);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL itemByName(const char* itemName) override {
    return value()->itemByName(itemName);
  }
  int32_t GATEKEEPER_HANDLE_CALL indexOfType(int32_t type) override {
    return value()->indexOfType(static_cast<ItemType>(type));
  }
  int32_t GATEKEEPER_HANDLE_CALL getInt() override { return value()->getInt(); }
  float GATEKEEPER_HANDLE_CALL getFloat() override { return value()->getFloat(); }
  double GATEKEEPER_HANDLE_CALL getDouble() override { return value()->getDouble(); }
  const char* GATEKEEPER_HANDLE_CALL getString() override { return value()->getString(); }
  int64_t GATEKEEPER_HANDLE_CALL getInt64() override { return value()->getInt64(); }
  const unsigned char* GATEKEEPER_HANDLE_CALL getBinary() override {
    return value()->getBinary();
  }
  uint32_t GATEKEEPER_HANDLE_CALL binaryLength() override { return value()->binaryLength(); }
  // The changing entries go to the placeholder as well, which refuses every change.
  int32_t GATEKEEPER_HANDLE_CALL resizeBinary(uint32_t length) override {
    return value()->resizeBinary(length);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addBinaryItem(const char* itemName, const void* data,
                                                  uint32_t length) override {
    return value()->addBinaryItem(itemName, data, length);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addInt64Item(const char* itemName, int64_t v) override {
    return value()->addInt64Item(itemName, v);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addStringItem(const char* itemName, const char* v) override {
    return value()->addStringItem(itemName, v);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addDoubleItem(const char* itemName, double v) override {
    return value()->addDoubleItem(itemName, v);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addFloatItem(const char* itemName, float v) override {
    return value()->addFloatItem(itemName, v);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addIntItem(const char* itemName, int32_t v) override {
    return value()->addIntItem(itemName, v);
  }
  int32_t GATEKEEPER_HANDLE_CALL addItem(ValueItem* item) override {
    return handle_lists::add(target(), item);
  }
  int32_t GATEKEEPER_HANDLE_CALL setInt64(int64_t v) override { return value()->setInt64(v); }
  int32_t GATEKEEPER_HANDLE_CALL setString(const char* v) override {
    return value()->setString(v);
  }
  int32_t GATEKEEPER_HANDLE_CALL setDouble(double v) override { return value()->setDouble(v); }
  int32_t GATEKEEPER_HANDLE_CALL setFloat(float v) override { return value()->setFloat(v); }
  int32_t GATEKEEPER_HANDLE_CALL setInt(int32_t v) override { return value()->setInt(v); }
  int32_t GATEKEEPER_HANDLE_CALL setBinary(const void* data, uint32_t length) override {
    return value()->setBinary(data, length);
  }
  int32_t GATEKEEPER_HANDLE_CALL writeTo(ConfigStream* stream) override {
    return target() != nullptr ? target()->writeTo(stream) : 0;
  }

 private:
  // The target, or the placeholder once the target was destroyed.
  ConfigValue* value() const { return target() != nullptr ? target() : nullValue(); }
};

}  // namespace

CommonHandle* newConfigValueHandle(ConfigValue* target) {
  return newHandle<ConfigValueHandleImpl>(target);
}

}  // namespace gatekeeper
