#include "platform/sim/SimImages.h"

#include <fstream>
#include <initializer_list>
#include <iterator>

namespace quillon {

namespace {

constexpr std::uint8_t markerPrefix = 0xFF;
constexpr std::uint8_t startOfImage = 0xD8;
constexpr std::uint8_t endOfImage = 0xD9;
constexpr std::uint8_t startOfScan = 0xDA;
constexpr std::uint8_t baselineFrame = 0xC0;
constexpr std::uint8_t progressiveFrame = 0xC2;
// Files bigger than this are not pictures the simulated tools write.
constexpr std::uintmax_t largestImageFile = 64u << 20;

std::uint16_t bigEndian16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void append(std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> more) {
  for (const std::uint8_t byte : more) {
    bytes.push_back(byte);
  }
}

void appendBigEndian16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
  bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

} // namespace

std::vector<std::uint8_t> SimImages::makeJpeg(std::uint16_t width, std::uint16_t height) {
  std::vector<std::uint8_t> bytes{markerPrefix, startOfImage};
  // A baseline frame header: precision 8, the size, one component.
  append(bytes, {markerPrefix, baselineFrame});
  appendBigEndian16(bytes, 11);
  bytes.push_back(8);
  appendBigEndian16(bytes, height);
  appendBigEndian16(bytes, width);
  append(bytes, {1, 1, 0x11, 0});
  // A scan header and a little entropy-coded data.
  append(bytes, {markerPrefix, startOfScan});
  appendBigEndian16(bytes, 8);
  append(bytes, {1, 1, 0, 0, 63, 0});
  append(bytes, {0x12, 0x34, 0x56, 0x78});
  append(bytes, {markerPrefix, endOfImage});
  return bytes;
}

bool SimImages::isDecodableJpeg(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 4 || bytes[0] != markerPrefix || bytes[1] != startOfImage ||
      bytes[bytes.size() - 2] != markerPrefix || bytes.back() != endOfImage) {
    return false;
  }
  bool sized = false;
  std::size_t at = 2;
  while (at + 4 <= bytes.size() && bytes[at] == markerPrefix) {
    const std::uint8_t marker = bytes[at + 1];
    const std::size_t length = bigEndian16(bytes, at + 2);
    if (length < 2 || at + 2 + length > bytes.size()) {
      return false;
    }
    if ((marker == baselineFrame || marker == progressiveFrame) && length >= 7) {
      sized = bigEndian16(bytes, at + 5) > 0 && bigEndian16(bytes, at + 7) > 0;
    }
    if (marker == startOfScan) {
      return sized;
    }
    at += 2 + length;
  }
  return false;
}

std::optional<PasteboardItem>
SimImages::pasteboardItemForImageFile(const std::filesystem::path& file) const {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error || size > largestImageFile) {
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (!in.eof() && in.fail()) {
    return std::nullopt;
  }
  if (!isDecodableJpeg(bytes)) {
    return std::nullopt;
  }
  PasteboardItem item;
  item.representations.emplace(std::string(pasteboardtype::Jpeg), std::move(bytes));
  return item;
}

} // namespace quillon
