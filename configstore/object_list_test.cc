#include "configstore/object_list.h"

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "configstore/name_comparator.h"
#include "platform/names.h"

namespace gatekeeper {
namespace {

std::vector<std::string> namesOf(const ObjectList& list) {
  std::vector<std::string> out;
  for (int32_t i = 1; i <= list.count(); ++i) {
    const NamedObject* child = list.getByIndex(i);
    out.push_back(child == nullptr ? "-" : (child->hasName() ? child->name() : "?"));
  }
  return out;
}

TEST(ObjectListTest, SlotsAreReusedLowestFirst) {
  ObjectList list;
  EXPECT_EQ(list.add(new NamedObject("a")), 1);
  EXPECT_EQ(list.add(new NamedObject("b")), 2);
  EXPECT_EQ(list.add(new NamedObject("c")), 3);
  EXPECT_EQ(list.add(nullptr), 0);
  EXPECT_EQ(list.removeByName("B"), 2);
  EXPECT_EQ(list.firstEmptySlot(), 2);
  EXPECT_EQ(list.count(), 3);
  EXPECT_EQ(list.add(new NamedObject("d")), 2);
  EXPECT_EQ(list.firstEmptySlot(), 0);
  EXPECT_EQ(namesOf(list), (std::vector<std::string>{"a", "d", "c"}));
  list.removeByIndex(3);
  list.removeByIndex(1);
  EXPECT_EQ(list.firstEmptySlot(), 1);
  EXPECT_EQ(list.compact(), 1);
  EXPECT_EQ(namesOf(list), (std::vector<std::string>{"d"}));
  EXPECT_EQ(list.getByIndex(0), nullptr);
  EXPECT_EQ(list.getByIndex(2), nullptr);
  EXPECT_EQ(list.removeByIndex(5), 0);
}

TEST(ObjectListTest, LookupIgnoresCaseAndFindsTheLowestSlot) {
  ObjectList list;
  list.add(new NamedObject("Main"));
  list.add(new NamedObject("MAIN"));
  list.add(new NamedObject(nullptr));
  EXPECT_EQ(list.indexOfName("main"), 1);
  EXPECT_EQ(list.indexOfName(nullptr), 0);
  EXPECT_EQ(list.indexOfName(""), 0);
  list.removeByIndex(1);
  EXPECT_EQ(list.indexOfName("main"), 2);
  NamedObject* old = list.detachAtName("main", new NamedObject("other"));
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->parentList(), nullptr);
  old->destroy();
  EXPECT_EQ(list.indexOfName("OTHER"), 2);
  EXPECT_EQ(list.swapByNames("other", "nothing"), 0);
  EXPECT_EQ(list.swap(1, 2), 1);
  EXPECT_EQ(list.indexOfName("other"), 1);
  EXPECT_EQ(list.firstEmptySlot(), 2);
}

TEST(ObjectListTest, SortOrdersByNameWithNamelessFirst) {
  ObjectList list;
  for (const char* n : {"delta", "Alpha", "charlie", "bravo"}) list.add(new NamedObject(n));
  list.add(new NamedObject(nullptr));
  list.sort(nullptr, 0);
  EXPECT_EQ(namesOf(list), (std::vector<std::string>{"?", "Alpha", "bravo", "charlie", "delta"}));
  list.sort(nullptr, 1);
  EXPECT_EQ(namesOf(list), (std::vector<std::string>{"?", "delta", "charlie", "bravo", "Alpha"}));
  EXPECT_EQ(list.indexOfName("charlie"), 3);
}

TEST(ObjectListTest, ComparatorRulesForAbsentObjectsAndNames) {
  NameComparator c;
  NamedObject a("a"), b("B"), none(nullptr);
  EXPECT_EQ(c.notLess(&b, &a), 1);
  EXPECT_EQ(c.notLess(&a, &b), 0);
  EXPECT_EQ(c.notLess(&none, &a), 1);
  EXPECT_EQ(c.notLess(&a, nullptr), 1);
  EXPECT_EQ(c.notLess(nullptr, &a), 0);
  EXPECT_EQ(c.notLess(&a, &none), 0);
  EXPECT_EQ(c.equal(nullptr, nullptr), 1);
  EXPECT_EQ(c.equal(&a, &a), 1);
  EXPECT_EQ(c.equal(&a, nullptr), 0);
  EXPECT_EQ(c.larger(&a, &b), &b);
  EXPECT_EQ(c.smaller(&a, &b), &a);
  EXPECT_EQ(c.less(&a, &b), 1);
  EXPECT_EQ(c.greater(&a, &b), 0);
}

// Names are kept in place up to 14 characters and on the heap beyond: every length reads back,
// renames between the two kinds keep the name index current, and case is still ignored.
TEST(ObjectListTest, NamesOfEveryLengthReadBackAndAreFound) {
  const std::string lengths[] = {"a", std::string(14, 'b'), std::string(15, 'c'),
                                 std::string(16, 'd'), std::string(300, 'e')};
  ObjectList list;
  for (int i = 0; i < 20; ++i) list.add(new NamedObject(("filler" + std::to_string(i)).c_str()));
  for (const std::string& name : lengths) {
    NamedObject* child = new NamedObject(name.c_str());
    EXPECT_EQ(child->name(), name);
    const int32_t slot = list.add(child);
    for (const std::string& other : lengths) {
      ASSERT_EQ(child->rename(other.c_str()), 1);
      EXPECT_EQ(child->name(), other);
      std::string upper = other;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_EQ(list.indexOfName(upper.c_str()), slot) << other.size();
      if (other != name) {
        EXPECT_EQ(list.indexOfName(name.c_str()), 0) << name.size();
      }
    }
    ASSERT_EQ(child->rename(nullptr), 1);
    EXPECT_FALSE(child->hasName());
    EXPECT_EQ(list.indexOfName(lengths[4].c_str()), 0);
    list.removeByIndex(slot);
  }
}

// A name that comes to be held twice in a large list, by an add into a hole or by a rename, is
// found in the lower slot from then on.
TEST(ObjectListTest, NameHeldTwiceIsFoundInTheLowerSlot) {
  ObjectList list;
  for (int i = 1; i <= 40; ++i) list.add(new NamedObject(("user" + std::to_string(i)).c_str()));
  EXPECT_EQ(list.indexOfName("USER30"), 30);
  list.removeByIndex(3);
  EXPECT_EQ(list.add(new NamedObject("User30")), 3);
  EXPECT_EQ(list.indexOfName("user30"), 3);
  list.getByIndex(7)->rename("user20");
  EXPECT_EQ(list.indexOfName("user20"), 7);
  list.getByIndex(2)->rename("USER20");
  EXPECT_EQ(list.indexOfName("user20"), 2);
  list.removeByIndex(2);
  EXPECT_EQ(list.indexOfName("user20"), 7);
  list.removeByIndex(3);
  EXPECT_EQ(list.indexOfName("user30"), 30);
}

// Runs random changes on a large list (so that it keeps a name index) and checks every lookup
// against a plain scan: the index must never change what a lookup finds.
TEST(ObjectListTest, IndexedLookupsAgreeWithAScanUnderRandomChanges) {
  std::mt19937 random(7);
  const char* pool[] = {"alice", "ALICE", "bob", "Carol", "dave", "Eve", "mallory", "trent",
                        "peggy", "victor", "walter", "zoe", "\xC4rger", "\xE4rger"};
  auto pick = [&] { return pool[random() % (sizeof(pool) / sizeof(pool[0]))]; };
  ObjectList list;
  for (int i = 0; i < 40; ++i) list.add(new NamedObject(pick()));
  auto scan = [&](const char* name) {
    for (int32_t i = 1; i <= list.count(); ++i) {
      const NamedObject* child = list.getByIndex(i);
      if (child != nullptr && child->hasName() && platform::namesEqual(child->name(), name)) {
        return i;
      }
    }
    return 0;
  };
  for (int step = 0; step < 4000; ++step) {
    const int32_t n = list.count();
    const int32_t slot = n > 0 ? static_cast<int32_t>(random() % n) + 1 : 0;
    if (n == 0) {
      list.add(new NamedObject(pick()));
      continue;
    }
    switch (random() % 10) {
      case 0: case 1: list.add(new NamedObject(pick())); break;
      case 2: list.removeByIndex(slot); break;
      case 3: list.removeByName(pick()); break;
      case 4: {
        NamedObject* old = list.detachAtIndex(slot, random() % 2 ? new NamedObject(pick()) : nullptr);
        if (old != nullptr) old->destroy();
        break;
      }
      case 5: list.setAtIndex(slot, new NamedObject(pick())); break;
      case 6: list.swap(slot, static_cast<int32_t>(random() % n) + 1); break;
      case 7:
        if (NamedObject* child = list.getByIndex(slot)) child->rename(random() % 5 ? pick() : nullptr);
        break;
      case 8: if (random() % 20 == 0) list.compact(); break;
      case 9: if (random() % 50 == 0) list.sort(nullptr, static_cast<int>(random() % 2)); break;
    }
    for (const char* name : pool) ASSERT_EQ(list.indexOfName(name), scan(name)) << step;
    int32_t hole = 0;
    for (int32_t i = 1; i <= list.count() && hole == 0; ++i) {
      if (list.getByIndex(i) == nullptr) hole = i;
    }
    ASSERT_EQ(list.firstEmptySlot(), hole) << step;
  }
}

}  // namespace
}  // namespace gatekeeper
