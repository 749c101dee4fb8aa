#include "configstore/ref_object.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "configstore/object_list.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

std::atomic<RefObserver*> refObserver{nullptr};

}  // namespace

void setRefObserver(RefObserver* observer) {
  refObserver.store(observer, std::memory_order_release);
}

int32_t RefObject::addRef() { return refCount_++; }

int32_t RefObject::release() {
  const int32_t count = --refCount_;
  if (count == 0 && heapOwned_) delete this;
  return count;
}

RefObject::~RefObject() {
  if (refCount_ <= 0) return;
  if (RefObserver* observer = refObserver.load(std::memory_order_acquire)) {
    observer->destroyed(this);
  }
}

char* ShortName::heapText() const {
  char* text = nullptr;
  std::memcpy(&text, bytes_, sizeof text);
  return text;
}

void ShortName::clear() {
  if (onHeap()) std::free(heapText());
  bytes_[0] = 0;
  bytes_[kMark] = 0;
}

bool ShortName::assign(const char* text) {
  clear();
  const size_t length = std::strlen(text);
  if (length < kMark) {
    std::memcpy(bytes_, text, length + 1);
    return true;
  }
  auto* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return false;
  std::memcpy(copy, text, length + 1);
  std::memcpy(bytes_, &copy, sizeof copy);
  bytes_[kMark] = 1;
  return true;
}

void ShortName::take(ShortName& other) {
  clear();
  std::memcpy(bytes_, other.bytes_, sizeof bytes_);
  other.bytes_[0] = 0;
  other.bytes_[kMark] = 0;
}

NamedObject::NamedObject(const char* name) {
  if (name != nullptr && *name != '\0') hasName_ = name_.assign(name);
}

NamedObject::~NamedObject() = default;

void NamedObject::destroy() { delete this; }

NamedObject* NamedObject::clone() const { return new (std::nothrow) NamedObject(name()); }

int NamedObject::rename(const char* name) {
  if (frozen_) return 0;
  ShortName old;
  old.take(name_);
  const bool hadName = hasName_;
  const bool hasName = name != nullptr && *name != '\0';
  if (hasName && !name_.assign(name)) {
    name_.take(old);  // no memory: the object keeps its name
    return 0;
  }
  hasName_ = hasName;
  if (parent_ != nullptr) parent_->childRenamed(this, hadName ? old.c_str() : nullptr);
  return 1;
}

bool NamedObject::nameEquals(const char* name) const {
  return hasName_ && name != nullptr && platform::namesEqual(name_.c_str(), name);
}

}  // namespace gatekeeper
