// Interface handles: small reference-counted objects that expose a store object's operations
// through a table of their own, asked for by a numeric identifier (getInterface).
//
// Every handle interface is a class of pure virtual functions without a virtual destructor, so
// that its table holds exactly its entries, in declaration order; each interface continues the
// table of the one it derives from. On 32-bit Windows the entries use __stdcall.
//
// A handle keeps a counted reference on its target for as long as it lives. The tree still
// destroys its nodes whatever their counts; a handle whose target is destroyed first loses its
// target: its entries then report 0, "", none or the placeholders, and releasing it is safe.
//
// Making a handle changes the target's count: like every change to a tree, it needs exclusive
// access to that tree.
#ifndef GATEKEEPER_CONFIGSTORE_COMMON_HANDLE_H_
#define GATEKEEPER_CONFIGSTORE_COMMON_HANDLE_H_

#include <cstdint>
#include <new>

#include "configstore/ref_object.h"

#if defined(_WIN32) && !defined(_WIN64)
#define GATEKEEPER_HANDLE_CALL __stdcall
#else
#define GATEKEEPER_HANDLE_CALL
#endif

namespace gatekeeper {

// Identifiers of the interfaces.
enum InterfaceId : uint32_t {
  kPlainInterface = 1,            // the four common entries (every object)
  kNamedObjectInterface = 17,     // NamedObjectHandle
  kObjectListInterface = 18,      // ObjectListHandle
  kNameComparatorInterface = 20,  // NameComparatorHandle
  kConfigNodeInterface = 257,     // ConfigNodeHandle
  kConfigSectionInterface = 258,  // ConfigSectionHandle
  kConfigValueInterface = 259,    // ConfigValueHandle
  kValueItemInterface = 260,      // ValueItemHandle
  kPreSaveInterface = 515,        // PreSaveRequest, asked of a section's extension object
};

// The result of query: no such interface (E_NOINTERFACE).
constexpr int32_t kNoInterfaceResult = static_cast<int32_t>(0x80004002u);

// The four entries every interface begins with.
class CommonHandle {
 public:
  // 0: always fails: clears *out (when out is not null) and returns kNoInterfaceResult.
  virtual int32_t GATEKEEPER_HANDLE_CALL query(void** out) = 0;
  // 1: increments the handle's own count; returns the new count.
  virtual int32_t GATEKEEPER_HANDLE_CALL addRef() = 0;
  // 2: decrements the count; at 0 the handle drops its reference on the target and frees
  // itself. Returns the new count.
  virtual int32_t GATEKEEPER_HANDLE_CALL release() = 0;
  // 3: asks the target for another interface (a new handle, already counted, or nullptr).
  // Without a target: the handle itself (counted) for kPlainInterface, else nullptr.
  virtual CommonHandle* GATEKEEPER_HANDLE_CALL passOn(uint32_t id) = 0;

 protected:
  ~CommonHandle() = default;
};

// A new interface handle (count 1) on the object for a numeric identifier (InterfaceId), or
// nullptr. An object answers the identifiers of its own class and of its bases (a ConfigValue
// answers 1, 17, 18, 257 and 259); every object answers kPlainInterface. A section answers
// 1, 17, 18 and 257 itself; any other identifier goes first to its attached extension object
// (an InterfaceExtension, handle_factory.h), and kConfigSectionInterface is answered when that
// gives none. An InterfaceExtension answers for itself.
CommonHandle* getInterface(RefObject* object, uint32_t id);

// The plain handle of kPlainInterface for any object; nullptr when allocation fails.
CommonHandle* newPlainHandle(RefObject* target);

// Called when a counted object is destroyed: every handle still referring to it loses its
// target. Installed as the store's RefObserver once the first handle is made.
void detachHandles(const RefObject* target);

// The target link of a handle: takes a reference on the target when made and drops it when
// destroyed, unless the target was destroyed first (then target() is nullptr).
class HandleLink {
 public:
  explicit HandleLink(RefObject* target);
  HandleLink(const HandleLink&) = delete;
  HandleLink& operator=(const HandleLink&) = delete;
  ~HandleLink();

  RefObject* target() const { return target_; }

 private:
  friend void detachHandles(const RefObject* target);
  RefObject* target_;
};

// Implements the common entries of interface I for a handle whose target has the class T.
// Interfaces that continue I are implemented by templates deriving from this one.
template <class I, class T>
class HandleBase : public I {
 public:
  explicit HandleBase(T* target) : link_(target) {}
  HandleBase(const HandleBase&) = delete;
  HandleBase& operator=(const HandleBase&) = delete;
  // Virtual so that release frees the whole handle; its table slots come after I's entries.
  virtual ~HandleBase() = default;

  int32_t GATEKEEPER_HANDLE_CALL query(void** out) override {
    if (out != nullptr) *out = nullptr;
    return kNoInterfaceResult;
  }
  int32_t GATEKEEPER_HANDLE_CALL addRef() override { return ++count_; }
  int32_t GATEKEEPER_HANDLE_CALL release() override {
    const int32_t count = --count_;
    if (count == 0) delete this;
    return count;
  }
  CommonHandle* GATEKEEPER_HANDLE_CALL passOn(uint32_t id) override;

 protected:
  // The target, or nullptr once it was destroyed.
  T* target() const { return static_cast<T*>(link_.target()); }

 private:
  HandleLink link_;
  int32_t count_ = 1;
};

template <class I, class T>
CommonHandle* GATEKEEPER_HANDLE_CALL HandleBase<I, T>::passOn(uint32_t id) {
  if (link_.target() != nullptr) return getInterface(link_.target(), id);
  if (id != kPlainInterface) return nullptr;
  addRef();
  return this;
}

// A new handle of class H on the target, or nullptr when allocation fails.
template <class H, class T>
CommonHandle* newHandle(T* target) {
  try {
    return new H(target);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_COMMON_HANDLE_H_
