// The request a section puts to its attached extension object before it is written.
#ifndef GATEKEEPER_CONFIGSTORE_PRE_SAVE_REQUEST_H_
#define GATEKEEPER_CONFIGSTORE_PRE_SAVE_REQUEST_H_

#include <cstdint>

#include "configstore/common_handle.h"

namespace gatekeeper {

class ConfigSection;

// kPreSaveInterface: the common entries and entry 4. An extension object that answers
// kPreSaveInterface hands out this interface; the section calls prepare with itself before
// its opening line is written, then releases the interface. The answer is not used.
class PreSaveRequest : public CommonHandle {
 public:
  virtual int32_t GATEKEEPER_HANDLE_CALL prepare(ConfigSection* section) = 0;  // 4

 protected:
  ~PreSaveRequest() = default;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_PRE_SAVE_REQUEST_H_
