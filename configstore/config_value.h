// A value node: a named node whose children are typed items.
#ifndef GATEKEEPER_CONFIGSTORE_CONFIG_VALUE_H_
#define GATEKEEPER_CONFIGSTORE_CONFIG_VALUE_H_

#include <cstdint>

#include "configstore/config_node.h"
#include "configstore/value_item.h"

namespace gatekeeper {

class ConfigStream;
class ConfigValue;
// The shared placeholder value node (no name, no items) that failed lookups return. Its getters
// give 0, "" or nullptr; every change to it is refused.
ConfigValue* nullValue();

// A value node. The typed getters read the first item of the requested type, whatever its item
// name; the typed setters update that item or append one without item name.
class ConfigValue : public ConfigNode {
 public:
  explicit ConfigValue(const char* name = nullptr);

  ConfigValue* clone() const override;

  // Writes the typed items as value lines (binary items as blocks), in slot order; untyped
  // items are skipped. 1, or 0 when the stream is not open or refuses a line.
  int writeTo(ConfigStream* stream) const;

  // The item, or nullItem().
  ValueItem* itemByIndex(int32_t index) const;
  ValueItem* itemByName(const char* itemName) const;
  // Index of the first item of a type, 0 when none.
  int32_t indexOfType(ItemType type) const;

  // Content of the first item of the type; 0 when none.
  int32_t getInt() const;
  float getFloat() const;
  double getDouble() const;
  int64_t getInt64() const;
  // Text of the first string item; "" when none (never nullptr).
  const char* getString() const;
  // Bytes and length of the first binary item; nullptr and 0 when none.
  const unsigned char* getBinary() const;
  uint32_t binaryLength() const;
  // Resizes the first binary item (added bytes are zero); 0 when there is none.
  int resizeBinary(uint32_t length);

  // Update the first item of the type, or append a new one without item name. 1 or 0.
  int setInt(int32_t value);
  int setFloat(float value);
  int setDouble(double value);
  int setString(const char* value);  // nullptr stores ""
  int setInt64(int64_t value);
  // Removes the first binary item, then adds a copy of the bytes as a new binary item (which
  // takes the freed slot).
  int setBinary(const void* data, uint32_t length);

  // Append a new item (never replacing); the new item, or nullptr on failure.
  ValueItem* addIntItem(const char* itemName, int32_t value);
  ValueItem* addFloatItem(const char* itemName, float value);
  ValueItem* addStringItem(const char* itemName, const char* value);
  ValueItem* addDoubleItem(const char* itemName, double value);
  ValueItem* addInt64Item(const char* itemName, int64_t value);
  ValueItem* addBinaryItem(const char* itemName, const void* data, uint32_t length);
  // Appends an item made by the caller (ownership passes on success); its slot or 0.
  int32_t addItem(ValueItem* item);

 private:
  friend ConfigValue* nullValue();
  ValueItem* firstOfType(ItemType type) const;
  ValueItem* firstOrNew(ItemType type);
  ValueItem* appendNew(ItemType type, const char* itemName);
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_CONFIG_VALUE_H_
