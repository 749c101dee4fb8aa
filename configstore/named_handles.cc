#include "configstore/named_handles.h"

#include <utility>

#include "configstore/handle_entries.h"
#include "configstore/value_item.h"

namespace gatekeeper {

namespace {

class NamedObjectHandleImpl final : public NamedObjectEntries<NamedObjectHandle, NamedObject> {
 public:
  using NamedObjectEntries::NamedObjectEntries;
};

class ObjectListHandleImpl final : public ObjectListEntries<ObjectListHandle, ObjectList> {
 public:
  using ObjectListEntries::ObjectListEntries;
};

class ConfigNodeHandleImpl final : public ConfigNodeEntries<ConfigNodeHandle, ConfigNode> {
 public:
  using ConfigNodeEntries::ConfigNodeEntries;
};

// Whether the list may own the child. A child held by another list, a shared placeholder, the
// list itself or one of its ancestors would be destroyed twice or never; a section takes only
// sections and value nodes and a value node only items, since they read their children as such.
bool accepts(const ObjectList* list, const NamedObject* child) {
  if (child->isFrozen() || child->parentList() != nullptr) return false;
  for (const NamedObject* holder = list; holder != nullptr; holder = holder->parentList()) {
    if (holder == child) return false;
  }
  const auto* node = dynamic_cast<const ConfigNode*>(list);
  if (node == nullptr) return true;
  if (node->isValueNode()) return dynamic_cast<const ValueItem*>(child) != nullptr;
  return dynamic_cast<const ConfigNode*>(child) != nullptr;
}

bool slotExists(const ObjectList* list, int32_t index) {
  return !list->isFrozen() && index >= 1 && index <= list->count();
}

// Gives the clone to the list through place(); destroys it when the list did not take it.
template <class Place>
auto placeClone(NamedObject* clone, Place place) {
  const auto [result, taken] = place(clone);
  if (!taken && clone != nullptr) clone->destroy();
  return result;
}

}  // namespace

namespace handle_lists {

NamedObject* cloneOf(NamedObjectHandle* object) {
  return object != nullptr ? object->clone() : nullptr;
}

int32_t add(ObjectList* list, NamedObject* child) {
  if (list == nullptr || child == nullptr || !accepts(list, child)) return 0;
  return list->add(child);
}

int32_t addClone(ObjectList* list, NamedObjectHandle* object) {
  if (list == nullptr) return 0;
  return placeClone(cloneOf(object), [list](NamedObject* clone) {
    const int32_t slot = add(list, clone);
    return std::pair{slot, slot != 0};
  });
}

NamedObject* detach(ObjectList* list, int32_t index, NamedObject* replacement) {
  if (list == nullptr || !slotExists(list, index)) return nullptr;
  if (replacement != nullptr && !accepts(list, replacement)) return nullptr;
  return list->detachAtIndex(index, replacement);
}

NamedObject* detachWithClone(ObjectList* list, int32_t index, NamedObjectHandle* object) {
  if (list == nullptr || !slotExists(list, index)) return nullptr;
  return placeClone(cloneOf(object), [list, index](NamedObject* clone) {
    const bool fits = clone != nullptr && accepts(list, clone);
    return std::pair{fits ? list->detachAtIndex(index, clone) : nullptr, fits};
  });
}

int32_t set(ObjectList* list, int32_t index, NamedObject* child) {
  if (list == nullptr || !slotExists(list, index)) return 0;
  if (child != nullptr && !accepts(list, child)) return 0;
  return list->setAtIndex(index, child);
}

int32_t setWithClone(ObjectList* list, int32_t index, NamedObjectHandle* object) {
  if (list == nullptr) return 0;
  return placeClone(cloneOf(object), [list, index](NamedObject* clone) {
    const int32_t result = clone != nullptr ? set(list, index, clone) : 0;
    return std::pair{result, result != 0};
  });
}

}  // namespace handle_lists

CommonHandle* newNamedObjectHandle(NamedObject* target) {
  return newHandle<NamedObjectHandleImpl>(target);
}

CommonHandle* newObjectListHandle(ObjectList* target) {
  return newHandle<ObjectListHandleImpl>(target);
}

CommonHandle* newConfigNodeHandle(ConfigNode* target) {
  return newHandle<ConfigNodeHandleImpl>(target);
}

}  // namespace gatekeeper
