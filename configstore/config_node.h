// The common base of sections and value nodes, and the item types of the store.
#ifndef GATEKEEPER_CONFIGSTORE_CONFIG_NODE_H_
#define GATEKEEPER_CONFIGSTORE_CONFIG_NODE_H_

#include <cstdint>

#include "configstore/object_list.h"

namespace gatekeeper {

// Types of a value item. The same numbers are the text reader's value tokens.
enum ItemType : int32_t {
  kItemUntyped = 0,  // only the shared placeholder item
  kItemBinary = 5,   // byte block
  kItemInt = 6,      // signed 32-bit
  kItemFloat = 7,    // 32-bit floating point
  kItemString = 8,   // text, never absent once set (an absent text is stored as "")
  kItemDouble = 9,   // 64-bit floating point
  kItemInt64 = 10,   // signed 64-bit
};

// A node of the tree: an ObjectList with flags. Bit 0 marks a value node, bit 1 a placeholder.
class ConfigNode : public ObjectList {
 public:
  static constexpr int32_t kValueNodeFlag = 1;
  static constexpr int32_t kPlaceholderFlag = 2;

  int32_t flags() const { return nodeFlags_; }
  bool isValueNode() const { return (nodeFlags_ & kValueNodeFlag) != 0; }
  bool isSection() const { return !isValueNode(); }
  // Placeholders are skipped by iteration and by the writer.
  bool isPlaceholder() const { return (nodeFlags_ & kPlaceholderFlag) != 0; }
  void markPlaceholder() { nodeFlags_ |= kPlaceholderFlag; }

 protected:
  ConfigNode(int32_t flags, const char* name) : ObjectList(name) {
    nodeFlags_ = static_cast<uint8_t>(flags);
  }
  void copyFlagsFrom(const ConfigNode& other) { nodeFlags_ = other.nodeFlags_; }
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_CONFIG_NODE_H_
