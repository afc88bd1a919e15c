#include "platform/shared/IcnsFile.h"

#include <array>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace quillon {

namespace {

constexpr std::size_t headerBytes = 8;

// Iconset file names and the type codes that carry their size.
constexpr std::array<std::pair<std::string_view, std::string_view>, 10> iconsetTypes{{
    {"icon_16x16.png", "icp4"},
    {"icon_16x16@2x.png", "ic11"},
    {"icon_32x32.png", "icp5"},
    {"icon_32x32@2x.png", "ic12"},
    {"icon_128x128.png", "ic07"},
    {"icon_128x128@2x.png", "ic13"},
    {"icon_256x256.png", "ic08"},
    {"icon_256x256@2x.png", "ic14"},
    {"icon_512x512.png", "ic09"},
    {"icon_512x512@2x.png", "ic10"},
}};

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

std::uint32_t readBigEndian(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t index = 0; index < 4; ++index) {
    value = value << 8 | bytes[offset + index];
  }
  return value;
}

std::optional<std::vector<std::uint8_t>> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

std::optional<std::string> icnsTypeForIconsetFile(const std::string& fileName) {
  for (const auto& [name, type] : iconsetTypes) {
    if (name == fileName) {
      return std::string(type);
    }
  }
  return std::nullopt;
}

std::vector<std::uint8_t> encodeIcns(const std::vector<IcnsElement>& elements) {
  std::vector<std::uint8_t> out{'i', 'c', 'n', 's', 0, 0, 0, 0};
  for (const IcnsElement& element : elements) {
    out.insert(out.end(), element.type.begin(), element.type.begin() + 4);
    appendBigEndian(out, static_cast<std::uint32_t>(element.data.size() + headerBytes));
    out.insert(out.end(), element.data.begin(), element.data.end());
  }
  std::vector<std::uint8_t> length;
  appendBigEndian(length, static_cast<std::uint32_t>(out.size()));
  std::copy(length.begin(), length.end(), out.begin() + 4);
  return out;
}

std::optional<std::vector<IcnsElement>> decodeIcns(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < headerBytes || std::string(bytes.begin(), bytes.begin() + 4) != "icns" ||
      readBigEndian(bytes, 4) != bytes.size()) {
    return std::nullopt;
  }
  std::vector<IcnsElement> elements;
  std::size_t offset = headerBytes;
  while (offset < bytes.size()) {
    if (bytes.size() - offset < headerBytes) {
      return std::nullopt;
    }
    const std::uint32_t length = readBigEndian(bytes, offset + 4);
    if (length < headerBytes || length > bytes.size() - offset) {
      return std::nullopt;
    }
    elements.push_back({std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(offset + 4)),
                        std::vector<std::uint8_t>(
                            bytes.begin() + static_cast<std::ptrdiff_t>(offset + headerBytes),
                            bytes.begin() + static_cast<std::ptrdiff_t>(offset + length))});
    offset += length;
  }
  return elements;
}

std::optional<std::string> writeIcnsFromIconset(const std::filesystem::path& iconset,
                                                const std::filesystem::path& output) {
  std::vector<IcnsElement> elements;
  for (const auto& [name, type] : iconsetTypes) {
    const std::filesystem::path file = iconset / name;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
      continue;
    }
    auto data = readFile(file);
    if (!data) {
      return "cannot read " + file.string();
    }
    elements.push_back({std::string(type), std::move(*data)});
  }
  if (elements.empty()) {
    return iconset.string() + ": no images in the iconset";
  }
  const std::vector<std::uint8_t> bytes = encodeIcns(elements);
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    return "cannot write " + output.string();
  }
  return std::nullopt;
}

} // namespace quillon
