#include "platform/shared/CurlHttp.h"

#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <string>

namespace quillon {

namespace {

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct BodySink {
  std::vector<std::uint8_t> bytes;
  std::size_t limit = 0;
};

// Answering fewer bytes than offered makes curl abort the transfer, which is
// how a body beyond the cap stops arriving.
std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* context) {
  auto& sink = *static_cast<BodySink*>(context);
  const std::size_t length = size * count;
  if (length > sink.limit - sink.bytes.size()) {
    return 0;
  }
  sink.bytes.insert(sink.bytes.end(), data, data + length);
  return length;
}

} // namespace

std::optional<HttpResponse> CurlHttp::get(std::string_view url, Duration timeout,
                                          std::size_t maximumBodyBytes) {
  const std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
  if (!handle) {
    return std::nullopt;
  }
  const std::string address(url);
  const auto milliseconds = std::max<long>(
      1, static_cast<long>(std::chrono::duration<double, std::milli>(timeout).count()));
  BodySink sink{{}, maximumBodyBytes};
  CURL* curl = handle.get();
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, MaximumRedirects);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, milliseconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maximumBodyBytes));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  if (curl_easy_perform(curl) != CURLE_OK) {
    return std::nullopt;
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  HttpResponse response;
  if (status != 0) {
    response.status = static_cast<int>(status);
  }
  response.body = std::move(sink.bytes);
  return response;
}

} // namespace quillon
