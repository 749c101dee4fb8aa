// The handle interface of a value node (identifier 259).
#ifndef GATEKEEPER_CONFIGSTORE_VALUE_HANDLE_H_
#define GATEKEEPER_CONFIGSTORE_VALUE_HANDLE_H_

#include <cstdint>

#include "configstore/named_handles.h"

namespace gatekeeper {

class ConfigStream;
class ConfigValue;
class ValueItem;

// kConfigValueInterface: continues ConfigNodeHandle with entries 33 to 57. Reads give the
// placeholders, 0 or "" as ConfigValue's do, also once the target was destroyed.
class ConfigValueHandle : public ConfigNodeHandle {
 public:
  virtual ValueItem* GATEKEEPER_HANDLE_CALL itemByIndex(int32_t index) = 0;             // 33
  virtual ValueItem* GATEKEEPER_HANDLE_CALL itemByName(const char* itemName) = 0;       // 34
  virtual int32_t GATEKEEPER_HANDLE_CALL indexOfType(int32_t type) = 0;                 // 35
  virtual int32_t GATEKEEPER_HANDLE_CALL getInt() = 0;                                  // 36
  virtual float GATEKEEPER_HANDLE_CALL getFloat() = 0;                                  // 37
  virtual double GATEKEEPER_HANDLE_CALL getDouble() = 0;                                // 38
  virtual const char* GATEKEEPER_HANDLE_CALL getString() = 0;                           // 39
  virtual int64_t GATEKEEPER_HANDLE_CALL getInt64() = 0;                                // 40
  virtual const unsigned char* GATEKEEPER_HANDLE_CALL getBinary() = 0;                  // 41
  virtual uint32_t GATEKEEPER_HANDLE_CALL binaryLength() = 0;                           // 42
  virtual int32_t GATEKEEPER_HANDLE_CALL resizeBinary(uint32_t length) = 0;             // 43
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addBinaryItem(const char* itemName, const void* data,
                                                          uint32_t length) = 0;         // 44
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addInt64Item(const char* itemName,
                                                         int64_t value) = 0;            // 45
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addStringItem(const char* itemName,
                                                          const char* value) = 0;       // 46
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addDoubleItem(const char* itemName,
                                                          double value) = 0;            // 47
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addFloatItem(const char* itemName,
                                                         float value) = 0;              // 48
  virtual ValueItem* GATEKEEPER_HANDLE_CALL addIntItem(const char* itemName,
                                                       int32_t value) = 0;              // 49
  // Takes an item made by the caller, with the checks of ObjectListHandle::add.
  virtual int32_t GATEKEEPER_HANDLE_CALL addItem(ValueItem* item) = 0;                  // 50
  virtual int32_t GATEKEEPER_HANDLE_CALL setInt64(int64_t value) = 0;                   // 51
  virtual int32_t GATEKEEPER_HANDLE_CALL setString(const char* value) = 0;              // 52
  virtual int32_t GATEKEEPER_HANDLE_CALL setDouble(double value) = 0;                   // 53
  virtual int32_t GATEKEEPER_HANDLE_CALL setFloat(float value) = 0;                     // 54
  virtual int32_t GATEKEEPER_HANDLE_CALL setInt(int32_t value) = 0;                     // 55
  virtual int32_t GATEKEEPER_HANDLE_CALL setBinary(const void* data, uint32_t length) = 0;  // 56
  virtual int32_t GATEKEEPER_HANDLE_CALL writeTo(ConfigStream* stream) = 0;             // 57

 protected:
  ~ConfigValueHandle() = default;
};

// A new value handle (count 1) on the target, or nullptr when allocation fails.
CommonHandle* newConfigValueHandle(ConfigValue* target);

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_VALUE_HANDLE_H_
