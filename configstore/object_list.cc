#include "configstore/object_list.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <utility>

#include "configstore/name_comparator.h"
#include "configstore/named_handles.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

// Lists below this size are searched slot by slot; from this size on they keep a name index.
constexpr int32_t kIndexThreshold = 16;

}  // namespace

// The name index: an open-addressing table (linear probing, power-of-two size) of entries
// holding the low bits of a name's hash (platform::nameHash) and the slot of a child with that
// name, plus the slots whose names get no hash (Windows, non-ASCII names), which every lookup
// also compares. Several entries may carry one name; a lookup walks the whole probe run of its
// hash, confirms candidates with platform::namesEqual and takes the lowest slot, so the index
// never changes what a lookup finds. Erased entries become tombstones until the next rebuild.
struct ObjectList::NameIndex {
  static constexpr int32_t kEmpty = 0;
  static constexpr int32_t kErased = -1;
  struct Entry {
    uint32_t tag;
    int32_t slot;  // kEmpty, kErased or a slot
  };

  std::vector<Entry> table;
  size_t occupied = 0;  // entries that are not kEmpty (tombstones included)
  size_t live = 0;
  std::vector<int32_t> unhashed;

  size_t mask() const { return table.size() - 1; }
  static uint32_t tagOf(uint64_t hash) { return static_cast<uint32_t>(hash ^ (hash >> 32)); }

  // An empty table with room for `names` entries at a load of at most one half.
  bool reset(size_t names) {
    size_t size = 16;
    while (size < 2 * names) size *= 2;
    try {
      std::vector<Entry>(size, Entry{0, kEmpty}).swap(table);
    } catch (const std::bad_alloc&) {
      return false;
    }
    occupied = 0;
    live = 0;
    return true;
  }

  // At most two thirds full, tombstones included, so that a probe run stays short.
  bool needsGrowth() const { return (occupied + 1) * 3 > table.size() * 2; }

  // Twice the room for the live entries, moved over by their tags: no name is read again.
  bool grow() {
    std::vector<Entry> old;
    old.swap(table);
    if (!reset(2 * live + 1)) {
      table.swap(old);
      return false;
    }
    for (const Entry& e : old) {
      if (e.slot > 0) insertTagged(e.tag, e.slot);
    }
    return true;
  }

  void insert(uint64_t hash, int32_t slot) { insertTagged(tagOf(hash), slot); }

  void insertTagged(uint32_t tag, int32_t slot) {
    for (size_t i = tag & mask();; i = (i + 1) & mask()) {
      Entry& e = table[i];
      if (e.slot == kEmpty || e.slot == kErased) {
        if (e.slot == kEmpty) ++occupied;
        e = Entry{tag, slot};
        ++live;
        return;
      }
    }
  }

  // Erases the entry of `slot` under `hash`; true when it was there.
  bool erase(uint64_t hash, int32_t slot) {
    const uint32_t tag = tagOf(hash);
    for (size_t i = tag & mask(); table[i].slot != kEmpty; i = (i + 1) & mask()) {
      if (table[i].slot == slot && table[i].tag == tag) {
        table[i].slot = kErased;
        --live;
        return true;
      }
    }
    return false;
  }

  template <typename Visit>
  void forEachCandidate(uint64_t hash, Visit visit) const {
    const uint32_t tag = tagOf(hash);
    for (size_t i = tag & mask(); table[i].slot != kEmpty; i = (i + 1) & mask()) {
      if (table[i].slot != kErased && table[i].tag == tag) visit(table[i].slot);
    }
  }
};

ObjectList::ObjectList(const char* name) : NamedObject(name) {}

ObjectList::~ObjectList() {
  for (NamedObject* child : slots_) {
    if (child != nullptr) {
      child->parent_ = nullptr;
      child->destroy();
    }
  }
}

CommonHandle* ObjectList::getInterface(uint32_t id) {
  if (id == kObjectListInterface) return newObjectListHandle(this);
  return NamedObject::getInterface(id);
}

void ObjectList::sort(NameComparator* comparator, int descending) {
  settle();
  if (refusesChanges()) return;
  NameComparator temporary;
  NameComparator* c = comparator != nullptr ? comparator : &temporary;
  const int32_t n = size();
  // Selection by exchange: each slot i receives, in turn, every later child that compares
  // not-less (descending) or not-greater (ascending) than the one it holds.
  for (int32_t i = 0; i + 1 < n; ++i) {
    for (int32_t j = i; j < n; ++j) {
      const int holds = descending ? c->notLess(slots_[j], slots_[i])
                                   : c->notGreater(slots_[j], slots_[i]);
      if (holds) std::swap(slots_[i], slots_[j]);
    }
  }
  firstHole_ = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (slots_[i] == nullptr) {
      firstHole_ = i + 1;
      break;
    }
  }
  rebuildIndex();
}

NamedObject* ObjectList::getByIndex(int32_t index) const {
  settle();
  if (index < 1 || index > size()) return nullptr;
  return slots_[index - 1];
}

int32_t ObjectList::indexOfName(const char* name) const {
  settle();
  if (name == nullptr || *name == '\0') return 0;
  uint64_t hash = 0;
  if (index_ == nullptr || !platform::nameHash(name, &hash)) {
    for (int32_t i = 0; i < size(); ++i) {
      if (slots_[i] != nullptr && slots_[i]->nameEquals(name)) return i + 1;
    }
    return 0;
  }
  int32_t best = 0;
  auto consider = [&](int32_t slot) {
    if ((best == 0 || slot < best) && slots_[slot - 1] != nullptr &&
        slots_[slot - 1]->nameEquals(name)) {
      best = slot;
    }
  };
  index_->forEachCandidate(hash, consider);
  for (int32_t slot : index_->unhashed) consider(slot);
  return best;
}

int32_t ObjectList::firstEmptySlot() const {
  settle();
  return firstHole_;
}

void ObjectList::indexInsert(int32_t slot) {
  if (index_ == nullptr) return;
  const NamedObject* child = slots_[slot - 1];
  if (child == nullptr || !child->hasName()) return;
  uint64_t hash = 0;
  if (platform::nameHash(child->name(), &hash)) {
    if (index_->needsGrowth() && !index_->grow()) {
      index_.reset();  // lookups fall back to the scan
      return;
    }
    index_->insert(hash, slot);
  } else {
    index_->unhashed.push_back(slot);
  }
}

void ObjectList::indexErase(int32_t slot) {
  if (index_ == nullptr) return;
  const NamedObject* child = slots_[slot - 1];
  if (child == nullptr || !child->hasName()) return;
  uint64_t hash = 0;
  if (platform::nameHash(child->name(), &hash)) {
    index_->erase(hash, slot);
  } else {
    auto& u = index_->unhashed;
    u.erase(std::remove(u.begin(), u.end(), slot), u.end());
  }
}

void ObjectList::rebuildIndex() {
  if (size() < kIndexThreshold) {
    index_.reset();
    return;
  }
  if (index_ == nullptr) {
    index_.reset(new (std::nothrow) NameIndex);
    if (index_ == nullptr) return;  // lookups fall back to the scan
  }
  index_->unhashed.clear();
  // Sized once for the children there are now (and as many again), so a list filled one add at
  // a time rebuilds only when it has doubled.
  if (!index_->reset(2 * slots_.size())) {
    index_.reset();
    return;
  }
  for (int32_t slot = 1; slot <= size(); ++slot) {
    const NamedObject* child = slots_[slot - 1];
    if (child == nullptr || !child->hasName()) continue;
    uint64_t hash = 0;
    if (platform::nameHash(child->name(), &hash)) {
      index_->insert(hash, slot);
    } else {
      index_->unhashed.push_back(slot);
    }
  }
}

void ObjectList::childRenamed(NamedObject* child, const char* oldName) {
  if (index_ == nullptr) return;
  // Find the child's slot, drop the entry of its old name, then index it under the new one.
  int32_t slot = 0;
  for (int32_t i = 0; i < size(); ++i) {
    if (slots_[i] == child) {
      slot = i + 1;
      break;
    }
  }
  if (slot == 0) return;
  uint64_t hash = 0;
  if (oldName != nullptr && platform::nameHash(oldName, &hash)) {
    index_->erase(hash, slot);
  } else if (oldName != nullptr) {
    auto& u = index_->unhashed;
    u.erase(std::remove(u.begin(), u.end(), slot), u.end());
  }
  indexInsert(slot);
}

// Puts a child (or nullptr) into an existing slot, keeping the index and the hole hint current.
// The previous occupant is neither destroyed nor unlinked here.
void ObjectList::setSlot(int32_t slot, NamedObject* child) {
  indexErase(slot);
  slots_[slot - 1] = child;
  if (child != nullptr) {
    child->parent_ = this;
    if (firstHole_ == slot) {
      firstHole_ = 0;
      for (int32_t i = slot; i < size(); ++i) {
        if (slots_[i] == nullptr) {
          firstHole_ = i + 1;
          break;
        }
      }
    }
  } else if (firstHole_ == 0 || slot < firstHole_) {
    firstHole_ = slot;
  }
  indexInsert(slot);
}

int32_t ObjectList::add(NamedObject* child) {
  settle();
  if (child == nullptr || refusesChanges()) return 0;
  if (firstHole_ != 0) {
    const int32_t slot = firstHole_;
    setSlot(slot, child);
    return slot;
  }
  try {
    slots_.push_back(child);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  child->parent_ = this;
  const int32_t slot = size();
  if (index_ == nullptr && slot >= kIndexThreshold) {
    rebuildIndex();
  } else {
    indexInsert(slot);
  }
  return slot;
}

int32_t ObjectList::removeByIndex(int32_t index) {
  NamedObject* child = detachAtIndex(index, nullptr);
  if (child == nullptr) return 0;
  child->destroy();
  return index;
}

int32_t ObjectList::removeByName(const char* name) {
  if (refusesChanges()) return 0;
  return removeByIndex(indexOfName(name));
}

int32_t ObjectList::removeObject(const NamedObject* child) {
  settle();
  if (child == nullptr || refusesChanges()) return 0;
  for (int32_t i = 0; i < size(); ++i) {
    if (slots_[i] == child) return removeByIndex(i + 1);
  }
  return 0;
}

NamedObject* ObjectList::detachAtIndex(int32_t index, NamedObject* replacement) {
  settle();
  if (refusesChanges() || index < 1 || index > size()) return nullptr;
  NamedObject* old = slots_[index - 1];
  setSlot(index, replacement);
  if (old != nullptr && old != replacement) old->parent_ = nullptr;
  return old;
}

NamedObject* ObjectList::detachAtName(const char* name, NamedObject* replacement) {
  return detachAtIndex(indexOfName(name), replacement);
}

int ObjectList::setAtIndex(int32_t index, NamedObject* child) {
  settle();
  if (refusesChanges() || index < 1 || index > size()) return 0;
  NamedObject* old = detachAtIndex(index, child);
  if (old != nullptr && old != child) old->destroy();
  return 1;
}

int ObjectList::setAtName(const char* name, NamedObject* child) {
  return setAtIndex(indexOfName(name), child);
}

int ObjectList::swap(int32_t first, int32_t second) {
  settle();
  if (refusesChanges() || first < 1 || first > size() || second < 1 || second > size()) {
    return 0;
  }
  if (first == second) return 1;
  NamedObject* a = slots_[first - 1];
  NamedObject* b = slots_[second - 1];
  setSlot(first, nullptr);
  setSlot(second, a);
  setSlot(first, b);
  return 1;
}

int ObjectList::swapByNames(const char* first, const char* second) {
  return swap(indexOfName(first), indexOfName(second));
}

int32_t ObjectList::compact() {
  settle();
  if (refusesChanges()) return size();
  slots_.erase(std::remove(slots_.begin(), slots_.end(), nullptr), slots_.end());
  firstHole_ = 0;
  rebuildIndex();
  return size();
}

void ObjectList::clear() {
  settle();
  if (refusesChanges()) return;
  std::vector<NamedObject*> old;
  old.swap(slots_);
  firstHole_ = 0;
  index_.reset();
  for (NamedObject* child : old) {
    if (child != nullptr) {
      child->parent_ = nullptr;
      child->destroy();
    }
  }
}

bool ObjectList::cloneChildrenFrom(const ObjectList& other) {
  other.settle();
  for (const NamedObject* child : other.slots_) {
    if (child == nullptr) continue;
    NamedObject* copy = child->clone();
    if (copy == nullptr) return false;
    if (add(copy) == 0) {
      copy->destroy();
      return false;
    }
  }
  return true;
}

void ObjectList::takeChildren(ObjectList& from) const {
  // Runs while other threads may be waiting to read this list: nothing here settles.
  auto* self = const_cast<ObjectList*>(this);
  self->slots_.swap(from.slots_);
  self->firstHole_ = from.firstHole_;
  from.firstHole_ = 0;
  from.index_.reset();
  for (NamedObject* child : self->slots_) {
    if (child != nullptr) child->parent_ = self;
  }
  self->rebuildIndex();
  pending_.store(false, std::memory_order_release);
}

}  // namespace gatekeeper
