#pragma once

#include "platform/Http.h"
#include "platform/Log.h"
#include "platform/shared/CurlLibrary.h"

#include <mutex>
#include <string>

namespace quillon {

// HTTP over libcurl: redirects followed up to a small limit, only http and
// https, the whole exchange bounded by the time-out and the body cap.
// libcurl is opened by the first request; a system without it fetches
// nothing and says why once.
class CurlHttp final : public Http {
public:
  static constexpr long MaximumRedirects = 5;

  explicit CurlHttp(Log& log, std::string sharedObject = CurlLibrary::SharedObject)
      : log_(log), sharedObject_(std::move(sharedObject)) {}

  std::optional<HttpResponse> get(std::string_view url, Duration timeout,
                                  std::size_t maximumBodyBytes) override;

private:
  // Requests may come from several threads at once.
  const CurlLibrary* library();

  Log& log_;
  const std::string sharedObject_;
  std::once_flag opening_;
  std::optional<CurlLibrary> library_;
};

} // namespace quillon
