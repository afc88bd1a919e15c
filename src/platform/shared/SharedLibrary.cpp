#include "platform/shared/SharedLibrary.h"

#include <dlfcn.h>

namespace quillon {

void SharedLibrary::Close::operator()(void* handle) const {
  dlclose(handle);
}

std::optional<SharedLibrary> SharedLibrary::open(const std::string& name, Unloading unloading,
                                                 std::string& error) {
  const int flags = RTLD_NOW | RTLD_LOCAL | (unloading == Unloading::Never ? RTLD_NODELETE : 0);
  void* const handle = dlopen(name.c_str(), flags);
  if (handle == nullptr) {
    const char* const reason = dlerror();
    error = reason != nullptr ? reason : "cannot open " + name;
    return std::nullopt;
  }
  return SharedLibrary(name, handle);
}

void* SharedLibrary::lookUp(const char* symbol, std::string& error) const {
  void* const address = dlsym(handle_.get(), symbol);
  if (address == nullptr) {
    error = name_ + " has no " + symbol;
  }
  return address;
}

} // namespace quillon
