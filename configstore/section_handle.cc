#include "configstore/section_handle.h"

#include "configstore/config_section.h"
#include "configstore/handle_entries.h"

namespace gatekeeper {

namespace {

class ConfigSectionHandleImpl final
    : public ConfigNodeEntries<ConfigSectionHandle, ConfigSection> {
 public:
  using ConfigNodeEntries::ConfigNodeEntries;

  ConfigValue* GATEKEEPER_HANDLE_CALL valueByIndex(int32_t index) override {
    return section()->valueByIndex(index);
  }
  ConfigValue* GATEKEEPER_HANDLE_CALL valueByName(const char* name) override {
    return section()->valueByName(name);
  }
  ConfigSection* GATEKEEPER_HANDLE_CALL sectionByIndex(int32_t index) override {
    return section()->sectionByIndex(index);
  }
  ConfigSection* GATEKEEPER_HANDLE_CALL sectionByName(const char* name) override {
    return section()->sectionByName(name);
  }
  ConfigSection* GATEKEEPER_HANDLE_CALL filteredCopy(NameComparator* selector) override {
    return target() != nullptr ? target()->filteredCopy(selector) : nullptr;
  }
  ConfigValue* GATEKEEPER_HANDLE_CALL findValueByInt64(int64_t value) override {
    return section()->findValueByInt64(value);
  }
  ConfigValue* GATEKEEPER_HANDLE_CALL findValueByDouble(double value) override {
    return section()->findValueByDouble(value);
  }
  ConfigValue* GATEKEEPER_HANDLE_CALL findValueByFloat(float value) override {
    return section()->findValueByFloat(value);
  }
  ConfigValue* GATEKEEPER_HANDLE_CALL findValueByInt(int32_t value) override {
    return section()->findValueByInt(value);
  }
  ConfigValue* GATEKEEPER_HANDLE_CALL findValueByString(const char* text) override {
    return section()->findValueByString(text);
  }
  // The changing entries go to the placeholder as well, which refuses every change.
  ConfigValue* GATEKEEPER_HANDLE_CALL getOrCreateValue(const char* name) override {
    return section()->getOrCreateValue(name);
  }
  ConfigSection* GATEKEEPER_HANDLE_CALL getOrCreateSection(const char* name) override {
    return section()->getOrCreateSection(name);
  }
  ConfigSection* GATEKEEPER_HANDLE_CALL createSection(const char* name) override {
    return section()->createSection(name);
  }
  ConfigSection* GATEKEEPER_HANDLE_CALL createValue(const char* name) override {
    return section()->createValue(name);
  }
  int32_t GATEKEEPER_HANDLE_CALL readContents(ConfigStream* stream, int32_t limit) override {
    return target() != nullptr ? target()->readContents(stream, limit) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL load() override { return section()->load(); }
  int32_t GATEKEEPER_HANDLE_CALL writeContents(ConfigStream* stream) override {
    return target() != nullptr ? target()->writeContents(stream) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL save() override { return section()->save(); }
  ValueItem* GATEKEEPER_HANDLE_CALL addBinaryItem(const char* name, const char* itemName,
                                                  const void* data, uint32_t length) override {
    return section()->addBinaryItem(name, itemName, data, length);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addInt64Item(const char* name, const char* itemName,
                                                 int64_t value) override {
    return section()->addInt64Item(name, itemName, value);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addDoubleItem(const char* name, const char* itemName,
                                                  double value) override {
    return section()->addDoubleItem(name, itemName, value);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addStringItem(const char* name, const char* itemName,
                                                  const char* value) override {
    return section()->addStringItem(name, itemName, value);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addFloatItem(const char* name, const char* itemName,
                                                 float value) override {
    return section()->addFloatItem(name, itemName, value);
  }
  ValueItem* GATEKEEPER_HANDLE_CALL addIntItem(const char* name, const char* itemName,
                                               int32_t value) override {
    return section()->addIntItem(name, itemName, value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setBinary(const char* name, const void* data,
                                           uint32_t length) override {
    return section()->setBinary(name, data, length);
  }
  int32_t GATEKEEPER_HANDLE_CALL setInt64(const char* name, int64_t value) override {
    return section()->setInt64(name, value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setDouble(const char* name, double value) override {
    return section()->setDouble(name, value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setString(const char* name, const char* value) override {
    return section()->setString(name, value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setFloat(const char* name, float value) override {
    return section()->setFloat(name, value);
  }
  int32_t GATEKEEPER_HANDLE_CALL setInt(const char* name, int32_t value) override {
    return section()->setInt(name, value);
  }
  int32_t GATEKEEPER_HANDLE_CALL deleteByName(const char* name) override {
    return section()->deleteByName(name);
  }

 private:
  // The target, or the placeholder once the target was destroyed.
  ConfigSection* section() const { return target() != nullptr ? target() : nullSection(); }
};

}  // namespace

CommonHandle* newConfigSectionHandle(ConfigSection* target) {
  return newHandle<ConfigSectionHandleImpl>(target);
}

}  // namespace gatekeeper
