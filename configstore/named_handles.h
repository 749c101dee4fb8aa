// Handle interfaces of named objects, lists and tree nodes (identifiers 17, 18 and 257).
//
// Entries do what the operation of the same name does on the target and return what it
// returns: objects are returned as plain pointers (ask them for their own handles). Entries
// that take "an object given by its interface" add a clone of it, made through its entry 8.
#ifndef GATEKEEPER_CONFIGSTORE_NAMED_HANDLES_H_
#define GATEKEEPER_CONFIGSTORE_NAMED_HANDLES_H_

#include <cstdint>

#include "configstore/common_handle.h"

namespace gatekeeper {

class ConfigNode;
class NameComparator;
class NamedObject;
class ObjectList;

// kNamedObjectInterface: entries 4 to 8.
class NamedObjectHandle : public CommonHandle {
 public:
  virtual int32_t GATEKEEPER_HANDLE_CALL setName(const char* name) = 0;                 // 4
  virtual const char* GATEKEEPER_HANDLE_CALL getName() = 0;                             // 5
  virtual int32_t GATEKEEPER_HANDLE_CALL nameEquals(const char* name) = 0;              // 6
  // The target when its name equals the given one, else nullptr.
  virtual NamedObject* GATEKEEPER_HANDLE_CALL selfIfNameEquals(const char* name) = 0;   // 7
  // A new deep copy of the target, owned by the caller.
  virtual NamedObject* GATEKEEPER_HANDLE_CALL clone() = 0;                              // 8

 protected:
  ~NamedObjectHandle() = default;
};

// kObjectListInterface: continues NamedObjectHandle with entries 9 to 30. A list refuses a
// child that already belongs to a list, a shared placeholder, and a child of the wrong kind (a
// section holds sections and value nodes, a value node holds items); the caller then keeps it.
class ObjectListHandle : public NamedObjectHandle {
 public:
  virtual int32_t GATEKEEPER_HANDLE_CALL addClone(NamedObjectHandle* object) = 0;        // 9
  virtual int32_t GATEKEEPER_HANDLE_CALL add(NamedObject* child) = 0;                    // 10
  virtual int32_t GATEKEEPER_HANDLE_CALL removeObject(NamedObject* child) = 0;           // 11
  virtual int32_t GATEKEEPER_HANDLE_CALL removeByName(const char* name) = 0;             // 12
  virtual int32_t GATEKEEPER_HANDLE_CALL removeByIndex(int32_t index) = 0;               // 13
  virtual NamedObject* GATEKEEPER_HANDLE_CALL getByName(const char* name) = 0;           // 14
  virtual NamedObject* GATEKEEPER_HANDLE_CALL getByIndex(int32_t index) = 0;             // 15
  virtual int32_t GATEKEEPER_HANDLE_CALL indexOfName(const char* name) = 0;              // 16
  virtual int32_t GATEKEEPER_HANDLE_CALL firstEmptySlot() = 0;                           // 17
  virtual int32_t GATEKEEPER_HANDLE_CALL count() = 0;                                    // 18
  virtual NamedObject* GATEKEEPER_HANDLE_CALL detachAtNameWithClone(
      const char* name, NamedObjectHandle* object) = 0;                                  // 19
  virtual NamedObject* GATEKEEPER_HANDLE_CALL detachAtName(const char* name,
                                                           NamedObject* replacement) = 0;  // 20
  virtual NamedObject* GATEKEEPER_HANDLE_CALL detachAtIndexWithClone(
      int32_t index, NamedObjectHandle* object) = 0;                                     // 21
  virtual NamedObject* GATEKEEPER_HANDLE_CALL detachAtIndex(int32_t index,
                                                            NamedObject* replacement) = 0;  // 22
  virtual int32_t GATEKEEPER_HANDLE_CALL setAtNameWithClone(const char* name,
                                                            NamedObjectHandle* object) = 0;  // 23
  virtual int32_t GATEKEEPER_HANDLE_CALL setAtName(const char* name, NamedObject* child) = 0;  // 24
  virtual int32_t GATEKEEPER_HANDLE_CALL setAtIndexWithClone(int32_t index,
                                                             NamedObjectHandle* object) = 0;  // 25
  virtual int32_t GATEKEEPER_HANDLE_CALL setAtIndex(int32_t index, NamedObject* child) = 0;  // 26
  virtual int32_t GATEKEEPER_HANDLE_CALL compact() = 0;                                  // 27
  virtual int32_t GATEKEEPER_HANDLE_CALL swapByNames(const char* first,
                                                     const char* second) = 0;            // 28
  virtual int32_t GATEKEEPER_HANDLE_CALL swap(int32_t first, int32_t second) = 0;        // 29
  virtual void GATEKEEPER_HANDLE_CALL sort(NameComparator* comparator,
                                           int32_t descending) = 0;                      // 30

 protected:
  ~ObjectListHandle() = default;
};

// kConfigNodeInterface: continues ObjectListHandle with entries 31 and 32.
class ConfigNodeHandle : public ObjectListHandle {
 public:
  virtual int32_t GATEKEEPER_HANDLE_CALL isPlaceholder() = 0;  // 31
  virtual void GATEKEEPER_HANDLE_CALL markPlaceholder() = 0;   // 32

 protected:
  ~ConfigNodeHandle() = default;
};

// New handles (count 1) on the target, or nullptr when allocation fails.
CommonHandle* newNamedObjectHandle(NamedObject* target);
CommonHandle* newObjectListHandle(ObjectList* target);
CommonHandle* newConfigNodeHandle(ConfigNode* target);

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_NAMED_HANDLES_H_
