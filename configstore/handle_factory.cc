#include "configstore/handle_factory.h"

#include "configstore/comparator_handle.h"
#include "configstore/config_value.h"
#include "configstore/item_handle.h"
#include "configstore/name_comparator.h"
#include "configstore/named_handles.h"
#include "configstore/pre_save_request.h"
#include "configstore/section_handle.h"
#include "configstore/value_handle.h"
#include "configstore/value_item.h"

namespace gatekeeper {

namespace {

// The identifiers of a named object and its bases.
CommonHandle* namedObjectInterface(NamedObject* object, uint32_t id) {
  switch (id) {
    case kPlainInterface: return newPlainHandle(object);
    case kNamedObjectInterface: return newNamedObjectHandle(object);
    default: return nullptr;
  }
}

// The identifiers of a list and its bases.
CommonHandle* objectListInterface(ObjectList* list, uint32_t id) {
  if (id == kObjectListInterface) return newObjectListHandle(list);
  return namedObjectInterface(list, id);
}

// The identifiers of a tree node and its bases.
CommonHandle* configNodeInterface(ConfigNode* node, uint32_t id) {
  if (id == kConfigNodeInterface) return newConfigNodeHandle(node);
  return objectListInterface(node, id);
}

CommonHandle* sectionInterface(ConfigSection* section, uint32_t id) {
  switch (id) {
    case kPlainInterface:
    case kNamedObjectInterface:
    case kObjectListInterface:
    case kConfigNodeInterface: return configNodeInterface(section, id);
    default: break;
  }
  if (auto* extension = dynamic_cast<InterfaceExtension*>(section->extension())) {
    CommonHandle* answer = extension->getInterface(id);
    if (answer != nullptr) return answer;
  }
  return id == kConfigSectionInterface ? newConfigSectionHandle(section) : nullptr;
}

}  // namespace

CommonHandle* getInterface(RefObject* object, uint32_t id) {
  if (object == nullptr) return nullptr;
  if (auto* extension = dynamic_cast<InterfaceExtension*>(object)) {
    return extension->getInterface(id);
  }
  if (auto* section = dynamic_cast<ConfigSection*>(object)) return sectionInterface(section, id);
  if (auto* value = dynamic_cast<ConfigValue*>(object)) {
    if (id == kConfigValueInterface) return newConfigValueHandle(value);
    return configNodeInterface(value, id);
  }
  if (auto* list = dynamic_cast<ObjectList*>(object)) return objectListInterface(list, id);
  if (auto* item = dynamic_cast<ValueItem*>(object)) {
    if (id == kValueItemInterface) return newValueItemHandle(item);
    return namedObjectInterface(item, id);
  }
  if (auto* named = dynamic_cast<NamedObject*>(object)) return namedObjectInterface(named, id);
  if (auto* comparator = dynamic_cast<NameComparator*>(object)) {
    if (id == kNameComparatorInterface) return newNameComparatorHandle(comparator);
  }
  return id == kPlainInterface ? newPlainHandle(object) : nullptr;
}

void InterfaceExtension::prepareForSave(ConfigSection* section) {
  // An object that answers the pre-save identifier answers it with a PreSaveRequest.
  auto* request = static_cast<PreSaveRequest*>(getInterface(kPreSaveInterface));
  if (request == nullptr) return;
  request->prepare(section);  // the answer is not used
  request->release();
}

}  // namespace gatekeeper
