#include "platform/shared/CurlHttp.h"

#include <chrono>
#include <curl/curl.h>
#include <memory>
#include <string>

namespace quillon {

namespace {

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

const CurlLibrary* CurlHttp::library() {
  std::call_once(opening_, [this] {
    std::string error;
    library_ = CurlLibrary::open(sharedObject_, error);
    if (!library_) {
      log_.write("Quillon: web addresses cannot be fetched: " + error);
    }
  });
  return library_ ? &*library_ : nullptr;
}

std::optional<HttpResponse> CurlHttp::get(std::string_view url, Duration timeout,
                                          std::size_t maximumBodyBytes) {
  const CurlLibrary* const curl = library();
  if (curl == nullptr) {
    return std::nullopt;
  }
  const auto cleanup = [curl](CURL* handle) { curl->easyCleanup(handle); };
  const std::unique_ptr<CURL, decltype(cleanup)> handle(curl->easyInit(), cleanup);
  if (!handle) {
    return std::nullopt;
  }
  const std::string address(url);
  const auto milliseconds = std::max<long>(
      1, static_cast<long>(std::chrono::duration<double, std::milli>(timeout).count()));
  BodySink sink{{}, maximumBodyBytes};
  CURL* const transfer = handle.get();
  const auto set = curl->easySetopt;
  set(transfer, CURLOPT_URL, address.c_str());
  set(transfer, CURLOPT_PROTOCOLS_STR, "http,https");
  set(transfer, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  set(transfer, CURLOPT_FOLLOWLOCATION, 1L);
  set(transfer, CURLOPT_MAXREDIRS, MaximumRedirects);
  set(transfer, CURLOPT_TIMEOUT_MS, milliseconds);
  set(transfer, CURLOPT_NOSIGNAL, 1L);
  set(transfer, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maximumBodyBytes));
  set(transfer, CURLOPT_WRITEFUNCTION, appendBody);
  set(transfer, CURLOPT_WRITEDATA, &sink);
  if (curl->easyPerform(transfer) != CURLE_OK) {
    return std::nullopt;
  }
  long status = 0;
  curl->easyGetinfo(transfer, CURLINFO_RESPONSE_CODE, &status);
  HttpResponse response;
  if (status != 0) {
    response.status = static_cast<int>(status);
  }
  response.body = std::move(sink.bytes);
  return response;
}

} // namespace quillon
