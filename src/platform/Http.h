// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quillon {

struct HttpResponse {
  // Absent when the answer came from something other than an HTTP server.
  std::optional<int> status;
  std::vector<std::uint8_t> body;
};

// Plain GET requests that cannot cost more than their time limit or their
// body cap, whatever the server does.
class Http {
public:
  virtual ~Http() = default;
  // Nothing on any failure: no connection, a time-out, too many redirects,
  // or a body beyond maximumBodyBytes.
  virtual std::optional<HttpResponse> get(std::string_view url, Duration timeout,
                                          std::size_t maximumBodyBytes) = 0;
};

} // namespace quillon
