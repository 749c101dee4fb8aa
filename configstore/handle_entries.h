// Implementations of the entries of named objects, lists and tree nodes, shared by the handles
// whose interfaces continue them. Internal to the store's handle files.
#ifndef GATEKEEPER_CONFIGSTORE_HANDLE_ENTRIES_H_
#define GATEKEEPER_CONFIGSTORE_HANDLE_ENTRIES_H_

#include <cstdint>

#include "configstore/common_handle.h"
#include "configstore/config_node.h"
#include "configstore/named_handles.h"
#include "configstore/object_list.h"
#include "configstore/ref_object.h"

namespace gatekeeper {

// The list operations that take ownership of a child, with the checks of ObjectListHandle.
// A null list (a handle whose target was destroyed) does nothing and reports 0 or nullptr.
namespace handle_lists {

// A clone of the object given by its interface (entry 8), or nullptr.
NamedObject* cloneOf(NamedObjectHandle* object);
int32_t add(ObjectList* list, NamedObject* child);
int32_t addClone(ObjectList* list, NamedObjectHandle* object);
NamedObject* detach(ObjectList* list, int32_t index, NamedObject* replacement);
NamedObject* detachWithClone(ObjectList* list, int32_t index, NamedObjectHandle* object);
int32_t set(ObjectList* list, int32_t index, NamedObject* child);
int32_t setWithClone(ObjectList* list, int32_t index, NamedObjectHandle* object);

}  // namespace handle_lists

// Entries 4 to 8 for a target of class T (a NamedObject).
template <class I, class T>
class NamedObjectEntries : public HandleBase<I, T> {
 public:
  using HandleBase<I, T>::HandleBase;
  using HandleBase<I, T>::target;

  int32_t GATEKEEPER_HANDLE_CALL setName(const char* name) override {
    return target() != nullptr ? target()->rename(name) : 0;
  }
  const char* GATEKEEPER_HANDLE_CALL getName() override {
    return target() != nullptr ? target()->name() : nullptr;
  }
  int32_t GATEKEEPER_HANDLE_CALL nameEquals(const char* name) override {
    return target() != nullptr && target()->nameEquals(name) ? 1 : 0;
  }
  NamedObject* GATEKEEPER_HANDLE_CALL selfIfNameEquals(const char* name) override {
    return nameEquals(name) ? target() : nullptr;
  }
  NamedObject* GATEKEEPER_HANDLE_CALL clone() override {
    return target() != nullptr ? target()->clone() : nullptr;
  }
};

// Entries 9 to 30 for a target of class T (an ObjectList).
template <class I, class T>
class ObjectListEntries : public NamedObjectEntries<I, T> {
 public:
  using NamedObjectEntries<I, T>::NamedObjectEntries;
  using NamedObjectEntries<I, T>::target;

  int32_t GATEKEEPER_HANDLE_CALL addClone(NamedObjectHandle* object) override {
    return handle_lists::addClone(target(), object);
  }
  int32_t GATEKEEPER_HANDLE_CALL add(NamedObject* child) override {
    return handle_lists::add(target(), child);
  }
  int32_t GATEKEEPER_HANDLE_CALL removeObject(NamedObject* child) override {
    return target() != nullptr ? target()->removeObject(child) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL removeByName(const char* name) override {
    return target() != nullptr ? target()->removeByName(name) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL removeByIndex(int32_t index) override {
    return target() != nullptr ? target()->removeByIndex(index) : 0;
  }
  NamedObject* GATEKEEPER_HANDLE_CALL getByName(const char* name) override {
    return target() != nullptr ? target()->getByName(name) : nullptr;
  }
  NamedObject* GATEKEEPER_HANDLE_CALL getByIndex(int32_t index) override {
    return target() != nullptr ? target()->getByIndex(index) : nullptr;
  }
  int32_t GATEKEEPER_HANDLE_CALL indexOfName(const char* name) override {
    return target() != nullptr ? target()->indexOfName(name) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL firstEmptySlot() override {
    return target() != nullptr ? target()->firstEmptySlot() : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL count() override {
    return target() != nullptr ? target()->count() : 0;
  }
  NamedObject* GATEKEEPER_HANDLE_CALL detachAtNameWithClone(const char* name,
                                                            NamedObjectHandle* object) override {
    return handle_lists::detachWithClone(target(), indexOfName(name), object);
  }
  NamedObject* GATEKEEPER_HANDLE_CALL detachAtName(const char* name,
                                                   NamedObject* replacement) override {
    return handle_lists::detach(target(), indexOfName(name), replacement);
  }
  NamedObject* GATEKEEPER_HANDLE_CALL detachAtIndexWithClone(int32_t index,
                                                             NamedObjectHandle* object) override {
    return handle_lists::detachWithClone(target(), index, object);
  }
  NamedObject* GATEKEEPER_HANDLE_CALL detachAtIndex(int32_t index,
                                                    NamedObject* replacement) override {
    return handle_lists::detach(target(), index, replacement);
  }
  int32_t GATEKEEPER_HANDLE_CALL setAtNameWithClone(const char* name,
                                                    NamedObjectHandle* object) override {
    return handle_lists::setWithClone(target(), indexOfName(name), object);
  }
  int32_t GATEKEEPER_HANDLE_CALL setAtName(const char* name, NamedObject* child) override {
    return handle_lists::set(target(), indexOfName(name), child);
  }
  int32_t GATEKEEPER_HANDLE_CALL setAtIndexWithClone(int32_t index,
                                                     NamedObjectHandle* object) override {
    return handle_lists::setWithClone(target(), index, object);
  }
  int32_t GATEKEEPER_HANDLE_CALL setAtIndex(int32_t index, NamedObject* child) override {
    return handle_lists::set(target(), index, child);
  }
  int32_t GATEKEEPER_HANDLE_CALL compact() override {
    return target() != nullptr ? target()->compact() : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL swapByNames(const char* first, const char* second) override {
    return target() != nullptr ? target()->swapByNames(first, second) : 0;
  }
  int32_t GATEKEEPER_HANDLE_CALL swap(int32_t first, int32_t second) override {
    return target() != nullptr ? target()->swap(first, second) : 0;
  }
  void GATEKEEPER_HANDLE_CALL sort(NameComparator* comparator, int32_t descending) override {
    if (target() != nullptr) target()->sort(comparator, descending);
  }
};

// Entries 31 and 32 for a target of class T (a ConfigNode).
template <class I, class T>
class ConfigNodeEntries : public ObjectListEntries<I, T> {
 public:
  using ObjectListEntries<I, T>::ObjectListEntries;
  using ObjectListEntries<I, T>::target;

  int32_t GATEKEEPER_HANDLE_CALL isPlaceholder() override {
    return target() != nullptr && target()->isPlaceholder() ? 1 : 0;
  }
  void GATEKEEPER_HANDLE_CALL markPlaceholder() override {
    if (target() != nullptr) target()->markPlaceholder();
  }
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_HANDLE_ENTRIES_H_
