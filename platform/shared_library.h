// Loading a shared library at run time and looking up its exports, the way a web server loads
// a filter: dlopen/dlsym on POSIX, LoadLibraryA/GetProcAddress on Windows.
#ifndef GATEKEEPER_PLATFORM_SHARED_LIBRARY_H_
#define GATEKEEPER_PLATFORM_SHARED_LIBRARY_H_

#include <string>

namespace gatekeeper::platform {

class SharedLibrary {
 public:
  // Loads the library at path; isLoaded() tells whether it worked, error() why not.
  explicit SharedLibrary(const std::string& path);
  // Unloads the library (its static objects are destroyed).
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool isLoaded() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }
  // The address of an exported symbol, or nullptr.
  void* symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace gatekeeper::platform

#endif  // GATEKEEPER_PLATFORM_SHARED_LIBRARY_H_
