#include "configstore/ref_object.h"

#include "configstore/common_handle.h"
#include "configstore/named_handles.h"
#include "configstore/object_list.h"
#include "platform/names.h"

namespace gatekeeper {

int32_t RefObject::addRef() { return refCount_++; }

int32_t RefObject::release() {
  const int32_t count = --refCount_;
  if (count == 0 && heapOwned_) delete this;
  return count;
}

RefObject::~RefObject() {
  if (refCount_ > 0) detachHandles(this);
}

CommonHandle* RefObject::getInterface(uint32_t id) {
  return id == kPlainInterface ? newPlainHandle(this) : nullptr;
}

NamedObject::NamedObject(const char* name) {
  if (name != nullptr && *name != '\0') {
    name_ = name;
    hasName_ = true;
  }
}

NamedObject::~NamedObject() = default;

CommonHandle* NamedObject::getInterface(uint32_t id) {
  if (id == kNamedObjectInterface) return newNamedObjectHandle(this);
  return RefObject::getInterface(id);
}

void NamedObject::destroy() { delete this; }

NamedObject* NamedObject::clone() const { return new (std::nothrow) NamedObject(name()); }

int NamedObject::rename(const char* name) {
  if (frozen_) return 0;
  std::string old = std::move(name_);
  const bool hadName = hasName_;
  hasName_ = name != nullptr && *name != '\0';
  name_ = hasName_ ? std::string(name) : std::string();
  if (parent_ != nullptr) parent_->childRenamed(this, hadName ? old.c_str() : nullptr);
  return 1;
}

bool NamedObject::nameEquals(const char* name) const {
  return hasName_ && name != nullptr && platform::namesEqual(name_.c_str(), name);
}

}  // namespace gatekeeper
