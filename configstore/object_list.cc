#include "configstore/object_list.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>
#include <utility>

#include "configstore/name_comparator.h"
#include "platform/memory.h"
#include "platform/names.h"

namespace gatekeeper {

namespace {

// Lists below this size are searched slot by slot; from this size on they keep a name index.
constexpr int32_t kIndexThreshold = 16;

}  // namespace

// The name index: an open-addressing table (linear probing) of entries holding 32 bits of a
// name's hash (platform::nameHash), the slot of a child with that name, the child itself and,
// when the name is short, a copy of it; plus the slots whose names get no hash (Windows,
// non-ASCII names), which every lookup also compares. A lookup reads one run of entries (one
// cache line, mostly) and, for a short name, no child at all; a miss reads no child either.
// Several entries may carry one name; a lookup walks the whole probe run of its hash, confirms
// candidates with platform::namesEqual and takes the lowest slot, so the index never changes
// what a lookup finds. Erased entries become tombstones until the table is rebuilt.
struct ObjectList::NameIndex {
  static constexpr int32_t kEmpty = 0;  // an entry of zero bytes is empty
  static constexpr int32_t kErased = -1;
  static constexpr size_t kShortName = 15;  // bytes of a copied name, its terminator included
  static constexpr uint8_t kNameCopied = 1;
  static constexpr uint8_t kValueNode = 2;  // the child's node flag bit 0 (fixed once it is made)
  struct Entry {
    NamedObject* child;  // the child in that slot
    int32_t slot;        // kEmpty, kErased or a slot
    uint32_t tag;
    char name[kShortName];
    uint8_t bits;
  };
  static constexpr size_t kLine = 64;
  // The most the table is filled, tombstones included (seven tenths), so that probe runs stay
  // short: an insert that would exceed it grows the table first.
  static constexpr size_t kMaxLoadNumerator = 7;
  static constexpr size_t kMaxLoadDenominator = 10;
  // Zeroed memory (a table of empty entries) aligned so that no entry straddles cache lines.
  struct Table {
    Table() = default;
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;
    void swap(Table& other) {
      std::swap(memory, other.memory);
      std::swap(entries, other.entries);
    }
    platform::MemoryBlock memory;
    Entry* entries = nullptr;
  };

  Table table;
  size_t size = 0;
  size_t occupied = 0;  // entries that are not kEmpty (tombstones included)
  size_t live = 0;
  size_t expected = 0;  // names the list expects to hold (a hint for growing)
  // Whether two entries may carry one name: lookups then walk whole probe runs for the lowest
  // slot; else they stop at the first match.
  bool repeats = false;
  std::vector<int32_t> unhashed;

  static uint32_t tagOf(uint64_t hash) { return static_cast<uint32_t>(hash ^ (hash >> 32)); }
  // The first entry of a tag's probe run: the tag, its low bits mixed into the high ones
  // (names that differ in their last characters differ in the hash's low bits), scaled to the
  // table's size.
  size_t home(uint32_t tag) const {
    const uint32_t mixed = tag * 2654435769u;
    return static_cast<size_t>((static_cast<uint64_t>(mixed) * size) >> 32);
  }
  size_t next(size_t i) const { return i + 1 == size ? 0 : i + 1; }

  // An empty table with room for `names` entries and a sixth more at the most load: a list
  // whose size was foreseen (reserveNames) takes its last names without growing once more.
  bool reset(size_t names) {
    const size_t room = names + names / 6;
    size_t entries = (room * kMaxLoadDenominator + kMaxLoadNumerator - 1) / kMaxLoadNumerator;
    if (entries < 16) entries = 16;
    Table fresh;
    const size_t bytes = entries * sizeof(Entry) + kLine;
    fresh.memory = platform::MemoryBlock::allocate(bytes);
    if (!fresh.memory) return false;
    // Zeroed by writing, page by page once: pages that a probe read before an insert wrote
    // them would each be faulted in twice, the second time with every core's address
    // translations flushed.
    std::memset(fresh.memory.data(), 0, bytes);
    const auto address = reinterpret_cast<uintptr_t>(fresh.memory.data());
    fresh.entries = reinterpret_cast<Entry*>((address + kLine - 1) / kLine * kLine);
    table.swap(fresh);
    size = entries;
    occupied = 0;
    live = 0;
    repeats = false;
    return true;
  }

  bool needsGrowth() const {
    return (occupied + 1) * kMaxLoadDenominator > size * kMaxLoadNumerator;
  }

  // Room for twice the live entries, or for the names expected, moved over as they are: no
  // name is read again.
  bool grow() {
    Table old;
    old.swap(table);
    const size_t oldSize = size;
    const size_t names = expected > 2 * live + 1 ? expected : 2 * live + 1;
    const bool hadRepeats = repeats;
    if (!reset(names)) {
      table.swap(old);
      size = oldSize;
      return false;
    }
    repeats = hadRepeats;
    for (size_t i = 0; i < oldSize; ++i) {
      if (old.entries[i].slot > 0) place(old.entries[i]);
    }
    return true;
  }

  void insert(uint32_t tag, int32_t slot, NamedObject* child) {
    Entry entry{};
    entry.child = child;
    entry.slot = slot;
    entry.tag = tag;
    const char* name = child->name();
    const size_t length = std::strlen(name);
    if (length < kShortName) {
      std::memcpy(entry.name, name, length + 1);
      entry.bits |= kNameCopied;
    }
    if (child->nodeFlags_ & 1) entry.bits |= kValueNode;
    if (!repeats) {
      NamedObject* same = nullptr;
      bool valueNode = false;
      repeats = find(tag, name, &same, &valueNode) != 0;
    }
    place(entry);
  }

  void place(const Entry& entry) {
    for (size_t i = home(entry.tag);; i = next(i)) {
      Entry& e = table.entries[i];
      if (e.slot == kEmpty || e.slot == kErased) {
        if (e.slot == kEmpty) ++occupied;
        e = entry;
        ++live;
        return;
      }
    }
  }

  // Erases the entry of `child` under `hash` and returns its slot, or 0 when it is not there.
  int32_t erase(uint64_t hash, const NamedObject* child) {
    const uint32_t tag = tagOf(hash);
    for (size_t i = home(tag); table.entries[i].slot != kEmpty; i = next(i)) {
      Entry& e = table.entries[i];
      if (e.slot > 0 && e.child == child && e.tag == tag) {
        const int32_t slot = e.slot;
        e = Entry{};
        e.slot = kErased;
        --live;
        return slot;
      }
    }
    return 0;
  }

  void prefetch(uint64_t hash) const {
#if defined(__GNUC__)
    __builtin_prefetch(&table.entries[home(tagOf(hash))]);
#else
    (void)hash;
#endif
  }

  // The lowest slot among the entries of the tag whose child is named `name`, that child and
  // whether it is a value node.
  int32_t find(uint32_t tag, const char* name, NamedObject** found, bool* valueNode) const {
    int32_t best = 0;
    for (size_t i = home(tag); table.entries[i].slot != kEmpty; i = next(i)) {
      const Entry& e = table.entries[i];
      if (e.tag != tag || e.slot <= 0 || (best != 0 && e.slot > best)) continue;
      const bool equal = (e.bits & kNameCopied) != 0 ? platform::namesEqual(e.name, name)
                                                      : e.child->nameEquals(name);
      if (equal) {
        best = e.slot;
        *found = e.child;
        *valueNode = (e.bits & kValueNode) != 0;
        if (!repeats) break;
      }
    }
    return best;
  }
};

ObjectList::SlotArray::~SlotArray() { std::free(data_); }

bool ObjectList::SlotArray::push(NamedObject* child) {
  if (size_ == capacity_) {
    if (capacity_ == INT32_MAX) return false;
    const int32_t next =
        capacity_ < 4 ? 4 : (capacity_ > INT32_MAX / 2 ? INT32_MAX : 2 * capacity_);
    void* grown = std::realloc(data_, static_cast<size_t>(next) * sizeof(NamedObject*));
    if (grown == nullptr) return false;
    data_ = static_cast<NamedObject**>(grown);
    capacity_ = next;
  }
  data_[size_++] = child;
  return true;
}

void ObjectList::SlotArray::removeEmpty() {
  size_ = static_cast<int32_t>(std::remove(begin(), end(), nullptr) - begin());
}

void ObjectList::SlotArray::shrinkToFit() {
  if (size_ == capacity_) return;
  if (size_ == 0) {
    std::free(data_);
    data_ = nullptr;
    capacity_ = 0;
    return;
  }
  void* fitted = std::realloc(data_, static_cast<size_t>(size_) * sizeof(NamedObject*));
  if (fitted == nullptr) return;  // keeps the larger array
  data_ = static_cast<NamedObject**>(fitted);
  capacity_ = size_;
}

void ObjectList::SlotArray::swap(SlotArray& other) {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
}

ObjectList::ObjectList(const char* name) : NamedObject(name) {}

ObjectList::~ObjectList() {
  for (NamedObject* child : slots_) {
    if (child != nullptr) {
      child->parent_ = nullptr;
      child->destroy();
    }
  }
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

ObjectList::NameKey ObjectList::keyOf(const char* name) {
  NameKey key;
  key.name = name;
  key.hashed = name != nullptr && *name != '\0' && platform::nameHash(name, &key.hash);
  return key;
}

int32_t ObjectList::scanForName(const char* name) const {
  for (int32_t i = 0; i < size(); ++i) {
    if (slots_[i] != nullptr && slots_[i]->nameEquals(name)) return i + 1;
  }
  return 0;
}

int32_t ObjectList::findByKey(const NameKey& key, NamedObject** found, bool* valueNode) const {
  settle();
  *found = nullptr;
  bool value = false;
  bool fromEntry = false;  // the kind of the child found comes from its index entry
  int32_t best = 0;
  if (key.name != nullptr && *key.name != '\0') {
    if (index_ == nullptr || !key.hashed) {
      best = scanForName(key.name);
    } else {
      best = index_->find(NameIndex::tagOf(key.hash), key.name, found, &value);
      fromEntry = best != 0;
      for (int32_t slot : index_->unhashed) {
        if ((best == 0 || slot < best) && slots_[slot - 1]->nameEquals(key.name)) {
          best = slot;
          fromEntry = false;
        }
      }
    }
    if (!fromEntry) *found = best != 0 ? slots_[best - 1] : nullptr;
  }
  if (valueNode != nullptr) {
    *valueNode = fromEntry ? value : *found != nullptr && ((*found)->nodeFlags_ & 1) != 0;
  }
  return best;
}

int32_t ObjectList::indexOfName(const char* name) const {
  settle();
  if (name == nullptr || *name == '\0') return 0;
  // Small lists have no index: their names are compared without hashing the one asked for.
  if (index_ == nullptr) return scanForName(name);
  NamedObject* found = nullptr;
  return findByKey(keyOf(name), &found, nullptr);
}

NamedObject* ObjectList::getByName(const char* name) const { return getByName(name, nullptr); }

NamedObject* ObjectList::getByName(const char* name, bool* valueNode) const {
  settle();
  NamedObject* found = nullptr;
  if (name == nullptr || *name == '\0') {
    if (valueNode != nullptr) *valueNode = false;
    return nullptr;
  }
  // Small lists have no index: their names are compared without hashing the one asked for.
  findByKey(index_ == nullptr ? NameKey{name, 0, false} : keyOf(name), &found, valueNode);
  return found;
}

void ObjectList::reserveNames(size_t names) {
  if (index_ != nullptr) index_->expected = names;
}

void ObjectList::prefetchKey(const NameKey& key) const {
  if (index_ != nullptr && key.hashed && !isPending()) index_->prefetch(key.hash);
}

int32_t ObjectList::firstEmptySlot() const {
  settle();
  return firstHole_;
}

void ObjectList::indexInsert(int32_t slot, const NameKey* key) {
  if (index_ == nullptr) return;
  NamedObject* child = slots_[slot - 1];
  if (child == nullptr || !child->hasName()) return;
  const NameKey own = key != nullptr ? *key : keyOf(child->name());
  if (own.hashed) {
    if (index_->needsGrowth() && !index_->grow()) {
      index_.reset();  // lookups fall back to the scan
      return;
    }
    index_->insert(NameIndex::tagOf(own.hash), slot, child);
  } else if (!push(index_->unhashed, slot)) {
    index_.reset();
  }
}

bool ObjectList::push(std::vector<int32_t>& slots, int32_t slot) {
  try {
    slots.push_back(slot);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void ObjectList::indexErase(int32_t slot) {
  if (index_ == nullptr) return;
  const NamedObject* child = slots_[slot - 1];
  if (child == nullptr || !child->hasName()) return;
  uint64_t hash = 0;
  if (platform::nameHash(child->name(), &hash)) {
    index_->erase(hash, child);
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
  // Room for the children there are now (see reset); adds beyond that grow the table.
  if (!index_->reset(static_cast<size_t>(size()))) {
    index_.reset();
    return;
  }
  for (int32_t slot = 1; slot <= size(); ++slot) {
    indexInsert(slot);
    if (index_ == nullptr) return;
  }
}

void ObjectList::childRenamed(NamedObject* child, const char* oldName) {
  if (index_ == nullptr) return;
  // Drop the entry of the old name (it tells the child's slot), then index the new one.
  int32_t slot = 0;
  uint64_t hash = 0;
  if (oldName != nullptr && platform::nameHash(oldName, &hash)) {
    slot = index_->erase(hash, child);
  }
  if (slot == 0) {
    for (int32_t i = 0; i < size(); ++i) {
      if (slots_[i] == child) {
        slot = i + 1;
        break;
      }
    }
    if (slot == 0) return;
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
  if (child == nullptr) return 0;
  if (index_ == nullptr) return addWithKey(child, NameKey{});
  return addWithKey(child, keyOf(child->name()));
}

int32_t ObjectList::addWithKey(NamedObject* child, const NameKey& key) {
  settle();
  if (child == nullptr || refusesChanges()) return 0;
  if (firstHole_ != 0) {
    const int32_t slot = firstHole_;
    setSlot(slot, child);
    return slot;
  }
  if (!slots_.push(child)) return 0;
  child->parent_ = this;
  const int32_t slot = size();
  if (index_ == nullptr) {
    if (slot >= kIndexThreshold) rebuildIndex();
  } else {
    indexInsert(slot, key.name != nullptr ? &key : nullptr);
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
  slots_.removeEmpty();
  firstHole_ = 0;
  rebuildIndex();
  return size();
}

void ObjectList::clear() {
  settle();
  if (refusesChanges()) return;
  SlotArray old;
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
  self->slots_.shrinkToFit();
  self->firstHole_ = from.firstHole_;
  from.firstHole_ = 0;
  for (NamedObject* child : self->slots_) {
    if (child != nullptr) child->parent_ = self;
  }
  // The index holds slots and children, both unchanged by the move.
  self->index_ = std::move(from.index_);
  if (self->index_ == nullptr && self->size() >= kIndexThreshold) self->rebuildIndex();
  pending_.store(false, std::memory_order_release);
}

}  // namespace gatekeeper
