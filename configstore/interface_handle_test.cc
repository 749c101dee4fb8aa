#include "configstore/common_handle.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "configstore/comparator_handle.h"
#include "configstore/config_file.h"
#include "configstore/config_section.h"
#include "configstore/handle_factory.h"
#include "configstore/item_handle.h"
#include "configstore/named_handles.h"
#include "configstore/pre_save_request.h"
#include "configstore/section_handle.h"
#include "configstore/text_stream.h"
#include "configstore/value_handle.h"
#include "platform/scratch_directory.h"

namespace gatekeeper {
namespace {

// Calls entry `position` of the handle's table directly, as a caller that knows nothing but the
// table and the entry's signature would.
template <class R, class... Args>
R callEntry(CommonHandle* handle, int position, Args... args) {
  using Entry = R(GATEKEEPER_HANDLE_CALL*)(CommonHandle*, Args...);
  void* const* table = *reinterpret_cast<void* const* const*>(handle);
  return reinterpret_cast<Entry>(table[position])(handle, args...);
}

std::string describe(int32_t v) { return std::to_string(v); }
std::string describe(uint32_t v) { return std::to_string(v); }
std::string describe(int64_t v) { return std::to_string(v); }
std::string describe(double v) {
  std::ostringstream out;
  out << v;
  return out.str();
}
std::string describe(float v) { return describe(static_cast<double>(v)); }
std::string describe(const char* text) {
  return text != nullptr ? "\"" + std::string(text) + "\"" : "none";
}
std::string describe(const unsigned char* bytes) {
  return bytes != nullptr ? "bytes " + std::to_string(bytes[0]) : "none";
}
// A named object by its name, and a list also by its number of slots.
std::string describe(const NamedObject* object) {
  if (object == nullptr) return "none";
  std::string text = object->hasName() ? object->name() : "unnamed";
  if (const auto* list = dynamic_cast<const ObjectList*>(object)) {
    text += "#" + std::to_string(list->count());
  }
  return text;
}
// A handle handed out by an entry: described and given back.
std::string describe(CommonHandle* handle) {
  if (handle == nullptr) return "none";
  handle->release();
  return "handle";
}

std::string itemText(const ValueItem* item) {
  std::string text;
  switch (item->type()) {
    case kItemInt: text = "i" + describe(item->getInt()); break;
    case kItemFloat: text = "f" + describe(item->getFloat()); break;
    case kItemDouble: text = "d" + describe(item->getDouble()); break;
    case kItemString: text = "s'" + std::string(item->getString()) + "'"; break;
    case kItemInt64: text = "l" + describe(item->getInt64()); break;
    case kItemBinary: text = "b" + describe(item->binaryLength()); break;
    default: text = "?"; break;
  }
  if (item->hasName()) text += "[" + std::string(item->name()) + "]";
  return text;
}

std::string dumpValue(const ConfigValue& value) {
  std::string text;
  for (int32_t i = 1; i <= value.count(); ++i) {
    const auto* item = static_cast<const ValueItem*>(value.getByIndex(i));
    if (i > 1) text += " ";
    text += item != nullptr ? itemText(item) : std::string("_");
  }
  return text;
}

// Every slot of the section in order: "_" for an empty one, name=items, name{contents}.
std::string dumpSection(const ConfigSection& section) {
  std::string text;
  for (int32_t i = 1; i <= section.count(); ++i) {
    if (i > 1) text += " ";
    const auto* node = static_cast<const ConfigNode*>(section.getByIndex(i));
    if (node == nullptr) {
      text += "_";
    } else if (node->isValueNode()) {
      text += describe(node->name()) + "=" + dumpValue(*static_cast<const ConfigValue*>(node));
    } else {
      text += describe(node->name()) + "{" +
              dumpSection(*static_cast<const ConfigSection*>(node)) + "}";
    }
  }
  return text;
}

// One row of a table of entries: the entry is called through the raw table on a fresh fixture;
// its result and the fixture afterwards ("" = unchanged) are compared.
template <class Fixture>
struct EntryCase {
  int position;
  const char* operation;
  std::function<std::string(CommonHandle*, int, Fixture&)> call;
  std::string result;
  std::string after;
};

template <class Fixture>
using EntryCall = std::function<std::string(CommonHandle*, int, Fixture&)>;

// An entry returning R, called with fixed arguments.
template <class R, class... Args>
auto entry(Args... args) {
  return [=](CommonHandle* handle, int position, auto&) {
    if constexpr (std::is_void_v<R>) {
      callEntry<void>(handle, position, args...);
      return std::string("done");
    } else {
      return describe(callEntry<R>(handle, position, args...));
    }
  };
}

// An entry returning an object that the caller owns from then on (a clone, a detached child).
template <class... Args>
auto ownedEntry(Args... args) {
  return [=](CommonHandle* handle, int position, auto&) {
    NamedObject* object = callEntry<NamedObject*>(handle, position, args...);
    std::string text = describe(object);
    if (object != nullptr) object->destroy();
    return text;
  };
}

const unsigned char kBytes[] = {1, 2, 3};

// The section fixture: "alpha" int 1, "Beta" section, "gamma" string "g", an empty slot, "eps"
// int64 5, "zeta" double 2.5, "eta" float 0.5, "delta" section.
struct SectionFixture {
  ConfigSection root{"root"};
  SectionFixture() {
    root.setInt("alpha", 1);
    root.createSection("Beta");
    root.setString("gamma", "g");
    root.createValue("hole");
    root.setInt64("eps", 5);
    root.setDouble("zeta", 2.5);
    root.setFloat("eta", 0.5f);
    root.createSection("delta");
    root.deleteByName("hole");
  }
  std::string dump() const {
    return (root.isPlaceholder() ? "placeholder " : "") + describe(root.name()) + ": " +
           dumpSection(root);
  }
};

template <class Fixture>
void runEntryTable(const std::vector<EntryCase<Fixture>>& cases, uint32_t id,
                   const std::function<RefObject*(Fixture&)>& targetOf) {
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.position) + " " + c.operation);
    Fixture fixture;
    const std::string before = fixture.dump();
    CommonHandle* handle = getInterface(targetOf(fixture), id);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(c.call(handle, c.position, fixture), c.result);
    EXPECT_EQ(fixture.dump(), c.after.empty() ? before : c.after);
    handle->release();
  }
}

TEST(InterfaceHandleTest, SectionEntriesSitAtTheirPositions) {
  ConfigValue extra("extra");
  extra.setInt(3);
  auto* extraHandle =
      static_cast<NamedObjectHandle*>(getInterface(&extra, kNamedObjectInterface));
  ASSERT_NE(extraHandle, nullptr);
  NameComparator selector;
  const std::string kept = "\"alpha\"=i1 \"Beta\"{} \"gamma\"=s'g'";
  const std::string tail = "\"eps\"=l5 \"zeta\"=d2.5 \"eta\"=f0.5 \"delta\"{}";
  const std::string full = "\"root\": " + kept + " _ " + tail;
  auto with = [&](const std::string& slot4) { return "\"root\": " + kept + " " + slot4 + " " + tail; };
  const std::vector<EntryCase<SectionFixture>> cases = {
      {3, "pass on 257", entry<CommonHandle*>(uint32_t{257}), "handle", ""},
      {3, "pass on 259", entry<CommonHandle*>(uint32_t{259}), "none", ""},
      {4, "set name", entry<int32_t>("top"), "1",
       "\"top\": " + kept + " _ " + tail},
      {5, "get name", entry<const char*>(), "\"root\"", ""},
      {6, "name equals", entry<int32_t>("ROOT"), "1", ""},
      {7, "self if name equals", entry<NamedObject*>("Root"), "root#8", ""},
      {7, "self if name differs", entry<NamedObject*>("other"), "none", ""},
      {8, "clone", ownedEntry(), "root#7", ""},
      {9, "add a clone by interface", entry<int32_t>(static_cast<NamedObjectHandle*>(extraHandle)),
       "4", with("\"extra\"=i3")},
      {10, "add",
       [](CommonHandle* h, int p, SectionFixture&) {
         auto* added = new ConfigValue("added");
         const int32_t slot = callEntry<int32_t>(h, p, static_cast<NamedObject*>(added));
         if (slot == 0) added->destroy();
         return describe(slot);
       },
       "4", with("\"added\"=")},
      {11, "remove by pointer",
       [](CommonHandle* h, int p, SectionFixture& f) {
         return describe(callEntry<int32_t>(h, p, f.root.getByName("zeta")));
       },
       "6", "\"root\": " + kept + " _ \"eps\"=l5 _ \"eta\"=f0.5 \"delta\"{}"},
      {12, "remove by name", entry<int32_t>("GAMMA"), "3",
       "\"root\": \"alpha\"=i1 \"Beta\"{} _ _ " + tail},
      {13, "remove by index", entry<int32_t>(2), "2",
       "\"root\": \"alpha\"=i1 _ \"gamma\"=s'g' _ " + tail},
      {14, "get by name", entry<NamedObject*>("ETA"), "eta#1", ""},
      {15, "get by index", entry<NamedObject*>(2), "Beta#0", ""},
      {16, "index of name", entry<int32_t>("zeta"), "6", ""},
      {17, "first empty slot", entry<int32_t>(), "4", ""},
      {18, "count", entry<int32_t>(), "8", ""},
      {19, "detach at name with a clone", ownedEntry("alpha", extraHandle), "alpha#1",
       "\"root\": \"extra\"=i3 \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {20, "detach at name", ownedEntry("gamma", static_cast<NamedObject*>(nullptr)), "gamma#1",
       "\"root\": \"alpha\"=i1 \"Beta\"{} _ _ " + tail},
      {21, "detach at index with a clone", ownedEntry(4, extraHandle), "none",
       with("\"extra\"=i3")},
      {22, "detach at index", ownedEntry(2, static_cast<NamedObject*>(nullptr)), "Beta#0",
       "\"root\": \"alpha\"=i1 _ \"gamma\"=s'g' _ " + tail},
      {23, "set at name with a clone", entry<int32_t>("delta", extraHandle), "1",
       "\"root\": " + kept + " _ \"eps\"=l5 \"zeta\"=d2.5 \"eta\"=f0.5 \"extra\"=i3"},
      {24, "set at name", entry<int32_t>("eta", static_cast<NamedObject*>(nullptr)), "1",
       "\"root\": " + kept + " _ \"eps\"=l5 \"zeta\"=d2.5 _ \"delta\"{}"},
      {25, "set at index with a clone", entry<int32_t>(1, extraHandle), "1",
       "\"root\": \"extra\"=i3 \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {26, "set at index", entry<int32_t>(1, static_cast<NamedObject*>(nullptr)), "1",
       "\"root\": _ \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {27, "compact", entry<int32_t>(), "7", "\"root\": " + kept + " " + tail},
      {28, "swap by names", entry<int32_t>("alpha", "DELTA"), "1",
       "\"root\": \"delta\"{} \"Beta\"{} \"gamma\"=s'g' _ \"eps\"=l5 \"zeta\"=d2.5 \"eta\"=f0.5 "
       "\"alpha\"=i1"},
      {29, "swap", entry<int32_t>(1, 3), "1",
       "\"root\": \"gamma\"=s'g' \"Beta\"{} \"alpha\"=i1 _ " + tail},
      {30, "sort", entry<void>(static_cast<NameComparator*>(nullptr), 1), "done",
       "\"root\": \"zeta\"=d2.5 \"gamma\"=s'g' \"eta\"=f0.5 \"eps\"=l5 \"delta\"{} \"Beta\"{} "
       "\"alpha\"=i1 _"},
      {31, "is placeholder", entry<int32_t>(), "0", ""},
      {32, "mark placeholder", entry<void>(), "done", "placeholder " + full},
      {33, "value by index", entry<ConfigValue*>(1), "alpha#1", ""},
      {34, "value by name", entry<ConfigValue*>("GAMMA"), "gamma#1", ""},
      {35, "section by index", entry<ConfigSection*>(2), "Beta#0", ""},
      {36, "section by name", entry<ConfigSection*>("DELTA"), "delta#0", ""},
      {37, "filtered copy", ownedEntry(&selector), "root#7", ""},
      {38, "find value by int64", entry<ConfigValue*>(int64_t{5}), "eps#1", ""},
      {39, "find value by double", entry<ConfigValue*>(2.5), "zeta#1", ""},
      {40, "find value by float", entry<ConfigValue*>(0.5f), "eta#1", ""},
      {41, "find value by int", entry<ConfigValue*>(1), "alpha#1", ""},
      {42, "find value by string", entry<ConfigValue*>("G"), "gamma#1", ""},
      {43, "get or create value", entry<ConfigValue*>("new"), "new#0", with("\"new\"=")},
      {44, "get or create section", entry<ConfigSection*>("new"), "new#0", with("\"new\"{}")},
      {45, "create section", entry<ConfigSection*>("new"), "root#8", with("\"new\"{}")},
      {46, "create value", entry<ConfigSection*>("new"), "root#8", with("\"new\"=")},
      {47, "read contents",
       [](CommonHandle* h, int p, SectionFixture&) {
         auto stream = TextStream::forReading("(int)read=4\n");
         return describe(callEntry<int32_t>(h, p, static_cast<ConfigStream*>(stream.get()), -1));
       },
       "1", with("\"read\"=i4")},
      {49, "write contents",
       [](CommonHandle* h, int p, SectionFixture&) {
         std::string out;
         auto stream = TextStream::forWriting(&out);
         const int32_t result = callEntry<int32_t>(h, p, static_cast<ConfigStream*>(stream.get()));
         stream->close();
         return describe(result) + (out.find("(int)alpha=1") == 0 ? " wrote" : " missed");
       },
       "1 wrote", ""},
      {51, "add binary item", entry<ValueItem*>("alpha", "x", kBytes, 2u), "x",
       "\"root\": \"alpha\"=i1 b2[x] \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {52, "add int64 item", entry<ValueItem*>("alpha", "x", int64_t{6}), "x",
       "\"root\": \"alpha\"=i1 l6[x] \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {53, "add double item", entry<ValueItem*>("alpha", "x", 1.25), "x",
       "\"root\": \"alpha\"=i1 d1.25[x] \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {54, "add string item", entry<ValueItem*>("alpha", "x", "t"), "x",
       "\"root\": \"alpha\"=i1 s't'[x] \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {55, "add float item", entry<ValueItem*>("alpha", "x", 0.25f), "x",
       "\"root\": \"alpha\"=i1 f0.25[x] \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {56, "add int item", entry<ValueItem*>("alpha", "x", 9), "x",
       "\"root\": \"alpha\"=i1 i9[x] \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {57, "set binary", entry<int32_t>("alpha", kBytes, 3u), "1",
       "\"root\": \"alpha\"=i1 b3 \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {58, "set int64", entry<int32_t>("alpha", int64_t{7}), "1",
       "\"root\": \"alpha\"=i1 l7 \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {59, "set double", entry<int32_t>("alpha", 1.5), "1",
       "\"root\": \"alpha\"=i1 d1.5 \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {60, "set string", entry<int32_t>("alpha", "s"), "1",
       "\"root\": \"alpha\"=i1 s's' \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {61, "set float", entry<int32_t>("alpha", 0.75f), "1",
       "\"root\": \"alpha\"=i1 f0.75 \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {62, "set int", entry<int32_t>("alpha", 8), "1",
       "\"root\": \"alpha\"=i8 \"Beta\"{} \"gamma\"=s'g' _ " + tail},
      {63, "delete by name", entry<int32_t>("beta"), "2",
       "\"root\": \"alpha\"=i1 _ \"gamma\"=s'g' _ " + tail},
  };
  runEntryTable<SectionFixture>(cases, kConfigSectionInterface,
                                [](SectionFixture& f) { return &f.root; });
  extraHandle->release();
}

// Load and save need a file-backed section.
TEST(InterfaceHandleTest, SectionLoadAndSaveEntries) {
  platform::ScratchDirectory dir;
  const std::string path = dir.file("db.cfg");
  {
    ConfigFile db(path.c_str(), 1);
    db.setInt("alpha", 1);
    CommonHandle* handle = getInterface(&db, kConfigSectionInterface);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(callEntry<int32_t>(handle, 50), 1);
    handle->release();
  }
  ConfigFile db(path.c_str(), 1);
  CommonHandle* handle = getInterface(&db, kConfigSectionInterface);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(callEntry<int32_t>(handle, 48), 1);
  EXPECT_EQ(db.valueByName("alpha")->getInt(), 1);
  handle->release();
}

// The value fixture: a value node "port" with one item of each type, named by its type letter.
struct ValueFixture {
  ConfigSection root{"root"};
  ConfigValue* port = nullptr;
  ValueFixture() {
    port = root.getOrCreateValue("port");
    port->addIntItem("i", 42);
    port->addFloatItem("f", 1.5f);
    port->addDoubleItem("d", 2.25);
    port->addStringItem("s", "text");
    port->addInt64Item("l", int64_t{1} << 40);
    port->addBinaryItem("b", kBytes, 3);
  }
  std::string dump() const { return dumpValue(*port); }
};

const char kItems[] = "i42[i] f1.5[f] d2.25[d] s'text'[s] l1099511627776[l] b3[b]";

TEST(InterfaceHandleTest, ValueEntriesSitAtTheirPositions) {
  const std::string items = kItems;
  const std::vector<EntryCase<ValueFixture>> cases = {
      {5, "get name", entry<const char*>(), "\"port\"", ""},
      {18, "count", entry<int32_t>(), "6", ""},
      {31, "is placeholder", entry<int32_t>(), "0", ""},
      {33, "item by index", entry<ValueItem*>(2), "f", ""},
      {34, "item by name", entry<ValueItem*>("S"), "s", ""},
      {35, "index of type", entry<int32_t>(int32_t{kItemDouble}), "3", ""},
      {36, "get int", entry<int32_t>(), "42", ""},
      {37, "get float", entry<float>(), "1.5", ""},
      {38, "get double", entry<double>(), "2.25", ""},
      {39, "get string", entry<const char*>(), "\"text\"", ""},
      {40, "get int64", entry<int64_t>(), "1099511627776", ""},
      {41, "get binary", entry<const unsigned char*>(), "bytes 1", ""},
      {42, "binary length", entry<uint32_t>(), "3", ""},
      {43, "resize binary", entry<int32_t>(5u), "1",
       "i42[i] f1.5[f] d2.25[d] s'text'[s] l1099511627776[l] b5[b]"},
      {44, "add binary item", entry<ValueItem*>("x", kBytes, 2u), "x", items + " b2[x]"},
      {45, "add int64 item", entry<ValueItem*>("x", int64_t{3}), "x", items + " l3[x]"},
      {46, "add string item", entry<ValueItem*>("x", "y"), "x", items + " s'y'[x]"},
      {47, "add double item", entry<ValueItem*>("x", 0.5), "x", items + " d0.5[x]"},
      {48, "add float item", entry<ValueItem*>("x", 0.25f), "x", items + " f0.25[x]"},
      {49, "add int item", entry<ValueItem*>("x", 4), "x", items + " i4[x]"},
      {50, "add item",
       [](CommonHandle* h, int p, ValueFixture&) {
         auto* item = new ValueItem(kItemInt, "n");
         const int32_t slot = callEntry<int32_t>(h, p, item);
         if (slot == 0) item->destroy();
         return describe(slot);
       },
       "7", items + " i0[n]"},
      {51, "set int64", entry<int32_t>(int64_t{5}), "1",
       "i42[i] f1.5[f] d2.25[d] s'text'[s] l5[l] b3[b]"},
      {52, "set string", entry<int32_t>("new"), "1",
       "i42[i] f1.5[f] d2.25[d] s'new'[s] l1099511627776[l] b3[b]"},
      {53, "set double", entry<int32_t>(0.5), "1",
       "i42[i] f1.5[f] d0.5[d] s'text'[s] l1099511627776[l] b3[b]"},
      {54, "set float", entry<int32_t>(0.25f), "1",
       "i42[i] f0.25[f] d2.25[d] s'text'[s] l1099511627776[l] b3[b]"},
      {55, "set int", entry<int32_t>(7), "1",
       "i7[i] f1.5[f] d2.25[d] s'text'[s] l1099511627776[l] b3[b]"},
      {56, "set binary", entry<int32_t>(kBytes, 2u), "1",
       "i42[i] f1.5[f] d2.25[d] s'text'[s] l1099511627776[l] b2"},
      {57, "write to a stream",
       [](CommonHandle* h, int p, ValueFixture&) {
         std::string out;
         auto stream = TextStream::forWriting(&out);
         const int32_t result = callEntry<int32_t>(h, p, static_cast<ConfigStream*>(stream.get()));
         stream->close();
         return describe(result) + (out.find("(int)port[i]=42") == 0 ? " wrote" : " missed");
       },
       "1 wrote", ""},
  };
  runEntryTable<ValueFixture>(cases, kConfigValueInterface,
                              [](ValueFixture& f) { return f.port; });
}

// The item rows name the item of ValueFixture that they are called on.
struct ItemCase {
  const char* item;
  EntryCase<ValueFixture> entry;
};

TEST(InterfaceHandleTest, ItemEntriesSitAtTheirPositions) {
  auto after = [](const char* from, const char* to) {
    std::string items = kItems;
    return items.replace(items.find(from), std::strlen(from), to);
  };
  const std::vector<ItemCase> cases = {
      {"i", {4, "set name", entry<int32_t>("n"), "1", after("i42[i]", "i42[n]")}},
      {"i", {5, "get name", entry<const char*>(), "\"i\"", ""}},
      {"i", {6, "name equals", entry<int32_t>("I"), "1", ""}},
      {"i", {7, "self if name equals", entry<NamedObject*>("i"), "i", ""}},
      {"s", {8, "clone", ownedEntry(), "s", ""}},
      {"i", {9, "is untyped", entry<int32_t>(), "0", ""}},
      {"i", {10, "get int", entry<int32_t>(), "42", ""}},
      {"f", {11, "get float", entry<float>(), "1.5", ""}},
      {"d", {12, "get double", entry<double>(), "2.25", ""}},
      {"s", {13, "get string", entry<const char*>(), "\"text\"", ""}},
      {"l", {14, "get int64", entry<int64_t>(), "1099511627776", ""}},
      {"b", {15, "binary pointer", entry<const unsigned char*>(), "bytes 1", ""}},
      {"b", {16, "binary length", entry<uint32_t>(), "3", ""}},
      {"b", {17, "resize binary", entry<int32_t>(5u), "1", after("b3[b]", "b5[b]")}},
      {"s", {18, "set from int64", entry<int32_t>(int64_t{1} << 33), "1",
             after("s'text'", "s'8589934592'")}},
      {"i", {19, "set from string", entry<int32_t>("17x"), "1", after("i42", "i17")}},
      {"s", {20, "set from double", entry<int32_t>(0.5), "1", after("s'text'", "s'0.5'")}},
      {"i", {21, "set from float", entry<int32_t>(2.75f), "1", after("i42", "i2")}},
      {"d", {22, "set from int", entry<int32_t>(9), "1", after("d2.25", "d9")}},
      {"i", {23, "change type", entry<int32_t>(int32_t{kItemString}), "1", after("i42", "s''")}},
      {"i", {23, "change type to none", entry<int32_t>(int32_t{3}), "0", ""}},
      {"s", {24, "set string", entry<int32_t>("new"), "1", after("s'text'", "s'new'")}},
      {"i", {24, "set string on an int", entry<int32_t>("new"), "0", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    runEntryTable<ValueFixture>({c.entry}, kValueItemInterface, [&c](ValueFixture& f) {
      return static_cast<RefObject*>(f.port->itemByName(c.item));
    });
  }
}

TEST(InterfaceHandleTest, ComparatorEntriesSitAtTheirPositions) {
  NameComparator comparator;
  NamedObject a("b");  // a sorts after b
  NamedObject b("a");
  struct Case {
    int position;
    std::function<std::string(CommonHandle*, int)> call;
    std::string result;
  };
  auto pair = [&](auto tag) {
    using R = decltype(tag);
    return [&](CommonHandle* h, int p) {
      return describe(callEntry<R>(h, p, static_cast<const NamedObject*>(&a),
                                   static_cast<const NamedObject*>(&b)));
    };
  };
  const std::vector<Case> cases = {
      {4, pair(int32_t{}), "1"},
      {5, pair(int32_t{}), "0"},
      {6, pair(int32_t{}), "0"},
      {7, pair(int32_t{}), "1"},
      {8, pair(static_cast<const NamedObject*>(nullptr)), "b"},
      {9, pair(static_cast<const NamedObject*>(nullptr)), "a"},
      {10, [&](CommonHandle* h, int p) {
         return describe(callEntry<int32_t>(h, p, static_cast<const NamedObject*>(nullptr)));
       }, "1"},
      {11, pair(int32_t{}), "0"},
  };
  CommonHandle* handle = getInterface(&comparator, kNameComparatorInterface);
  ASSERT_NE(handle, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position);
    EXPECT_EQ(c.call(handle, c.position), c.result);
  }
  handle->release();
  EXPECT_EQ(comparator.refCount(), 0);
}

TEST(InterfaceHandleTest, ObjectsAnswerTheIdentifiersOfTheirClassAndBases) {
  ConfigSection root("root");
  ConfigValue* value = root.getOrCreateValue("v");
  ValueItem* item = value->addIntItem("n", 1);
  NameComparator comparator;
  NamedObject named("named");
  struct Case {
    const char* kind;
    RefObject* object;
    std::vector<uint32_t> answered;
  };
  const std::vector<Case> cases = {
      {"section", &root, {1, 17, 18, 257, 258}},
      {"value", value, {1, 17, 18, 257, 259}},
      {"item", item, {1, 17, 260}},
      {"comparator", &comparator, {1, 20}},
      {"named object", &named, {1, 17}},
  };
  const uint32_t ids[] = {0, 1, 2, 17, 18, 20, 257, 258, 259, 260, 515};
  for (const auto& c : cases) {
    for (uint32_t id : ids) {
      SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(id));
      const bool expected =
          std::find(c.answered.begin(), c.answered.end(), id) != c.answered.end();
      CommonHandle* handle = getInterface(c.object, id);
      EXPECT_EQ(handle != nullptr, expected);
      if (handle == nullptr) continue;
      EXPECT_EQ(c.object->refCount(), 1);
      // Every interface that continues the named object's entries reads the target's name.
      if (id != 1 && id != 20) {
        const char* name = callEntry<const char*>(handle, 5);
        EXPECT_STREQ(name, dynamic_cast<NamedObject*>(c.object)->name());
      }
      handle->release();
      EXPECT_EQ(c.object->refCount(), 0);
    }
  }
}

TEST(InterfaceHandleTest, HandleCountsItselfAndHoldsItsTarget) {
  ConfigSection root("root");
  ConfigValue* value = root.getOrCreateValue("v");
  value->addStringItem(nullptr, "s");
  value->addIntItem(nullptr, 5);
  value->addIntItem(nullptr, 6);
  CommonHandle* handle = getInterface(value, kConfigValueInterface);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(value->refCount(), 1);
  EXPECT_EQ(callEntry<int32_t>(handle, 36), 5);  // the first int item
  EXPECT_EQ(callEntry<int32_t>(handle, 1), 2);   // add reference
  CommonHandle* second = getInterface(value, kPlainInterface);
  EXPECT_EQ(value->refCount(), 2);
  void* out = &root;
  EXPECT_EQ(callEntry<int32_t>(handle, 0, &out), kNoInterfaceResult);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(callEntry<int32_t>(handle, 0, static_cast<void**>(nullptr)), kNoInterfaceResult);
  EXPECT_EQ(callEntry<int32_t>(handle, 2), 1);  // release
  EXPECT_EQ(value->refCount(), 2);
  EXPECT_EQ(callEntry<int32_t>(second, 2), 0);
  EXPECT_EQ(value->refCount(), 1);
  EXPECT_EQ(callEntry<int32_t>(handle, 2), 0);  // frees the handle, drops the reference
  EXPECT_EQ(value->refCount(), 0);
}

TEST(InterfaceHandleTest, PassOnAsksTheTarget) {
  ConfigSection root("root");
  ConfigValue* value = root.getOrCreateValue("v");
  value->setInt(4);
  CommonHandle* plain = getInterface(value, kPlainInterface);
  ASSERT_NE(plain, nullptr);
  CommonHandle* asValue = plain->passOn(kConfigValueInterface);
  ASSERT_NE(asValue, nullptr);
  EXPECT_EQ(static_cast<ConfigValueHandle*>(asValue)->getInt(), 4);
  EXPECT_EQ(plain->passOn(kConfigSectionInterface), nullptr);
  EXPECT_EQ(value->refCount(), 2);
  asValue->release();
  plain->release();
  EXPECT_EQ(value->refCount(), 0);
  // A handle without a target answers the plain identifier with itself.
  CommonHandle* none = newPlainHandle(nullptr);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->passOn(kPlainInterface), none);
  EXPECT_EQ(none->passOn(kNamedObjectInterface), nullptr);
  EXPECT_EQ(none->release(), 1);
  EXPECT_EQ(none->release(), 0);
}

// The tree destroys nodes whatever their counts: a handle that outlives its target reads
// defaults, changes nothing and is released safely.
TEST(InterfaceHandleTest, HandleOutlivingItsTargetLosesIt) {
  ConfigSection root("root");
  ConfigValue* value = root.getOrCreateValue("v");
  value->setInt(4);
  auto* valueHandle =
      static_cast<ConfigValueHandle*>(getInterface(value, kConfigValueInterface));
  auto* itemHandle = static_cast<ValueItemHandle*>(
      getInterface(value->itemByIndex(1), kValueItemInterface));
  ConfigSection* child = root.getOrCreateSection("child");
  auto* sectionHandle =
      static_cast<ConfigSectionHandle*>(getInterface(child, kConfigSectionInterface));
  ASSERT_NE(valueHandle, nullptr);
  ASSERT_NE(itemHandle, nullptr);
  ASSERT_NE(sectionHandle, nullptr);
  EXPECT_EQ(root.deleteByName("v"), 1);
  EXPECT_EQ(root.deleteByName("child"), 2);
  EXPECT_EQ(valueHandle->getInt(), 0);
  EXPECT_STREQ(valueHandle->getString(), "");
  EXPECT_EQ(valueHandle->setInt(5), 0);
  EXPECT_EQ(valueHandle->count(), 0);
  EXPECT_EQ(valueHandle->getName(), nullptr);
  EXPECT_EQ(valueHandle->clone(), nullptr);
  EXPECT_EQ(itemHandle->getInt(), 0);
  EXPECT_EQ(itemHandle->setFromInt(3), 0);
  EXPECT_EQ(sectionHandle->getOrCreateValue("x"), nullptr);
  EXPECT_EQ(sectionHandle->valueByName("x"), nullValue());
  EXPECT_EQ(sectionHandle->addClone(itemHandle), 0);
  CommonHandle* self = valueHandle->passOn(kPlainInterface);
  EXPECT_EQ(self, valueHandle);
  EXPECT_EQ(valueHandle->passOn(kConfigValueInterface), nullptr);
  self->release();
  valueHandle->release();
  itemHandle->release();
  sectionHandle->release();
}

// List entries take only what the list can own: not a child of another list, not a shared
// placeholder, not the list or one of its holders, and only the kind of child the list holds.
TEST(InterfaceHandleTest, ListEntriesRefuseChildrenTheListCannotOwn) {
  ConfigSection root("root");
  ConfigSection* child = root.getOrCreateSection("child");
  ConfigValue* value = root.getOrCreateValue("v");
  ValueItem* item = value->addIntItem("n", 1);
  auto* rootHandle =
      static_cast<ConfigSectionHandle*>(getInterface(&root, kConfigSectionInterface));
  auto* childHandle =
      static_cast<ConfigSectionHandle*>(getInterface(child, kConfigSectionInterface));
  auto* valueHandle =
      static_cast<ConfigValueHandle*>(getInterface(value, kConfigValueInterface));
  auto* itemHandle = static_cast<ValueItemHandle*>(getInterface(item, kValueItemInterface));

  EXPECT_EQ(rootHandle->add(value), 0);              // held by root already
  EXPECT_EQ(rootHandle->add(nullSection()), 0);      // shared placeholder
  EXPECT_EQ(childHandle->add(&root), 0);             // its own holder
  EXPECT_EQ(rootHandle->add(&root), 0);              // itself
  ValueItem loose(kItemInt, "loose");
  EXPECT_EQ(rootHandle->add(&loose), 0);             // an item in a section
  EXPECT_EQ(rootHandle->addClone(itemHandle), 0);    // its clone is destroyed
  EXPECT_EQ(valueHandle->addClone(childHandle), 0);  // a section in a value node
  EXPECT_EQ(valueHandle->setAtIndex(1, &root), 0);
  EXPECT_EQ(valueHandle->detachAtIndex(1, &root), nullptr);
  EXPECT_EQ(rootHandle->detachAtIndexWithClone(9, childHandle), nullptr);  // no such slot
  EXPECT_EQ(rootHandle->setAtNameWithClone("missing", childHandle), 0);
  EXPECT_EQ(root.count(), 2);
  EXPECT_EQ(value->count(), 1);

  // What fits is taken: a clone of the item in the value node, of the section in the root.
  EXPECT_EQ(valueHandle->addClone(itemHandle), 2);
  EXPECT_EQ(value->itemByIndex(2)->getInt(), 1);
  EXPECT_EQ(rootHandle->addClone(childHandle), 3);
  EXPECT_EQ(valueHandle->addItem(new ValueItem(kItemInt, "fresh")), 3);

  itemHandle->release();
  valueHandle->release();
  childHandle->release();
  rootHandle->release();
}

// An extension object that answers its own identifiers and the pre-save request, and records
// the requests and the sections it was asked to prepare.
class RecordingExtension : public InterfaceExtension {
 public:
  std::vector<uint32_t> requests;
  std::vector<ConfigSection*> prepared;
  int32_t liveRequests = 0;

  CommonHandle* getInterface(uint32_t id) override {
    requests.push_back(id);
    if (id == kPreSaveInterface) return newHandle<Request>(this);
    if (id == 999) return newPlainHandle(this);
    return nullptr;
  }

 private:
  class Request final : public HandleBase<PreSaveRequest, RecordingExtension> {
   public:
    explicit Request(RecordingExtension* owner) : HandleBase(owner) { ++owner->liveRequests; }
    ~Request() override { --owner_->liveRequests; }
    int32_t GATEKEEPER_HANDLE_CALL prepare(ConfigSection* section) override {
      target()->prepared.push_back(section);
      return 1;
    }

   private:
    RecordingExtension* owner_ = target();
  };
};

TEST(InterfaceHandleTest, SectionPassesUnansweredIdentifiersToItsExtension) {
  RecordingExtension extension;
  ConfigSection root("root");
  ConfigSection* tagged = root.getOrCreateSection("tagged");
  EXPECT_EQ(getInterface(tagged, 999), nullptr);
  EXPECT_EQ(getInterface(tagged, kPreSaveInterface), nullptr);
  tagged->setTextTag("label");
  tagged->attachExtension(&extension);
  for (uint32_t own : {1u, 17u, 18u, 257u}) {
    CommonHandle* handle = getInterface(tagged, own);
    ASSERT_NE(handle, nullptr);
    handle->release();
  }
  EXPECT_TRUE(extension.requests.empty());
  // The extension is asked for 258 first; it gives none, so the section answers.
  auto* answered =
      static_cast<ConfigSectionHandle*>(getInterface(tagged, kConfigSectionInterface));
  ASSERT_NE(answered, nullptr);
  EXPECT_STREQ(answered->getName(), "tagged");
  CommonHandle* again = answered->passOn(kConfigSectionInterface);  // asks the section again
  ASSERT_NE(again, nullptr);
  again->release();
  answered->release();
  CommonHandle* other = getInterface(tagged, 999);  // the extension's own answer
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(extension.refCount(), 2);  // the section and the extension's handle
  other->release();
  EXPECT_EQ(extension.refCount(), 1);
  EXPECT_EQ(getInterface(tagged, 259), nullptr);
  const std::vector<uint32_t> asked = {258, 258, 999, 259};
  EXPECT_EQ(extension.requests, asked);
}

TEST(InterfaceHandleTest, CloneBringsTheExtensionAndItsPreSaveRequest) {
  RecordingExtension extension;
  ConfigSection root("root");
  ConfigSection* original = root.getOrCreateSection("tagged");
  original->setTextTag("label");
  original->setInt("x", 1);
  original->attachExtension(&extension);

  ConfigSection copyRoot("copy");
  auto* copyHandle =
      static_cast<ConfigSectionHandle*>(getInterface(&copyRoot, kConfigSectionInterface));
  ASSERT_NE(copyHandle, nullptr);
  // Copy through the list entry that takes an object by its interface.
  auto* named =
      static_cast<NamedObjectHandle*>(getInterface(original, kNamedObjectInterface));
  ASSERT_EQ(copyHandle->addClone(named), 1);
  named->release();
  ConfigSection* clone = copyRoot.sectionByName("tagged");
  ASSERT_FALSE(clone->isPlaceholder());
  EXPECT_EQ(clone->extension(), &extension);
  EXPECT_EQ(extension.refCount(), 2);

  std::string out;
  auto stream = TextStream::forWriting(&out);
  EXPECT_EQ(copyHandle->writeContents(stream.get()), 1);
  stream->close();
  EXPECT_NE(out.find("{ tagged: (label)"), std::string::npos);
  ASSERT_EQ(extension.prepared.size(), 1u);
  EXPECT_EQ(extension.prepared[0], clone);
  EXPECT_EQ(extension.liveRequests, 0);  // the request was released after use
  copyHandle->release();

  // A section without an extension is written without any request.
  ConfigSection plain("plain");
  plain.getOrCreateSection("inner");
  std::string plainOut;
  auto plainStream = TextStream::forWriting(&plainOut);
  EXPECT_EQ(plain.writeContents(plainStream.get()), 1);
  EXPECT_EQ(extension.prepared.size(), 1u);
}

}  // namespace
}  // namespace gatekeeper
