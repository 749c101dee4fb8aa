// An owned reference to an object that counts its references itself (addRef() and release()):
// the reference is dropped when the owner goes, and copies and moves keep the count right.
#ifndef GATEKEEPER_CONFIGSTORE_COUNTED_REF_H_
#define GATEKEEPER_CONFIGSTORE_COUNTED_REF_H_

#include <cstddef>
#include <utility>

namespace gatekeeper {

template <class T>
class CountedRef {
 public:
  CountedRef() = default;
  CountedRef(std::nullptr_t) {}  // NOLINT(google-explicit-constructor): an empty reference

  // Takes over a reference the caller already holds (a new object's first one, or one taken
  // with addRef()).
  static CountedRef adopt(T* object) {
    CountedRef ref;
    ref.object_ = object;
    return ref;
  }
  // Takes a reference of its own on the object (nullptr: none).
  static CountedRef share(T* object) {
    if (object != nullptr) object->addRef();
    return adopt(object);
  }

  CountedRef(const CountedRef& other) : object_(other.object_) {
    if (object_ != nullptr) object_->addRef();
  }
  CountedRef(CountedRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  CountedRef& operator=(const CountedRef& other) {
    CountedRef copy(other);
    swap(copy);
    return *this;
  }
  CountedRef& operator=(CountedRef&& other) noexcept {
    CountedRef taken(std::move(other));
    swap(taken);
    return *this;
  }
  ~CountedRef() { reset(); }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  // The object, for calls that take a plain pointer (the reference stays here).
  operator T*() const { return object_; }  // NOLINT(google-explicit-constructor)

  // Drops the reference held, if any.
  void reset() {
    if (object_ != nullptr) std::exchange(object_, nullptr)->release();
  }
  void swap(CountedRef& other) noexcept { std::swap(object_, other.object_); }

 private:
  T* object_ = nullptr;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_COUNTED_REF_H_
