#include "platform/sim/SimHttp.h"

namespace quillon {

namespace {

constexpr std::string_view schemeSeparator = "://";

} // namespace

void SimHttp::mapHost(std::string host, std::string origin) {
  hosts_.insert_or_assign(std::move(host), std::move(origin));
}

std::optional<HttpResponse> SimHttp::get(std::string_view url, Duration timeout,
                                         std::size_t maximumBodyBytes) {
  requests_.emplace_back(url);
  const auto separator = url.find(schemeSeparator);
  if (separator == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view rest = url.substr(separator + schemeSeparator.size());
  const auto pathStart = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, pathStart);
  authority = authority.substr(
      authority.rfind('@') == std::string_view::npos ? 0 : authority.rfind('@') + 1);
  const std::string_view host = authority.substr(0, authority.find(':'));
  const auto mapped = hosts_.find(host);
  if (mapped == hosts_.end()) {
    return std::nullopt;
  }
  const std::string path(pathStart == std::string_view::npos ? std::string_view("/")
                                                             : rest.substr(pathStart));
  return curl_.get(mapped->second + path, timeout, maximumBodyBytes);
}

} // namespace quillon
