#pragma once

#include "platform/Directories.h"
#include "platform/Http.h"
#include "platform/ImageDecoder.h"
#include "platform/Log.h"
#include "platform/Processes.h"

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
  static constexpr std::string_view Iconutil = "/usr/bin/iconutil";
  static constexpr std::string_view IconFileName = "AppIcon.icns";
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

  struct IconSize {
    int pixels;
    std::string_view fileName;
  };
  static constexpr std::array<IconSize, 10> Sizes{{
      {16, "icon_16x16.png"},
      {32, "icon_16x16@2x.png"},
      {32, "icon_32x32.png"},
      {64, "icon_32x32@2x.png"},
      {128, "icon_128x128.png"},
      {256, "icon_128x128@2x.png"},
      {256, "icon_256x256.png"},
      {512, "icon_256x256@2x.png"},
      {512, "icon_512x512.png"},
      {1024, "icon_512x512@2x.png"},
  }};

  struct Dependencies {
    Http& http;
    const ImageDecoder& decoder;
    Processes& processes;
    const Directories& directories;
    Log& log;
  };

  explicit WebAppIcon(Dependencies dependencies) : d_(dependencies) {}

  // True when AppIcon.icns has been written into resources. Never throws.
  bool downloadAndAttachIcon(std::string_view url, const std::filesystem::path& resources);
  // The body of a 2xx answer (or of an answer that is not HTTP at all),
  // nothing otherwise.
  std::optional<std::vector<std::uint8_t>> downloadWithTimeout(std::string_view url,
                                                               double seconds);
  // Draws the image stretched at every size and turns the set into
  // AppIcon.icns in resources.
  bool attachIcon(const DecodedImage& image, const std::filesystem::path& resources);

private:
  bool tryCandidate(const std::string& candidate, const std::filesystem::path& resources);

  Dependencies d_;
};

// A new random UUID in its upper-case text form.
std::string makeUuidString();

} // namespace quillon
