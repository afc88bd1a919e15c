#include "webapp/WebAppIcon.h"

#include "webapp/UrlSyntax.h"
#include "webapp/WebAppAddress.h"

#include <cairo.h>
#include <cstdio>
#include <memory>
#include <random>
#include <system_error>

namespace quillon {

namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
  void operator()(cairo_t* context) const { cairo_destroy(context); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// Removes the folder with everything in it when the drawing is done,
// whichever way it ends.
class FolderRemoval {
public:
  explicit FolderRemoval(std::filesystem::path folder) : folder_(std::move(folder)) {}
  FolderRemoval(const FolderRemoval&) = delete;
  FolderRemoval& operator=(const FolderRemoval&) = delete;
  ~FolderRemoval() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

private:
  std::filesystem::path folder_;
};

bool drawPng(const DecodedImage& image, int pixels, const std::filesystem::path& file) {
  // Cairo reads the decoded pixels in place; it never writes to a source.
  auto* data = const_cast<unsigned char*>(image.pixels.data());
  const Surface source(cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, image.width,
                                                           image.height, image.stride));
  const Surface target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels));
  if (cairo_surface_status(source.get()) != CAIRO_STATUS_SUCCESS ||
      cairo_surface_status(target.get()) != CAIRO_STATUS_SUCCESS) {
    return false;
  }
  const Context context(cairo_create(target.get()));
  if (cairo_status(context.get()) != CAIRO_STATUS_SUCCESS) {
    return false;
  }
  cairo_scale(context.get(), static_cast<double>(pixels) / image.width,
              static_cast<double>(pixels) / image.height);
  cairo_set_source_surface(context.get(), source.get(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(context.get()), CAIRO_FILTER_BEST);
  cairo_set_operator(context.get(), CAIRO_OPERATOR_SOURCE);
  cairo_paint_with_alpha(context.get(), 1.0);
  if (cairo_status(context.get()) != CAIRO_STATUS_SUCCESS) {
    return false;
  }
  cairo_surface_flush(target.get());
  return cairo_surface_write_to_png(target.get(), file.c_str()) == CAIRO_STATUS_SUCCESS;
}

bool isUsableImage(const DecodedImage& image) {
  return image.width > 0 && image.height > 0 && image.stride >= image.width * 4 &&
         image.pixels.size() >= static_cast<std::size_t>(image.stride) * image.height;
}

} // namespace

std::string makeUuidString() {
  std::random_device device;
  std::mt19937_64 generator((static_cast<std::uint64_t>(device()) << 32) ^ device());
  std::array<std::uint8_t, 16> bytes{};
  for (auto& byte : bytes) {
    byte = static_cast<std::uint8_t>(generator());
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  std::string text;
  for (std::size_t index = 0; index < bytes.size(); ++index) {
    if (index == 4 || index == 6 || index == 8 || index == 10) {
      text.push_back('-');
    }
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", bytes[index]);
    text.append(digits, 2);
  }
  return text;
}

bool WebAppIcon::downloadAndAttachIcon(std::string_view url,
                                       const std::filesystem::path& resources) {
  const auto parts = parseUrlParts(url);
  if (!parts || !parts->host) {
    return false;
  }
  const std::string origin = parts->scheme.value_or("https") + "://" + *parts->host;
  for (const std::string_view path : CandidatePaths) {
    const std::string candidate = origin + std::string(path);
    if (isParseableUrl(candidate) && tryCandidate(candidate, resources)) {
      d_.log.write("Quillon webapp: icon installed from " + candidate);
      return true;
    }
  }
  d_.log.write("Quillon webapp: no usable icon found; using system default");
  return false;
}

bool WebAppIcon::tryCandidate(const std::string& candidate,
                              const std::filesystem::path& resources) {
  d_.log.write("Quillon webapp: trying icon " + candidate);
  const auto body = downloadWithTimeout(candidate, CandidateTimeoutSeconds);
  if (!body || body->size() < MinimumIconBytes) {
    return false;
  }
  const auto image = d_.decoder.decode(*body, LargestIconPixels);
  if (!image || !isUsableImage(*image)) {
    return false;
  }
  return attachIcon(*image, resources);
}

std::optional<std::vector<std::uint8_t>> WebAppIcon::downloadWithTimeout(std::string_view url,
                                                                         double seconds) {
  auto response = d_.http.get(url, Duration(seconds), MaximumIconBytes);
  if (!response) {
    return std::nullopt;
  }
  if (response->status && (*response->status < 200 || *response->status > 299)) {
    return std::nullopt;
  }
  return std::move(response->body);
}

bool WebAppIcon::attachIcon(const DecodedImage& image, const std::filesystem::path& resources) {
  if (!isUsableImage(image)) {
    return false;
  }
  const std::filesystem::path iconset =
      d_.directories.temporary() / ("Quillon-" + makeUuidString() + ".iconset");
  std::error_code error;
  std::filesystem::create_directories(iconset, error);
  if (error) {
    return false;
  }
  const FolderRemoval removal(iconset);
  for (const AppIconImage& size : d_.packaging.iconImages()) {
    if (!drawPng(image, size.pixels, iconset / size.fileName)) {
      return false;
    }
  }
  return d_.packaging.makeAppIcon(iconset, resources);
}

} // namespace quillon
