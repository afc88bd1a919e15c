#pragma once

// Image files as hostile or careless web sites serve them as icons, built
// byte by byte so the tests and the benchmarks need no sample files.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::testimages {

inline std::uint32_t crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFU;
  for (const char character : bytes) {
    crc ^= static_cast<unsigned char>(character);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1U) ^ (0xEDB88320U & (0U - (crc & 1U)));
    }
  }
  return ~crc;
}

inline void appendBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((value >> static_cast<unsigned>(shift)) & 0xFFU));
  }
}

inline void appendLittleEndian16(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFFU));
  out.push_back(static_cast<char>((value >> 8U) & 0xFFU));
}

inline std::string pngChunk(std::string_view type, std::string_view data) {
  std::string chunk;
  appendBigEndian(chunk, static_cast<std::uint32_t>(data.size()));
  std::string typed(type);
  typed += data;
  chunk += typed;
  appendBigEndian(chunk, crc32(typed));
  return chunk;
}

inline const std::string_view pngSignature("\x89PNG\r\n\x1A\n", 8);

// Colour type 0 is grey, 6 is RGBA; 8 bits per sample.
inline std::string pngStart(std::uint32_t width, std::uint32_t height, char colourType) {
  std::string header;
  appendBigEndian(header, width);
  appendBigEndian(header, height);
  header += std::string{8, colourType, 0, 0, 0};
  return std::string(pngSignature) + pngChunk("IHDR", header);
}

// A grey picture, whole and valid, its pixels in stored (uncompressed)
// deflate blocks so that no compressor is needed.
inline std::string greyPng(std::uint32_t width, std::uint32_t height) {
  std::string raw;
  for (std::uint32_t row = 0; row < height; ++row) {
    raw.push_back(0);
    raw.append(width, static_cast<char>(row & 0xFFU));
  }
  std::string zlib{0x78, 0x01};
  constexpr std::size_t maxStored = 65535;
  for (std::size_t at = 0; at < raw.size(); at += maxStored) {
    const std::size_t length = std::min(maxStored, raw.size() - at);
    zlib.push_back(at + length == raw.size() ? 1 : 0);
    appendLittleEndian16(zlib, static_cast<std::uint32_t>(length));
    appendLittleEndian16(zlib, static_cast<std::uint32_t>(~length & 0xFFFFU));
    zlib.append(raw, at, length);
  }
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const char character : raw) {
    a = (a + static_cast<unsigned char>(character)) % 65521U;
    b = (b + a) % 65521U;
  }
  appendBigEndian(zlib, b << 16U | a);
  return pngStart(width, height, 0) + pngChunk("IDAT", zlib) + pngChunk("IEND", "");
}

// A small valid picture padded with a text chunk to exactly `bytes` bytes.
inline std::string pngOfExactSize(std::size_t bytes) {
  const std::string picture = greyPng(4, 4);
  const std::string end = pngChunk("IEND", "");
  const std::string body = picture.substr(0, picture.size() - end.size());
  constexpr std::size_t chunkOverhead = 12;
  const std::string keyword("Comment", 8);
  const std::size_t padding = bytes - body.size() - end.size() - chunkOverhead - keyword.size();
  return body + pngChunk("tEXt", keyword + std::string(padding, 'x')) + end;
}

// 473 bytes declaring 20000 × 20000 RGBA, cut off in its first data block.
inline std::string truncatedHugePng() {
  std::string zlib{0x78, 0x01, 0x00};
  appendLittleEndian16(zlib, 0xFFFFU);
  appendLittleEndian16(zlib, 0x0000U);
  std::string start = pngStart(20000, 20000, 6);
  const std::size_t dataBytes = 473 - start.size() - 8;
  zlib.resize(dataBytes, '\0');
  // The chunk claims more than the file holds.
  start += std::string("\0\1\0\0IDAT", 8) + zlib;
  return start;
}

// About 285 bytes declaring a 16000 × 16000 picture of two colours.
inline std::string hugeGif() {
  std::string gif = "GIF89a";
  appendLittleEndian16(gif, 16000);
  appendLittleEndian16(gif, 16000);
  gif += std::string{static_cast<char>(0x80), 0, 0};
  gif += std::string{
      0, 0, 0, static_cast<char>(0xFF), static_cast<char>(0xFF), static_cast<char>(0xFF)};
  // A comment block brings it to the size such files come in.
  gif += std::string{0x21, static_cast<char>(0xFE), static_cast<char>(246)};
  gif += std::string(246, 'c');
  gif.push_back(0);
  gif.push_back(0x2C);
  appendLittleEndian16(gif, 0);
  appendLittleEndian16(gif, 0);
  appendLittleEndian16(gif, 16000);
  appendLittleEndian16(gif, 16000);
  gif.push_back(0);
  // Minimum code size 2: a clear code, one pixel, the end code.
  gif += std::string{2, 2, 0x44, 0x01, 0, 0x3B};
  return gif;
}

// Ten kilobytes of SVG, which an icon decoder should never hand to a
// renderer, served under a PNG name.
inline std::string svgServedAsPng() {
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20000\" height=\"20000\">"
                    "<defs><filter id=\"f\"><feGaussianBlur stdDeviation=\"500\"/></filter></defs>";
  while (svg.size() < 10'000) {
    svg += "<rect width=\"20000\" height=\"20000\" filter=\"url(#f)\"/>";
  }
  return svg + "</svg>";
}

} // namespace quillon::testimages
