// Base objects of the configuration store: a reference-counted object and a named one.
#ifndef GATEKEEPER_CONFIGSTORE_REF_OBJECT_H_
#define GATEKEEPER_CONFIGSTORE_REF_OBJECT_H_

#include <cstdint>
#include <string>

namespace gatekeeper {

class ObjectList;
class RefObject;

// Told when an object is destroyed while references to it are still counted. The layer that
// hands out counted references to the store's objects (the interface handles) installs one, so
// that those references lose their target instead of dangling.
class RefObserver {
 public:
  virtual void destroyed(const RefObject* object) = 0;

 protected:
  ~RefObserver() = default;
};

// Installs the observer (it lives as long as the program); nullptr removes it.
void setRefObserver(RefObserver* observer);

// An object with a reference count. The count governs only the references handed out by the
// interface layer; the store's own objects are owned by their parents (heap-owned flag clear),
// so release never frees them.
class RefObject {
 public:
  RefObject() = default;
  RefObject(const RefObject&) = delete;
  RefObject& operator=(const RefObject&) = delete;
  // The RefObserver learns of an object destroyed while its count is above 0.
  virtual ~RefObject();

  // Increments the count; returns the count before the increment.
  virtual int32_t addRef();
  // Decrements the count; frees the object only when it is heap-owned and the count reaches 0.
  // Returns the new count.
  virtual int32_t release();

  int32_t refCount() const { return refCount_; }
  bool heapOwned() const { return heapOwned_; }

 protected:
  // Lets an object that is not owned by a tree be freed by its last release.
  void setHeapOwned(bool owned) { heapOwned_ = owned; }

 private:
  // Laid out small (a loaded database holds an object per user): derived classes place their
  // own small fields in the padding after these.
  int32_t refCount_ = 0;
  bool heapOwned_ = false;
};

// A name in 16 bytes: up to 14 characters in place, a longer one on the heap. A loaded
// database holds a named object per user, whose name is then read with the object's first
// cache line.
class ShortName {
 public:
  ShortName() { bytes_[0] = 0; bytes_[kMark] = 0; }
  ShortName(const ShortName&) = delete;
  ShortName& operator=(const ShortName&) = delete;
  ~ShortName() { clear(); }

  const char* c_str() const {
    return onHeap() ? heapText() : reinterpret_cast<const char*>(bytes_);
  }
  // Copies the text; false (and the name empty) on allocation failure.
  bool assign(const char* text);
  void clear();
  // Takes the other's text, leaving it empty.
  void take(ShortName& other);

 private:
  static constexpr int kMark = 15;  // 0: the text is in place; 1: bytes_ hold a heap pointer
  bool onHeap() const { return bytes_[kMark] != 0; }
  char* heapText() const;

  alignas(8) unsigned char bytes_[16];
};

// An object that may carry a name. Setting an empty or absent name stores none; names compare
// ignoring letter case (platform::compareNames). A named object knows the list that holds it, so
// renaming a child keeps that list's name index current.
class NamedObject : public RefObject {
 public:
  explicit NamedObject(const char* name = nullptr);
  ~NamedObject() override;

  // Destroys the object (runs the destructor and frees it).
  virtual void destroy();
  // A new independent deep copy, owned by the caller (nullptr on allocation failure).
  virtual NamedObject* clone() const;

  // The name, or nullptr when the object has none.
  const char* name() const { return hasName_ ? name_.c_str() : nullptr; }
  bool hasName() const { return hasName_; }
  // Sets the name (empty or nullptr: none). Refused (returns 0) on a shared placeholder, and
  // when there is no memory for the name (the object keeps its name).
  int rename(const char* name);
  // true when the object has a name equal to the given one (never for an absent name).
  bool nameEquals(const char* name) const;

  // The list that holds this object, or nullptr.
  ObjectList* parentList() const { return parent_; }
  // Shared placeholders are frozen: every change to them is refused.
  bool isFrozen() const { return frozen_; }

 protected:
  void freeze() { frozen_ = true; }

 private:
  friend class ObjectList;

  // The flags come first, in the padding after RefObject's fields.
  bool hasName_ = false;
  bool frozen_ = false;

 protected:
  // The flags of a node of the configuration tree (ConfigNode), kept in the same cache line as
  // the name: a lookup by name that reads one reads the other.
  uint8_t nodeFlags_ = 0;

 private:
  ShortName name_;
  ObjectList* parent_ = nullptr;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_REF_OBJECT_H_
