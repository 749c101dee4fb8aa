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

// The name index: hash of the name (platform::nameHash) to the slots holding a child of a name
// with that hash, plus the slots whose names get no hash (Windows, non-ASCII names), which every
// lookup also compares. Candidates are always confirmed with platform::namesEqual, and the
// lowest confirmed slot wins, so the index never changes what a lookup finds.
struct ObjectList::NameIndex {
  std::unordered_multimap<uint64_t, int32_t> byHash;
  std::vector<int32_t> unhashed;
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
  if (refusesChanges()) return;
  NameComparator temporary;
  NameComparator* c = comparator != nullptr ? comparator : &temporary;
  const int32_t n = count();
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
  if (index < 1 || index > count()) return nullptr;
  return slots_[index - 1];
}

int32_t ObjectList::indexOfName(const char* name) const {
  if (name == nullptr || *name == '\0') return 0;
  uint64_t hash = 0;
  if (index_ == nullptr || !platform::nameHash(name, &hash)) {
    for (int32_t i = 0; i < count(); ++i) {
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
  auto range = index_->byHash.equal_range(hash);
  for (auto it = range.first; it != range.second; ++it) consider(it->second);
  for (int32_t slot : index_->unhashed) consider(slot);
  return best;
}

int32_t ObjectList::firstEmptySlot() const { return firstHole_; }

void ObjectList::indexInsert(int32_t slot) {
  if (index_ == nullptr) return;
  const NamedObject* child = slots_[slot - 1];
  if (child == nullptr || !child->hasName()) return;
  uint64_t hash = 0;
  if (platform::nameHash(child->name(), &hash)) {
    index_->byHash.emplace(hash, slot);
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
    auto range = index_->byHash.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == slot) {
        index_->byHash.erase(it);
        return;
      }
    }
  } else {
    auto& u = index_->unhashed;
    u.erase(std::remove(u.begin(), u.end(), slot), u.end());
  }
}

void ObjectList::rebuildIndex() {
  if (count() < kIndexThreshold) {
    index_.reset();
    return;
  }
  if (index_ == nullptr) {
    index_.reset(new (std::nothrow) NameIndex);
    if (index_ == nullptr) return;  // lookups fall back to the scan
  } else {
    index_->byHash.clear();
    index_->unhashed.clear();
  }
  index_->byHash.reserve(slots_.size());
  for (int32_t slot = 1; slot <= count(); ++slot) indexInsert(slot);
}

void ObjectList::childRenamed(NamedObject* child, const char* oldName) {
  if (index_ == nullptr) return;
  // Find the child's slot through its old name's entry, then index it under the new one.
  int32_t slot = 0;
  uint64_t hash = 0;
  if (oldName != nullptr && platform::nameHash(oldName, &hash)) {
    auto range = index_->byHash.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      if (slots_[it->second - 1] == child) {
        slot = it->second;
        index_->byHash.erase(it);
        break;
      }
    }
  } else if (oldName != nullptr) {
    auto& u = index_->unhashed;
    for (size_t i = 0; i < u.size(); ++i) {
      if (slots_[u[i] - 1] == child) {
        slot = u[i];
        u.erase(u.begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
    }
  } else {
    for (int32_t i = 0; i < count(); ++i) {
      if (slots_[i] == child) slot = i + 1;
    }
  }
  if (slot != 0) indexInsert(slot);
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
      for (int32_t i = slot; i < count(); ++i) {
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
  const int32_t slot = count();
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
  if (child == nullptr || refusesChanges()) return 0;
  for (int32_t i = 0; i < count(); ++i) {
    if (slots_[i] == child) return removeByIndex(i + 1);
  }
  return 0;
}

NamedObject* ObjectList::detachAtIndex(int32_t index, NamedObject* replacement) {
  if (refusesChanges() || index < 1 || index > count()) return nullptr;
  NamedObject* old = slots_[index - 1];
  setSlot(index, replacement);
  if (old != nullptr && old != replacement) old->parent_ = nullptr;
  return old;
}

NamedObject* ObjectList::detachAtName(const char* name, NamedObject* replacement) {
  return detachAtIndex(indexOfName(name), replacement);
}

int ObjectList::setAtIndex(int32_t index, NamedObject* child) {
  if (refusesChanges() || index < 1 || index > count()) return 0;
  NamedObject* old = detachAtIndex(index, child);
  if (old != nullptr && old != child) old->destroy();
  return 1;
}

int ObjectList::setAtName(const char* name, NamedObject* child) {
  return setAtIndex(indexOfName(name), child);
}

int ObjectList::swap(int32_t first, int32_t second) {
  if (refusesChanges() || first < 1 || first > count() || second < 1 || second > count()) {
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
  if (refusesChanges()) return count();
  slots_.erase(std::remove(slots_.begin(), slots_.end(), nullptr), slots_.end());
  firstHole_ = 0;
  rebuildIndex();
  return count();
}

void ObjectList::clear() {
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

}  // namespace gatekeeper
