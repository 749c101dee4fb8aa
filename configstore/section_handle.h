// The handle interface of a section (identifier 258).
#ifndef GATEKEEPER_CONFIGSTORE_SECTION_HANDLE_H_
#define GATEKEEPER_CONFIGSTORE_SECTION_HANDLE_H_

#include <cstdint>

#include "configstore/named_handles.h"

namespace gatekeeper {

class ConfigSection;
class ConfigStream;
class ConfigValue;
class ValueItem;

// kConfigSectionInterface: continues ConfigNodeHandle with entries 33 to 63. Lookups return the
// placeholders as ConfigSection's do, also once the target was destroyed.
class ConfigSectionHandle : public ConfigNodeHandle {
 public:
  virtual ConfigValue* GATEKEEPER_HANDLE_CALL valueByIndex(int32_t index) = 0;          // 33
  virtual ConfigValue* GATEKEEPER_HANDLE_CALL valueByName(const char* name) = 0;        // 34
  virtual ConfigSection* GATEKEEPER_HANDLE_CALL sectionByIndex(int32_t index) = 0;      // 35
  virtual ConfigSection* GATEKEEPER_HANDLE_CALL sectionByName(const char* name) = 0;    // 36
  virtual ConfigSection* GATEKEEPER_HANDLE_CALL filteredCopy(NameComparator* selector) = 0;  // 37
  virtual ConfigValue* GATEKEEPER_HANDLE_CALL findValueByInt64(int64_t value) = 0;      // 38
  virtual ConfigValue* GATEKEEPER_HANDLE_CALL findValueByDouble(double value) = 0;      // 39
  virtual ConfigValue* GATEKEEPER_HANDLE_CALL findValueByFloat(float value) = 0;        // 40
  virtual ConfigValue* GATEKEEPER_HANDLE_CALL findValueByInt(int32_t value) = 0;        // 41
  virtual ConfigValue* GATEKEEPER_HANDLE_CALL findValueByString(const char* text) = 0;  // 42
  virtual ConfigValue* GATEKEEPER_HANDLE_CALL getOrCreateValue(const char* name) = 0;   // 43
  virtual ConfigSection* GATEKEEPER_HANDLE_CALL getOrCreateSection(const char* name) = 0;  // 44
  virtual ConfigSection* GATEKEEPER_HANDLE_CALL createSection(const char* name) = 0;    // 45
  virtual ConfigSection* GATEKEEPER_HANDLE_CALL createValue(const char* name) = 0;      // 46
  virtual int32_t GATEKEEPER_HANDLE_CALL readContents(ConfigStream* stream,
                                                      int32_t limit) = 0;               // 47
  virtual int32_t GATEKEEPER_HANDLE_CALL load() = 0;                                    // 48
  virtual int32_t GATEKEEPER_HANDLE_CALL writeContents(ConfigStream* stream) = 0;       // 49
  virtual int32_t GATEKEEPER_HANDLE_CALL save() = 0;                                    // 50
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addBinaryItem(const char* name, const char* itemName,
                                                          const void* data,
                                                          uint32_t length) = 0;         // 51
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addInt64Item(const char* name, const char* itemName,
                                                         int64_t value) = 0;            // 52
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addDoubleItem(const char* name, const char* itemName,
                                                          double value) = 0;            // 53
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addStringItem(const char* name, const char* itemName,
                                                          const char* value) = 0;       // 54
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addFloatItem(const char* name, const char* itemName,
                                                         float value) = 0;              // 55
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addIntItem(const char* name, const char* itemName,
                                                       int32_t value) = 0;              // 56
  virtual int32_t GATEKEEPER_HANDLE_CALL setBinary(const char* name, const void* data,
                                                   uint32_t length) = 0;                // 57
  virtual int32_t GATEKEEPER_HANDLE_CALL setInt64(const char* name, int64_t value) = 0;  // 58
  virtual int32_t GATEKEEPER_HANDLE_CALL setDouble(const char* name, double value) = 0;  // 59
  virtual int32_t GATEKEEPER_HANDLE_CALL setString(const char* name, const char* value) = 0;  // 60
  virtual int32_t GATEKEEPER_HANDLE_CALL setFloat(const char* name, float value) = 0;   // 61
  virtual int32_t GATEKEEPER_HANDLE_CALL setInt(const char* name, int32_t value) = 0;   // 62
  virtual int32_t GATEKEEPER_HANDLE_CALL deleteByName(const char* name) = 0;            // 63

 protected:
  ~ConfigSectionHandle() = default;
};

// A new section handle (count 1) on the target, or nullptr when allocation fails.
CommonHandle* newConfigSectionHandle(ConfigSection* target);

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_SECTION_HANDLE_H_
