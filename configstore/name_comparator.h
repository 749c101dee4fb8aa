// Orders and selects named objects by name; also the selector of ConfigSection::filteredCopy.
#ifndef GATEKEEPER_CONFIGSTORE_NAME_COMPARATOR_H_
#define GATEKEEPER_CONFIGSTORE_NAME_COMPARATOR_H_

#include "configstore/ref_object.h"

namespace gatekeeper {

// Compares objects by name with platform::compareNames. An absent object or an object without
// a name takes part as follows: notLess(a, b) holds when a has no name or b is absent, and fails
// when a is absent or only b has no name; equal holds when both are absent or both names are
// equal. Subclasses override the operations to sort or select by other rules.
class NameComparator : public RefObject {
 public:
  NameComparator() = default;

  // Destroys the comparator.
  virtual void destroy();
  // name of a >= name of b.
  virtual int notLess(const NamedObject* a, const NamedObject* b);
  // name of a <= name of b.
  virtual int notGreater(const NamedObject* a, const NamedObject* b);
  // Negation of notLess.
  virtual int less(const NamedObject* a, const NamedObject* b);
  // Negation of notGreater.
  virtual int greater(const NamedObject* a, const NamedObject* b);
  // a when notLess(a, b) holds, else b.
  virtual const NamedObject* larger(const NamedObject* a, const NamedObject* b);
  // a when notGreater(a, b) holds, else b.
  virtual const NamedObject* smaller(const NamedObject* a, const NamedObject* b);
  // Selector for filtered copies: always 1 here.
  virtual int accept(const NamedObject* object);
  // Both absent, or both names equal.
  virtual int equal(const NamedObject* a, const NamedObject* b);
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_NAME_COMPARATOR_H_
