#pragma once

#include "platform/Directories.h"
#include "platform/Http.h"
#include "platform/ImageDecoder.h"
#include "platform/Log.h"
#include "platform/WebAppPackaging.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Finds a web site's touch icon or favicon and makes it the bundle's icon.
class WebAppIcon {
public:
  static constexpr std::array<std::string_view, 5> CandidatePaths{
      "/apple-touch-icon-180x180.png", "/apple-touch-icon-precomposed.png", "/apple-touch-icon.png",
      "/favicon.png", "/favicon.ico"};
  static constexpr double CandidateTimeoutSeconds = 5.0;
  // Empty answers and one-pixel placeholders are this small or smaller.
  static constexpr std::size_t MinimumIconBytes = 201;
  // No icon comes near this; a server sending more is hostile or broken,
  // and the download stops there.
  static constexpr std::size_t MaximumIconBytes = 10 * 1024 * 1024;
  // The largest size drawn; larger pictures are decoded scaled down to it.
  static constexpr int LargestIconPixels = 1024;

  struct Dependencies {
    Http& http;
    const ImageDecoder& decoder;
    WebAppPackaging& packaging;
    const Directories& directories;
    Log& log;
  };

  explicit WebAppIcon(Dependencies dependencies) : d_(dependencies) {}

  // True when the bundle's icon has been written into resources. Never
  // throws.
  bool downloadAndAttachIcon(std::string_view url, const std::filesystem::path& resources);
  // The body of a 2xx answer (or of an answer that is not HTTP at all),
  // nothing otherwise.
  std::optional<std::vector<std::uint8_t>> downloadWithTimeout(std::string_view url,
                                                               double seconds);
  // Draws the image stretched at every size the desktop shows and makes the
  // set the bundle's icon in resources.
  bool attachIcon(const DecodedImage& image, const std::filesystem::path& resources);

private:
  bool tryCandidate(const std::string& candidate, const std::filesystem::path& resources);

  Dependencies d_;
};

// A new random UUID in its upper-case text form.
std::string makeUuidString();

} // namespace quillon
