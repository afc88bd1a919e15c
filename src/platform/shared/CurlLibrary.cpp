#include "platform/shared/CurlLibrary.h"

#include <dlfcn.h>

namespace quillon {

namespace {

template <typename Function>
bool resolve(void* handle, const std::string& sharedObject, const char* name, Function& function,
             std::string& error) {
  void* const symbol = dlsym(handle, name);
  if (symbol == nullptr) {
    error = sharedObject + " has no " + name;
    return false;
  }
  function = reinterpret_cast<Function>(symbol);
  return true;
}

} // namespace

void CurlLibrary::Close::operator()(void* handle) const {
  dlclose(handle);
}

std::optional<CurlLibrary> CurlLibrary::open(const std::string& sharedObject, std::string& error) {
  // Kept mapped once opened: the TLS library it brings registers handlers
  // that run at exit, which must not point into unmapped code.
  void* const handle = dlopen(sharedObject.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* const reason = dlerror();
    error = reason != nullptr ? reason : "cannot open " + sharedObject;
    return std::nullopt;
  }
  CurlLibrary library;
  library.handle_.reset(handle);
  if (!resolve(handle, sharedObject, "curl_easy_init", library.easyInit, error) ||
      !resolve(handle, sharedObject, "curl_easy_setopt", library.easySetopt, error) ||
      !resolve(handle, sharedObject, "curl_easy_perform", library.easyPerform, error) ||
      !resolve(handle, sharedObject, "curl_easy_getinfo", library.easyGetinfo, error) ||
      !resolve(handle, sharedObject, "curl_easy_cleanup", library.easyCleanup, error)) {
    return std::nullopt;
  }
  return library;
}

} // namespace quillon
