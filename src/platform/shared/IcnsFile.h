#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The 'icns' container of an application icon: a header, then one element
// per image, each a four-letter type code and a PNG payload.
struct IcnsElement {
  std::string type;
  std::vector<std::uint8_t> data;
};

// The type code of an iconset's PNG file ("icon_32x32@2x.png" is "ic12"),
// or nothing for a name an iconset does not hold.
std::optional<std::string> icnsTypeForIconsetFile(const std::string& fileName);

std::vector<std::uint8_t> encodeIcns(const std::vector<IcnsElement>& elements);
// Nothing for bytes that are not a well-formed container.
std::optional<std::vector<IcnsElement>> decodeIcns(const std::vector<std::uint8_t>& bytes);

// What "iconutil -c icns" does: every known PNG of the iconset folder, in
// the order of the size table, into one file. An error text on failure.
std::optional<std::string> writeIcnsFromIconset(const std::filesystem::path& iconset,
                                                const std::filesystem::path& output);

} // namespace quillon
