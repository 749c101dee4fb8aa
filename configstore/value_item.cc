#include "configstore/value_item.h"

#include <cstring>
#include <new>

#include "configstore/item_conversion.h"

namespace gatekeeper {

ValueItem* nullItem() {
  static ValueItem* const item = [] {
    static ValueItem placeholder(kItemUntyped, nullptr);
    placeholder.freeze();
    return &placeholder;
  }();
  return item;
}

ValueItem::ValueItem(ItemType type, const char* name) : NamedObject(name), type_(type) {
  data_.i64 = 0;
}

ValueItem* ValueItem::clone() const {
  auto* copy = new (std::nothrow) ValueItem(type_, name());
  if (copy == nullptr) return nullptr;
  copy->data_ = data_;
  copy->bytes_ = bytes_;
  return copy;
}

const unsigned char* ValueItem::binaryData() const {
  if (type_ != kItemBinary || bytes_.empty()) return nullptr;
  return reinterpret_cast<const unsigned char*>(bytes_.data());
}

uint32_t ValueItem::binaryLength() const {
  return type_ == kItemBinary ? static_cast<uint32_t>(bytes_.size()) : 0;
}

int ValueItem::setFromInt(int32_t value) { return setFromInt64(value); }

int ValueItem::setFromInt64(int64_t value) {
  if (isFrozen()) return 0;
  char text[kNumberTextSize];
  switch (type_) {
    case kItemInt: data_.i32 = static_cast<int32_t>(value); return 1;
    case kItemFloat: data_.f32 = static_cast<float>(value); return 1;
    case kItemDouble: data_.f64 = static_cast<double>(value); return 1;
    case kItemInt64: data_.i64 = value; return 1;
    case kItemString: bytes_.assign(text, formatInt64(value, text)); return 1;
    default: return 0;
  }
}

int ValueItem::setFromFloat(float value) { return setFromDouble(value); }

int ValueItem::setFromDouble(double value) {
  if (isFrozen()) return 0;
  char text[kNumberTextSize];
  switch (type_) {
    case kItemInt: data_.i32 = static_cast<int32_t>(truncateToInt64(value)); return 1;
    case kItemFloat: data_.f32 = static_cast<float>(value); return 1;
    case kItemDouble: data_.f64 = value; return 1;
    case kItemInt64: data_.i64 = truncateToInt64(value); return 1;
    case kItemString: bytes_.assign(text, formatGeneral(value, false, text)); return 1;
    default: return 0;
  }
}

int ValueItem::setFromString(const char* value) {
  if (value == nullptr) return setFromInt(0);
  if (isFrozen()) return 0;
  int64_t whole = 0;
  double real = 0.0;
  switch (type_) {
    case kItemInt:
      data_.i32 = scanDecimal(value, &whole) ? static_cast<int32_t>(whole) : 0;
      return 1;
    case kItemFloat:
      data_.f32 = scanFloating(value, &real) ? static_cast<float>(real) : 0.0f;
      return 1;
    case kItemDouble:
      data_.f64 = scanFloating(value, &real) ? real : 0.0;
      return 1;
    case kItemInt64:
      data_.i64 = scanDecimal(value, &whole) ? whole : 0;
      return 1;
    case kItemString: bytes_.assign(value); return 1;
    default: return 0;
  }
}

int ValueItem::setString(const char* value) {
  if (isFrozen() || type_ != kItemString) return 0;
  bytes_.assign(value != nullptr ? value : "");
  return 1;
}

int ValueItem::setBinary(const void* data, uint32_t length) {
  if (isFrozen() || type_ != kItemBinary) return 0;
  if (data == nullptr || length == 0) {
    bytes_.clear();
  } else {
    bytes_.assign(static_cast<const char*>(data), length);
  }
  return 1;
}

int ValueItem::resizeBinary(uint32_t length) {
  if (isFrozen() || type_ != kItemBinary) return 0;
  bytes_.resize(length, '\0');
  return 1;
}

int ValueItem::changeType(ItemType type) {
  if (isFrozen() || type < kItemBinary || type > kItemInt64) return 0;
  type_ = type;
  data_.i64 = 0;
  std::string().swap(bytes_);
  return 1;
}

}  // namespace gatekeeper
