#include "configstore/config_value.h"

#include <new>

#include "configstore/config_stream.h"

namespace gatekeeper {

namespace {

int writeItem(ConfigStream* stream, const char* name, const ValueItem* item) {
  const char* itemName = item->name();
  switch (item->type()) {
    case kItemInt: return stream->writeInt(name, item->getInt(), itemName);
    case kItemFloat: return stream->writeFloat(name, item->getFloat(), itemName);
    case kItemString: return stream->writeString(name, item->getString(), itemName);
    case kItemDouble: return stream->writeDouble(name, item->getDouble(), itemName);
    case kItemInt64: return stream->writeInt64(name, item->getInt64(), itemName);
    case kItemBinary:
      if (!stream->openBlock(name, itemName)) return 0;
      if (item->binaryLength() != 0 &&
          !stream->writeBytes(item->binaryData(), item->binaryLength())) {
        return 0;
      }
      return stream->closeBlock();
    default: return 1;  // untyped items have no text form
  }
}

}  // namespace

ConfigValue* nullValue() {
  static ConfigValue* const value = [] {
    static ConfigValue placeholder(nullptr);
    placeholder.markPlaceholder();
    placeholder.freeze();
    return &placeholder;
  }();
  return value;
}

ConfigValue::ConfigValue(const char* name) : ConfigNode(kValueNodeFlag, name) {}

int ConfigValue::writeTo(ConfigStream* stream) const {
  if (stream == nullptr || !stream->isOpen()) return 0;
  const char* valueName = hasName() ? name() : "";
  stream->beginValue(valueName);
  for (int32_t i = 1; i <= count(); ++i) {
    const auto* item = static_cast<const ValueItem*>(getByIndex(i));
    if (item == nullptr || item->isUntyped()) continue;
    if (!writeItem(stream, valueName, item)) return 0;
  }
  stream->endValue();
  return 1;
}

ConfigValue* ConfigValue::clone() const {
  auto* copy = new (std::nothrow) ConfigValue(name());
  if (copy == nullptr) return nullptr;
  copy->copyFlagsFrom(*this);
  if (!copy->cloneChildrenFrom(*this)) {
    copy->destroy();
    return nullptr;
  }
  return copy;
}

ValueItem* ConfigValue::itemByIndex(int32_t index) const {
  auto* item = static_cast<ValueItem*>(getByIndex(index));
  return item != nullptr ? item : nullItem();
}

ValueItem* ConfigValue::itemByName(const char* itemName) const {
  auto* item = static_cast<ValueItem*>(getByName(itemName));
  return item != nullptr ? item : nullItem();
}

int32_t ConfigValue::indexOfType(ItemType type) const {
  for (int32_t i = 1; i <= count(); ++i) {
    auto* item = static_cast<const ValueItem*>(getByIndex(i));
    if (item != nullptr && item->type() == type) return i;
  }
  return 0;
}

ValueItem* ConfigValue::firstOfType(ItemType type) const {
  return static_cast<ValueItem*>(getByIndex(indexOfType(type)));
}

int32_t ConfigValue::getInt() const {
  const ValueItem* item = firstOfType(kItemInt);
  return item != nullptr ? item->getInt() : 0;
}

float ConfigValue::getFloat() const {
  const ValueItem* item = firstOfType(kItemFloat);
  return item != nullptr ? item->getFloat() : 0.0f;
}

double ConfigValue::getDouble() const {
  const ValueItem* item = firstOfType(kItemDouble);
  return item != nullptr ? item->getDouble() : 0.0;
}

int64_t ConfigValue::getInt64() const {
  const ValueItem* item = firstOfType(kItemInt64);
  return item != nullptr ? item->getInt64() : 0;
}

const char* ConfigValue::getString() const {
  const ValueItem* item = firstOfType(kItemString);
  return item != nullptr ? item->getString() : "";
}

const unsigned char* ConfigValue::getBinary() const {
  const ValueItem* item = firstOfType(kItemBinary);
  return item != nullptr ? item->binaryData() : nullptr;
}

uint32_t ConfigValue::binaryLength() const {
  const ValueItem* item = firstOfType(kItemBinary);
  return item != nullptr ? item->binaryLength() : 0;
}

int ConfigValue::resizeBinary(uint32_t length) {
  ValueItem* item = firstOfType(kItemBinary);
  return item != nullptr && !isFrozen() ? item->resizeBinary(length) : 0;
}

ValueItem* ConfigValue::firstOrNew(ItemType type) {
  ValueItem* item = firstOfType(type);
  return item != nullptr ? item : appendNew(type, nullptr);
}

ValueItem* ConfigValue::appendNew(ItemType type, const char* itemName) {
  if (isFrozen()) return nullptr;
  auto* item = new (std::nothrow) ValueItem(type, itemName);
  if (item == nullptr) return nullptr;
  if (add(item) == 0) {
    item->destroy();
    return nullptr;
  }
  return item;
}

int ConfigValue::setInt(int32_t value) {
  ValueItem* item = firstOrNew(kItemInt);
  return item != nullptr ? item->setFromInt(value) : 0;
}

int ConfigValue::setFloat(float value) {
  ValueItem* item = firstOrNew(kItemFloat);
  return item != nullptr ? item->setFromFloat(value) : 0;
}

int ConfigValue::setDouble(double value) {
  ValueItem* item = firstOrNew(kItemDouble);
  return item != nullptr ? item->setFromDouble(value) : 0;
}

int ConfigValue::setString(const char* value) {
  ValueItem* item = firstOrNew(kItemString);
  return item != nullptr ? item->setString(value) : 0;
}

int ConfigValue::setInt64(int64_t value) {
  ValueItem* item = firstOrNew(kItemInt64);
  return item != nullptr ? item->setFromInt64(value) : 0;
}

int ConfigValue::setBinary(const void* data, uint32_t length) {
  if (isFrozen()) return 0;
  // Build the new item first, so a failed allocation leaves the node as it was.
  auto* item = new (std::nothrow) ValueItem(kItemBinary, nullptr);
  if (item == nullptr) return 0;
  item->setBinary(data, length);
  const int32_t old = indexOfType(kItemBinary);
  if (old != 0) removeByIndex(old);
  if (add(item) == 0) {
    item->destroy();
    return 0;
  }
  return 1;
}

ValueItem* ConfigValue::addIntItem(const char* itemName, int32_t value) {
  ValueItem* item = appendNew(kItemInt, itemName);
  if (item != nullptr) item->setFromInt(value);
  return item;
}

ValueItem* ConfigValue::addFloatItem(const char* itemName, float value) {
  ValueItem* item = appendNew(kItemFloat, itemName);
  if (item != nullptr) item->setFromFloat(value);
  return item;
}

ValueItem* ConfigValue::addStringItem(const char* itemName, const char* value) {
  ValueItem* item = appendNew(kItemString, itemName);
  if (item != nullptr) item->setString(value);
  return item;
}

ValueItem* ConfigValue::addDoubleItem(const char* itemName, double value) {
  ValueItem* item = appendNew(kItemDouble, itemName);
  if (item != nullptr) item->setFromDouble(value);
  return item;
}

ValueItem* ConfigValue::addInt64Item(const char* itemName, int64_t value) {
  ValueItem* item = appendNew(kItemInt64, itemName);
  if (item != nullptr) item->setFromInt64(value);
  return item;
}

ValueItem* ConfigValue::addBinaryItem(const char* itemName, const void* data, uint32_t length) {
  ValueItem* item = appendNew(kItemBinary, itemName);
  if (item != nullptr) item->setBinary(data, length);
  return item;
}

int32_t ConfigValue::addItem(ValueItem* item) {
  if (isFrozen()) return 0;
  return add(item);
}

}  // namespace gatekeeper
