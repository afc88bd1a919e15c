#pragma once

#include "platform/Http.h"
#include "platform/shared/CurlHttp.h"

#include <map>
#include <string>
#include <vector>

namespace quillon {

// Real HTTP, with web sites of chosen hosts answered by servers on this
// machine: a request to a mapped host goes, over plain http, to its server,
// whatever scheme and port the address named. Unmapped hosts fail at once,
// so the simulated desktop never reaches the network.
class SimHttp final : public Http {
public:
  explicit SimHttp(Log& log) : curl_(log) {}

  std::optional<HttpResponse> get(std::string_view url, Duration timeout,
                                  std::size_t maximumBodyBytes) override;

  // origin is "http://127.0.0.1:PORT".
  void mapHost(std::string host, std::string origin);
  // Every address asked for, as asked.
  const std::vector<std::string>& requests() const { return requests_; }

private:
  CurlHttp curl_;
  std::map<std::string, std::string, std::less<>> hosts_;
  std::vector<std::string> requests_;
};

} // namespace quillon
