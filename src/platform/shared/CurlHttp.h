#pragma once

#include "platform/Http.h"

namespace quillon {

// HTTP over libcurl: redirects followed up to a small limit, only http and
// https, the whole exchange bounded by the time-out and the body cap.
class CurlHttp final : public Http {
public:
  static constexpr long MaximumRedirects = 5;

  std::optional<HttpResponse> get(std::string_view url, Duration timeout,
                                  std::size_t maximumBodyBytes) override;
};

} // namespace quillon
