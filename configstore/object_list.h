// A named list of owned children in 1-based slots with holes.
#ifndef GATEKEEPER_CONFIGSTORE_OBJECT_LIST_H_
#define GATEKEEPER_CONFIGSTORE_OBJECT_LIST_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "configstore/ref_object.h"

namespace gatekeeper {

class NameComparator;

// Children sit in slots 1..count(); an empty slot holds nullptr. Removing a child leaves its
// slot empty, so the indices of the others stay valid until compact(); add() reuses the first
// empty slot before growing the array by one.
//
// Name lookups return the first non-empty slot whose child's name equals the given one
// (ignoring case). Lists with many children keep a hash index of their children's names (open
// addressing, one probe sequence of small entries), so lookups and get-or-create stay O(1) on
// average at a million children. The index is kept current by every change (add, remove,
// detach, set, swap, compact, sort, clear and the rename of a child); const operations only
// read it, so any number of threads may read one list at once while no thread changes it.
//
// A list may come into being with its children still to be made (a section loaded from a file
// keeps its lines as text until first use): every operation first makes them, once, safely
// under concurrent readers (see settlePending).
class ObjectList : public NamedObject {
 public:
  explicit ObjectList(const char* name = nullptr);
  ~ObjectList() override;  // destroys the children

  // Sorts the slots with the comparator (a temporary NameComparator when nullptr): descending
  // name order for a non-zero flag, ascending for zero with NameComparator. Empty slots take
  // part as absent objects.
  virtual void sort(NameComparator* comparator, int descending);

  // Number of slots, empty ones included.
  int32_t count() const {
    settle();
    return size();
  }
  // The child in a slot, or nullptr (empty slot or index outside 1..count()).
  NamedObject* getByIndex(int32_t index) const;
  // The first non-empty slot whose child's name equals the given name; 0 when none or when
  // the name is absent.
  int32_t indexOfName(const char* name) const;
  NamedObject* getByName(const char* name) const;
  // The first empty slot, 0 when none.
  int32_t firstEmptySlot() const;

  // Takes ownership of the child and puts it into the first empty slot or a new last slot.
  // Returns the slot, 0 for nullptr (or when the list refuses changes; the caller keeps it).
  int32_t add(NamedObject* child);
  // Destroy the child and leave its slot empty; return the slot or 0.
  int32_t removeByIndex(int32_t index);
  int32_t removeByName(const char* name);
  int32_t removeObject(const NamedObject* child);
  // Puts the replacement (owned by the list from now on; may be nullptr) into the slot without
  // destroying the old child, and hands the old child to the caller. nullptr when the slot does
  // not exist (the replacement then stays with the caller).
  NamedObject* detachAtIndex(int32_t index, NamedObject* replacement = nullptr);
  NamedObject* detachAtName(const char* name, NamedObject* replacement = nullptr);
  // Destroys the old child and puts the given one (may be nullptr) into the slot; 1 or 0.
  int setAtIndex(int32_t index, NamedObject* child);
  int setAtName(const char* name, NamedObject* child);
  // Exchanges two slots; 1 or 0.
  int swap(int32_t first, int32_t second);
  int swapByNames(const char* first, const char* second);
  // Removes every empty slot keeping the order; returns the new count.
  int32_t compact();
  // Destroys every child; count becomes 0.
  void clear();

 protected:
  // A name with its hash computed once, for a lookup followed by an add of the same name.
  struct NameKey {
    const char* name = nullptr;
    uint64_t hash = 0;
    bool hashed = false;  // false: the name gets no hash (see platform::nameHash) or is absent
  };
  static NameKey keyOf(const char* name);
  // indexOfName and add for a name whose key is known; the child added carries key.name.
  // findByKey also gives the child found (nullptr when none) and, when valueNode is given,
  // whether bit 0 of its node flags is set (see NamedObject::nodeFlags_), without reading the
  // child when the index knows it.
  int32_t findByKey(const NameKey& key, NamedObject** found, bool* valueNode) const;
  // getByName, also telling whether the child is a value node (as findByKey).
  NamedObject* getByName(const char* name, bool* valueNode) const;
  int32_t addWithKey(NamedObject* child, const NameKey& key);
  // Tells the list how many children it expects to hold (a list being loaded): its name index,
  // when it next grows, grows to hold them, instead of through every size on the way.
  void reserveNames(size_t names);
  // Starts loading the index entries that a lookup of the key reads, so that work done before
  // the lookup hides the memory latency.
  void prefetchKey(const NameKey& key) const;

  // Copies clones of the children (in slot order, skipping empty slots) of another list.
  // false when a clone failed.
  bool cloneChildrenFrom(const ObjectList& other);

  // Children still to be made: markPending() (while the list is not shared) makes every later
  // operation call settlePending() first, until that calls takeChildren(). settlePending runs
  // at most once to completion and may run on any reading thread; an override serializes
  // itself and calls takeChildren() last.
  void markPending() { pending_.store(true, std::memory_order_relaxed); }
  bool isPending() const { return pending_.load(std::memory_order_acquire); }
  virtual void settlePending() const {}
  // Moves every child of `from` (a list without pending children, not shared) into this empty
  // list, keeping their slots and their name index, and publishes them to other threads.
  void takeChildren(ObjectList& from) const;
  void settle() const {
    if (isPending()) settlePending();
  }

 private:
  friend class NamedObject;
  struct NameIndex;

  // The slots: a growable array of child pointers, kept small (16 bytes) because a loaded
  // database holds a list per user.
  class SlotArray {
   public:
    SlotArray() = default;
    SlotArray(const SlotArray&) = delete;
    SlotArray& operator=(const SlotArray&) = delete;
    ~SlotArray();
    int32_t size() const { return size_; }
    NamedObject*& operator[](int32_t i) { return data_[i]; }
    NamedObject* operator[](int32_t i) const { return data_[i]; }
    NamedObject** begin() { return data_; }
    NamedObject** end() { return data_ + size_; }
    NamedObject* const* begin() const { return data_; }
    NamedObject* const* end() const { return data_ + size_; }
    // Appends; false on allocation failure (the array is unchanged).
    bool push(NamedObject* child);
    // Drops the empty slots, keeping the order.
    void removeEmpty();
    // Gives back the room beyond the size.
    void shrinkToFit();
    void swap(SlotArray& other);

   private:
    NamedObject** data_ = nullptr;
    int32_t size_ = 0;
    int32_t capacity_ = 0;
  };

  // Called by a child whose name changes from oldName (may be nullptr) to its current name.
  void childRenamed(NamedObject* child, const char* oldName);
  void indexInsert(int32_t slot, const NameKey* key = nullptr);
  void indexErase(int32_t slot);
  void rebuildIndex();
  void setSlot(int32_t slot, NamedObject* child);
  bool refusesChanges() const { return isFrozen(); }
  int32_t size() const { return slots_.size(); }
  int32_t scanForName(const char* name) const;
  static bool push(std::vector<int32_t>& slots, int32_t slot);

  // Laid out small: pending_ and firstHole_ share one word.
  mutable std::atomic<bool> pending_{false};
  int32_t firstHole_ = 0;  // the lowest empty slot (1-based), 0 when there is none
  SlotArray slots_;
  std::unique_ptr<NameIndex> index_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_OBJECT_LIST_H_
