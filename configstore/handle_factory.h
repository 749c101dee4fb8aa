// Interface handles for the objects of the store: getInterface (common_handle.h), the one place
// that tells which interfaces an object answers, and the extension objects that answer
// interface requests of their own.
#ifndef GATEKEEPER_CONFIGSTORE_HANDLE_FACTORY_H_
#define GATEKEEPER_CONFIGSTORE_HANDLE_FACTORY_H_

#include <cstdint>

#include "configstore/common_handle.h"
#include "configstore/config_section.h"

namespace gatekeeper {

// An extension object that answers interface requests: a section passes it the identifiers it
// does not answer itself, and before the section is written asks it for kPreSaveInterface; an
// answer (a PreSaveRequest) is handed the section, asked to prepare and released, its result
// unused.
class InterfaceExtension : public SectionExtension {
 public:
  // A new handle (count 1) for the identifier, or nullptr.
  virtual CommonHandle* getInterface(uint32_t id) = 0;
  void prepareForSave(ConfigSection* section) final;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_HANDLE_FACTORY_H_
