// The handle interface of a name comparator (identifier 20).
#ifndef GATEKEEPER_CONFIGSTORE_COMPARATOR_HANDLE_H_
#define GATEKEEPER_CONFIGSTORE_COMPARATOR_HANDLE_H_

#include <cstdint>

#include "configstore/common_handle.h"

namespace gatekeeper {

class NameComparator;
class NamedObject;

// kNameComparatorInterface: the common entries and entries 4 to 11, the comparator's
// operations in the order of NameComparator. Once the target was destroyed every entry
// answers 0 or nullptr.
class NameComparatorHandle : public CommonHandle {
 public:
  virtual int32_t GATEKEEPER_HANDLE_CALL notLess(const NamedObject* a,
                                                 const NamedObject* b) = 0;             // 4
  virtual int32_t GATEKEEPER_HANDLE_CALL notGreater(const NamedObject* a,
                                                    const NamedObject* b) = 0;          // 5
  virtual int32_t GATEKEEPER_HANDLE_CALL less(const NamedObject* a,
                                              const NamedObject* b) = 0;                // 6
  virtual int32_t GATEKEEPER_HANDLE_CALL greater(const NamedObject* a,
                                                 const NamedObject* b) = 0;             // 7
  virtual const NamedObject* GATEKEEPER_HANDLE_CALL larger(const NamedObject* a,
                                                           const NamedObject* b) = 0;   // 8
  virtual const NamedObject* GATEKEEPER_HANDLE_CALL smaller(const NamedObject* a,
                                                            const NamedObject* b) = 0;  // 9
  virtual int32_t GATEKEEPER_HANDLE_CALL accept(const NamedObject* object) = 0;         // 10
  virtual int32_t GATEKEEPER_HANDLE_CALL equal(const NamedObject* a,
                                               const NamedObject* b) = 0;               // 11

 protected:
  ~NameComparatorHandle() = default;
};

// A new comparator handle (count 1) on the target, or nullptr when allocation fails.
CommonHandle* newNameComparatorHandle(NameComparator* target);

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_COMPARATOR_HANDLE_H_
