#pragma once

#include "platform/shared/SharedLibrary.h"

#include <curl/curl.h>
#include <optional>
#include <string>

namespace quillon {

// libcurl, opened when the product first fetches something rather than at
// launch: with its TLS, Kerberos and LDAP libraries it adds about 5 MB to the
// resident memory of every session, and most sessions never fetch.
class CurlLibrary {
public:
  // The library's shared-object name on this system.
  static constexpr const char* SharedObject = "libcurl.so.4";

  // Nothing, with why in error, when the library or one of the calls below
  // cannot be found.
  static std::optional<CurlLibrary> open(const std::string& sharedObject, std::string& error);

  CURL* (*easyInit)() = nullptr;
  CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
  CURLcode (*easyPerform)(CURL*) = nullptr;
  CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
  void (*easyCleanup)(CURL*) = nullptr;

private:
  explicit CurlLibrary(SharedLibrary library) : library_(std::move(library)) {}

  SharedLibrary library_;
};

} // namespace quillon
