#include "platform/shared/CurlLibrary.h"

namespace quillon {

std::optional<CurlLibrary> CurlLibrary::open(const std::string& sharedObject, std::string& error) {
  // Kept mapped once opened: the TLS library it brings registers handlers
  // that run at exit.
  auto library = SharedLibrary::open(sharedObject, SharedLibrary::Unloading::Never, error);
  if (!library) {
    return std::nullopt;
  }
  CurlLibrary curl(std::move(*library));
  const SharedLibrary& found = curl.library_;
  if (!found.find("curl_easy_init", curl.easyInit, error) ||
      !found.find("curl_easy_setopt", curl.easySetopt, error) ||
      !found.find("curl_easy_perform", curl.easyPerform, error) ||
      !found.find("curl_easy_getinfo", curl.easyGetinfo, error) ||
      !found.find("curl_easy_cleanup", curl.easyCleanup, error)) {
    return std::nullopt;
  }
  return curl;
}

} // namespace quillon
