#include "configstore/name_comparator.h"

#include "platform/names.h"

namespace gatekeeper {

void NameComparator::destroy() { delete this; }


int NameComparator::notLess(const NamedObject* a, const NamedObject* b) {
  if (a == nullptr) return 0;
  if (!a->hasName() || b == nullptr) return 1;
  if (!b->hasName()) return 0;
  return platform::compareNames(a->name(), b->name()) >= 0 ? 1 : 0;
}

int NameComparator::notGreater(const NamedObject* a, const NamedObject* b) {
  if (a == nullptr) return 0;
  if (!a->hasName() || b == nullptr) return 1;
  if (!b->hasName()) return 0;
  return platform::compareNames(a->name(), b->name()) <= 0 ? 1 : 0;
}

int NameComparator::less(const NamedObject* a, const NamedObject* b) {
  return notLess(a, b) ? 0 : 1;
}

int NameComparator::greater(const NamedObject* a, const NamedObject* b) {
  return notGreater(a, b) ? 0 : 1;
}

const NamedObject* NameComparator::larger(const NamedObject* a, const NamedObject* b) {
  return notLess(a, b) ? a : b;
}

const NamedObject* NameComparator::smaller(const NamedObject* a, const NamedObject* b) {
  return notGreater(a, b) ? a : b;
}

int NameComparator::accept(const NamedObject*) { return 1; }

int NameComparator::equal(const NamedObject* a, const NamedObject* b) {
  if (a == nullptr || b == nullptr) return a == b ? 1 : 0;
  if (!a->hasName() || !b->hasName()) return a->hasName() == b->hasName() ? 1 : 0;
  return platform::namesEqual(a->name(), b->name()) ? 1 : 0;
}

}  // namespace gatekeeper
