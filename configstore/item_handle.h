// The handle interface of a value item (identifier 260).
#ifndef GATEKEEPER_CONFIGSTORE_ITEM_HANDLE_H_
#define GATEKEEPER_CONFIGSTORE_ITEM_HANDLE_H_

#include <cstdint>

#include "configstore/named_handles.h"

namespace gatekeeper {

class ValueItem;

// kValueItemInterface: continues NamedObjectHandle with entries 9 to 24. Once the target was
// destroyed the entries act on the untyped placeholder item (reads 0 or "", changes refused).
class ValueItemHandle : public NamedObjectHandle {
 public:
  virtual int32_t GATEKEEPER_HANDLE_CALL isUntyped() = 0;                     // 9
  virtual int32_t GATEKEEPER_HANDLE_CALL getInt() = 0;                        // 10
  virtual float GATEKEEPER_HANDLE_CALL getFloat() = 0;                        // 11
  virtual double GATEKEEPER_HANDLE_CALL getDouble() = 0;                      // 12
  virtual const char* GATEKEEPER_HANDLE_CALL getString() = 0;                 // 13
  virtual int64_t GATEKEEPER_HANDLE_CALL getInt64() = 0;                      // 14
  virtual const unsigned char* GATEKEEPER_HANDLE_CALL binaryData() = 0;       // 15
  virtual uint32_t GATEKEEPER_HANDLE_CALL binaryLength() = 0;                 // 16
  virtual int32_t GATEKEEPER_HANDLE_CALL resizeBinary(uint32_t length) = 0;   // 17
  virtual int32_t GATEKEEPER_HANDLE_CALL setFromInt64(int64_t value) = 0;     // 18
  virtual int32_t GATEKEEPER_HANDLE_CALL setFromString(const char* value) = 0;  // 19
  virtual int32_t GATEKEEPER_HANDLE_CALL setFromDouble(double value) = 0;     // 20
  virtual int32_t GATEKEEPER_HANDLE_CALL setFromFloat(float value) = 0;       // 21
  virtual int32_t GATEKEEPER_HANDLE_CALL setFromInt(int32_t value) = 0;       // 22
  // An ItemType other than the placeholder's 0; anything else is refused with 0.
  virtual int32_t GATEKEEPER_HANDLE_CALL changeType(int32_t type) = 0;        // 23
  virtual int32_t GATEKEEPER_HANDLE_CALL setString(const char* value) = 0;    // 24

 protected:
  ~ValueItemHandle() = default;
};

// A new item handle (count 1) on the target, or nullptr when allocation fails.
CommonHandle* newValueItemHandle(ValueItem* target);

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_ITEM_HANDLE_H_
