// One typed item of a value node.
#ifndef GATEKEEPER_CONFIGSTORE_VALUE_ITEM_H_
#define GATEKEEPER_CONFIGSTORE_VALUE_ITEM_H_

#include <cstdint>
#include <string>

#include "configstore/config_node.h"
#include "configstore/ref_object.h"

namespace gatekeeper {

class ValueItem;
// The shared placeholder item (untyped, no name) that failed item lookups return. It lives for
// the whole program and refuses every change.
ValueItem* nullItem();

// A typed item: int, float, double, int64, string or binary. Its name (optional) is its index
// label, the bracketed part of a value line's name in the text format.
//
// Getters return the content only when the item has exactly that type (0, 0.0, "" or nullptr
// otherwise): there is no conversion on reading. The setFrom* setters convert into the item's
// own type (see item_conversion.h) and return 1, or 0 when the item is untyped or binary.
class ValueItem : public NamedObject {
 public:
  explicit ValueItem(ItemType type = kItemUntyped, const char* name = nullptr);

  ValueItem* clone() const override;

  ItemType type() const { return type_; }
  bool isUntyped() const { return type_ == kItemUntyped; }

  int32_t getInt() const { return type_ == kItemInt ? data_.i32 : 0; }
  float getFloat() const { return type_ == kItemFloat ? data_.f32 : 0.0f; }
  double getDouble() const { return type_ == kItemDouble ? data_.f64 : 0.0; }
  int64_t getInt64() const { return type_ == kItemInt64 ? data_.i64 : 0; }
  // The text of a string item; "" for any other item (never nullptr).
  const char* getString() const { return type_ == kItemString ? bytes_.c_str() : ""; }
  // Bytes and length of a binary item; nullptr and 0 for any other item or an empty block.
  const unsigned char* binaryData() const;
  uint32_t binaryLength() const;

  int setFromInt(int32_t value);
  int setFromFloat(float value);
  int setFromDouble(double value);
  // nullptr sets the item as from the int 0.
  int setFromString(const char* value);
  int setFromInt64(int64_t value);
  // Replaces the text of a string item (nullptr: ""); 0 for any other type.
  int setString(const char* value);
  // Replaces the bytes of a binary item; 0 for any other type.
  int setBinary(const void* data, uint32_t length);
  // Resizes a binary item keeping min(old, new) leading bytes; added bytes are zero.
  int resizeBinary(uint32_t length);
  // Changes the type and discards the content (empty block, "", or 0).
  int changeType(ItemType type);

 private:
  friend ValueItem* nullItem();

  ItemType type_;
  union {
    int32_t i32;
    float f32;
    double f64;
    int64_t i64;
  } data_;
  std::string bytes_;  // text of a string item, bytes of a binary item
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_VALUE_ITEM_H_
