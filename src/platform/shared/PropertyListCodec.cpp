#include "platform/shared/PropertyListCodec.h"

#include <plist/plist.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quillon {
namespace {

// ---------------------------------------------------------------------------------------
// Ownership of what libplist hands out.

struct PlistFree {
  void operator()(void* node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

struct MallocFree {
  void operator()(void* memory) const { std::free(memory); }
};
using MallocString = std::unique_ptr<char, MallocFree>;
using DictIterator = std::unique_ptr<std::remove_pointer_t<plist_dict_iter>, MallocFree>;

struct XmlFree {
  void operator()(char* text) const { plist_to_xml_free(text); }
};
using XmlText = std::unique_ptr<char, XmlFree>;

struct BinaryFree {
  void operator()(char* bytes) const { plist_to_bin_free(bytes); }
};
using BinaryBytes = std::unique_ptr<char, BinaryFree>;

// libplist counts dates from 2001-01-01 00:00:00 UTC.
constexpr std::chrono::seconds kReferenceDateFromUnixEpoch{978307200};

// Shared subtrees in a binary property list are expanded into copies by libplist, so a
// few hundred bytes can describe billions of nodes; stop long before that costs real
// memory. Honest files expand to about as many nodes as they hold objects.
constexpr std::uint64_t kMaxBinaryExpandedNodes = std::uint64_t{1} << 22;

constexpr std::string_view kBinaryMagic = "bplist00";

// ---------------------------------------------------------------------------------------
// Guards that run before libplist sees the input.

std::optional<std::uint64_t> readBigEndian(std::span<const std::uint8_t> bytes, std::uint64_t at,
                                           std::uint64_t width) {
  if (width == 0 || width > 8 || at > bytes.size() || width > bytes.size() - at) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (std::uint64_t i = 0; i < width; ++i) {
    value = (value << 8) | bytes[at + i];
  }
  return value;
}

struct BinaryTrailer {
  std::uint64_t offsetSize = 0;
  std::uint64_t refSize = 0;
  std::uint64_t objectCount = 0;
  std::uint64_t rootObject = 0;
  std::uint64_t offsetTableStart = 0;
};

constexpr std::uint64_t kTrailerSize = 32;

std::optional<BinaryTrailer> readTrailer(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kBinaryMagic.size() + kTrailerSize) {
    return std::nullopt;
  }
  const std::uint64_t at = bytes.size() - kTrailerSize;
  BinaryTrailer trailer;
  trailer.offsetSize = bytes[at + 6];
  trailer.refSize = bytes[at + 7];
  trailer.objectCount = readBigEndian(bytes, at + 8, 8).value_or(0);
  trailer.rootObject = readBigEndian(bytes, at + 16, 8).value_or(0);
  trailer.offsetTableStart = readBigEndian(bytes, at + 24, 8).value_or(0);
  const bool sane = trailer.offsetSize >= 1 && trailer.offsetSize <= 8 && trailer.refSize >= 1 &&
                    trailer.refSize <= 8 && trailer.objectCount >= 1 &&
                    trailer.rootObject < trailer.objectCount &&
                    trailer.offsetTableStart >= kBinaryMagic.size() &&
                    trailer.offsetTableStart <= at &&
                    trailer.objectCount <= (at - trailer.offsetTableStart) / trailer.offsetSize;
  return sane ? std::optional(trailer) : std::nullopt;
}

// Walks the object graph of a binary property list without building it, so that cycles,
// excessive nesting and exponential sharing are refused before libplist recurses into
// them. Each container is visited once; its nesting height and expanded size are kept.
class BinaryShapeCheck {
public:
  BinaryShapeCheck(std::span<const std::uint8_t> bytes, const BinaryTrailer& trailer)
      : bytes_(bytes), trailer_(trailer) {}

  bool acceptable() {
    const std::optional<Object> root = describe(trailer_.rootObject);
    if (!root) {
      return false;
    }
    return !root->container || walkFrom(trailer_.rootObject, *root);
  }

private:
  struct Object {
    bool container = false;
    std::uint64_t firstRef = 0;
    std::uint64_t refCount = 0;
  };
  struct Summary {
    std::uint64_t height = 0;
    std::uint64_t nodes = 0;
  };
  struct Frame {
    std::uint64_t index = 0;
    Object object;
    std::uint64_t nextRef = 0;
    Summary below;
  };

  std::optional<Object> describe(std::uint64_t index) const {
    if (index >= trailer_.objectCount) {
      return std::nullopt;
    }
    const std::optional<std::uint64_t> offset = readBigEndian(
        bytes_, trailer_.offsetTableStart + index * trailer_.offsetSize, trailer_.offsetSize);
    if (!offset || *offset < kBinaryMagic.size() || *offset >= trailer_.offsetTableStart) {
      return std::nullopt;
    }
    const std::uint8_t marker = bytes_[*offset];
    const unsigned kind = marker >> 4U;
    const bool isArrayOrSet = kind == 0xA || kind == 0xC;
    const bool isDict = kind == 0xD;
    if (!isArrayOrSet && !isDict) {
      return Object{};
    }
    std::uint64_t count = marker & 0x0FU;
    std::uint64_t refsAt = *offset + 1;
    if (count == 0x0F) {
      // The count follows as an integer object: marker 0x1n, then 2^n big-endian bytes.
      const std::optional<std::uint64_t> intMarker = readBigEndian(bytes_, refsAt, 1);
      if (!intMarker || (*intMarker >> 4U) != 0x1 || (*intMarker & 0x0FU) > 3) {
        return std::nullopt;
      }
      const std::uint64_t width = std::uint64_t{1} << (*intMarker & 0x0FU);
      const std::optional<std::uint64_t> wide = readBigEndian(bytes_, refsAt + 1, width);
      if (!wide) {
        return std::nullopt;
      }
      count = *wide;
      refsAt += 1 + width;
    }
    const std::uint64_t room = trailer_.offsetTableStart > refsAt
                                   ? (trailer_.offsetTableStart - refsAt) / trailer_.refSize
                                   : 0;
    const std::uint64_t perEntry = isDict ? 2 : 1;
    if (count > room / perEntry) {
      return std::nullopt;
    }
    return Object{true, refsAt, count * perEntry};
  }

  static bool add(Summary& into, const Summary& child) {
    into.height = std::max(into.height, child.height);
    into.nodes += child.nodes;
    return into.nodes <= kMaxBinaryExpandedNodes;
  }

  bool walkFrom(std::uint64_t rootIndex, const Object& root) {
    std::vector<Frame> stack{Frame{rootIndex, root, 0, {}}};
    std::unordered_set<std::uint64_t> onPath{rootIndex};
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.nextRef == frame.object.refCount) {
        const Summary done{frame.below.height + 1, frame.below.nodes + 1};
        if (done.height > kMaxPropertyListDepth || done.nodes > kMaxBinaryExpandedNodes) {
          return false;
        }
        onPath.erase(frame.index);
        finished_.emplace(frame.index, done);
        stack.pop_back();
        if (!stack.empty() && !add(stack.back().below, done)) {
          return false;
        }
        continue;
      }
      const std::optional<std::uint64_t> child = readBigEndian(
          bytes_, frame.object.firstRef + frame.nextRef * trailer_.refSize, trailer_.refSize);
      ++frame.nextRef;
      if (!child || onPath.contains(*child)) {
        return false;
      }
      if (const auto known = finished_.find(*child); known != finished_.end()) {
        if (!add(frame.below, known->second)) {
          return false;
        }
        continue;
      }
      const std::optional<Object> object = describe(*child);
      if (!object) {
        return false;
      }
      if (!object->container) {
        if (!add(frame.below, Summary{0, 1})) {
          return false;
        }
        continue;
      }
      if (stack.size() >= kMaxPropertyListDepth) {
        return false;
      }
      onPath.insert(*child);
      stack.push_back(Frame{*child, *object, 0, {}});
    }
    return true;
  }

  std::span<const std::uint8_t> bytes_;
  BinaryTrailer trailer_;
  std::unordered_map<std::uint64_t, Summary> finished_;
};

bool isXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// libplist 2.2 accepts a document that stops right after its top-level value, so a file
// cut short by a crash could otherwise read as complete.
bool endsWithPlistClose(std::string_view text) {
  while (!text.empty() && isXmlSpace(text.back())) {
    text.remove_suffix(1);
  }
  return text.ends_with("</plist>");
}

// Counts element nesting without parsing the XML properly; it only has to bound the
// depth libplist will recurse to, and over-counting merely refuses odd documents.
bool xmlNestingWithinLimit(std::string_view text) {
  // <plist> and a leaf element such as <string> sit around the containers.
  constexpr std::size_t kLimit = kMaxPropertyListDepth + 2;
  std::size_t depth = 0;
  std::size_t at = 0;
  while ((at = text.find('<', at)) != std::string_view::npos) {
    const std::string_view rest = text.substr(at);
    std::string_view closer = ">";
    if (rest.starts_with("<!--")) {
      closer = "-->";
    } else if (rest.starts_with("<![CDATA[")) {
      closer = "]]>";
    }
    const std::size_t end = text.find(closer, at + 1);
    if (end == std::string_view::npos) {
      return false;
    }
    const bool markup = rest.starts_with("<!") || rest.starts_with("<?");
    if (!markup && rest.starts_with("</")) {
      depth = depth > 0 ? depth - 1 : 0;
    } else if (!markup && text[end - 1] != '/' && ++depth > kLimit) {
      return false;
    }
    at = end + closer.size();
  }
  return true;
}

// libplist decodes base64 leniently: a block with a character outside the alphabet, or
// without its padding, reads as no bytes at all. Only blocks it reads faithfully pass:
// the alphabet and white space, whole groups of four, padding only at the end.
bool isStrictBase64(std::string_view block) {
  std::size_t symbols = 0;
  std::size_t padding = 0;
  for (const char c : block) {
    if (isXmlSpace(c)) {
      continue;
    }
    const bool inAlphabet =
        std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '/';
    if (c == '=') {
      ++padding;
    } else if (!inAlphabet || padding > 0) {
      return false;
    }
    ++symbols;
  }
  return padding <= 2 && symbols % 4 == 0;
}

bool dataBlocksAreStrictBase64(std::string_view text) {
  constexpr std::string_view kOpen = "<data>";
  constexpr std::string_view kClose = "</data>";
  for (std::size_t at = text.find(kOpen); at != std::string_view::npos; at = text.find(kOpen, at)) {
    at += kOpen.size();
    const std::size_t end = text.find(kClose, at);
    if (end == std::string_view::npos || !isStrictBase64(text.substr(at, end - at))) {
      return false;
    }
  }
  return true;
}

// Every string object of a binary list (ASCII, 0x5n, or UTF-16, 0x6n) free of NUL
// characters: libplist cuts dictionary keys at the first one, and writes every string
// only up to it.
bool binaryStringsHoldNoNul(std::span<const std::uint8_t> bytes, const BinaryTrailer& trailer) {
  for (std::uint64_t index = 0; index < trailer.objectCount; ++index) {
    const std::optional<std::uint64_t> offset = readBigEndian(
        bytes, trailer.offsetTableStart + index * trailer.offsetSize, trailer.offsetSize);
    if (!offset || *offset >= trailer.offsetTableStart) {
      return false;
    }
    const std::uint8_t marker = bytes[*offset];
    const unsigned kind = marker >> 4U;
    if (kind != 0x5 && kind != 0x6) {
      continue;
    }
    std::uint64_t count = marker & 0x0FU;
    std::uint64_t at = *offset + 1;
    if (count == 0x0F) {
      const std::optional<std::uint64_t> intMarker = readBigEndian(bytes, at, 1);
      if (!intMarker || (*intMarker >> 4U) != 0x1 || (*intMarker & 0x0FU) > 3) {
        return false;
      }
      const std::uint64_t width = std::uint64_t{1} << (*intMarker & 0x0FU);
      const std::optional<std::uint64_t> wide = readBigEndian(bytes, at + 1, width);
      if (!wide) {
        return false;
      }
      count = *wide;
      at += 1 + width;
    }
    const std::uint64_t unit = kind == 0x5 ? 1 : 2;
    if (at > trailer.offsetTableStart || count > (trailer.offsetTableStart - at) / unit) {
      return false;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
      if (readBigEndian(bytes, at + i * unit, unit).value_or(0) == 0) {
        return false;
      }
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Reading libplist nodes.

std::optional<PropertyValue> fromNode(plist_t node, std::size_t depth);

// libplist 2.2 keeps every integer as uint64 and marks those above INT64_MAX only by an
// internal width, which its value comparison honours; a fresh node has the signed width.
std::optional<std::int64_t> integerFrom(plist_t node) {
  std::uint64_t raw = 0;
  plist_get_uint_val(node, &raw);
  const PlistPtr probe(plist_new_uint(raw));
  if (!probe || plist_compare_node_value(node, probe.get()) == 0) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(raw);
}

// plist_get_date_val narrows the stored double to int32 seconds with a plain cast (dates
// past 2069 come back as garbage) and drops the sign of dates less than a second before
// 2001. A one-node binary list holds the exact double: marker 0x33 at offset 8, then eight
// big-endian bytes.
std::optional<double> dateSecondsFrom(plist_t node) {
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(node, &raw, &length);
  const BinaryBytes owned(raw);
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(raw), raw ? length : 0);
  if (bytes.size() < 17 || bytes[8] != 0x33 ||
      std::memcmp(bytes.data(), kBinaryMagic.data(), kBinaryMagic.size()) != 0) {
    return std::nullopt;
  }
  return std::bit_cast<double>(readBigEndian(bytes, 9, 8).value_or(0));
}

std::optional<WallTime> wallTimeFrom(double secondsSinceReference) {
  // WallTime counts nanoseconds in 64 bits, about 292 years either side of 1970.
  constexpr double kLimitMicroseconds = 9.0e15;
  const double micros =
      std::round((secondsSinceReference + double(kReferenceDateFromUnixEpoch.count())) * 1e6);
  if (!std::isfinite(micros) || std::abs(micros) > kLimitMicroseconds) {
    return std::nullopt;
  }
  return WallTime{} + std::chrono::duration_cast<WallTime::duration>(
                          std::chrono::microseconds(static_cast<std::int64_t>(micros)));
}

std::optional<PropertyValue> arrayFrom(plist_t node, std::size_t depth) {
  PropertyArray items;
  const std::uint32_t size = plist_array_get_size(node);
  items.reserve(size);
  for (std::uint32_t i = 0; i < size; ++i) {
    std::optional<PropertyValue> item = fromNode(plist_array_get_item(node, i), depth + 1);
    if (!item) {
      return std::nullopt;
    }
    items.push_back(std::move(*item));
  }
  return PropertyValue(std::move(items));
}

std::optional<PropertyValue> dictionaryFrom(plist_t node, std::size_t depth) {
  plist_dict_iter rawIterator = nullptr;
  plist_dict_new_iter(node, &rawIterator);
  const DictIterator iterator(rawIterator);
  if (!iterator) {
    return std::nullopt;
  }
  PropertyDictionary entries;
  for (;;) {
    char* rawKey = nullptr;
    plist_t child = nullptr;
    plist_dict_next_item(node, iterator.get(), &rawKey, &child);
    const MallocString key(rawKey);
    if (!child) {
      break;
    }
    std::optional<PropertyValue> value = fromNode(child, depth + 1);
    if (!key || !value) {
      return std::nullopt;
    }
    entries.insert_or_assign(std::string(key.get()), std::move(*value));
  }
  return std::optional<PropertyValue>(std::in_place, std::move(entries));
}

std::optional<PropertyValue> fromNode(plist_t node, std::size_t depth) {
  if (!node || depth > kMaxPropertyListDepth) {
    return std::nullopt;
  }
  switch (plist_get_node_type(node)) {
  case PLIST_BOOLEAN: {
    std::uint8_t value = 0;
    plist_get_bool_val(node, &value);
    return PropertyValue(value != 0);
  }
  case PLIST_UINT: {
    const std::optional<std::int64_t> value = integerFrom(node);
    return value ? std::optional(PropertyValue(*value)) : std::nullopt;
  }
  case PLIST_REAL: {
    double value = 0;
    plist_get_real_val(node, &value);
    return PropertyValue(value);
  }
  case PLIST_STRING: {
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return PropertyValue(text ? std::string(text, length) : std::string());
  }
  case PLIST_DATA: {
    std::uint64_t length = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(plist_get_data_ptr(node, &length));
    return PropertyValue(bytes ? PropertyData(bytes, bytes + length) : PropertyData());
  }
  case PLIST_DATE: {
    const std::optional<double> seconds = dateSecondsFrom(node);
    const std::optional<WallTime> time = seconds ? wallTimeFrom(*seconds) : std::nullopt;
    return time ? std::optional(PropertyValue(*time)) : std::nullopt;
  }
  case PLIST_ARRAY:
    return depth < kMaxPropertyListDepth ? arrayFrom(node, depth) : std::nullopt;
  case PLIST_DICT:
    return depth < kMaxPropertyListDepth ? dictionaryFrom(node, depth) : std::nullopt;
  default:
    // Keys outside a dictionary, keyed-archive UIDs and anything newer have no
    // PropertyValue kind.
    return std::nullopt;
  }
}

PlistPtr parseBinary(std::span<const std::uint8_t> bytes) {
  const std::optional<BinaryTrailer> trailer = readTrailer(bytes);
  if (!trailer || !BinaryShapeCheck(bytes, *trailer).acceptable() ||
      !binaryStringsHoldNoNul(bytes, *trailer)) {
    return nullptr;
  }
  plist_t root = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::uint32_t>(bytes.size()), &root);
  return PlistPtr(root);
}

// libplist checks XML structure strictly but the text inside elements leniently: a number
// or base64 block with stray characters reads as whatever it can make of it.
PlistPtr parseXml(std::span<const std::uint8_t> bytes) {
  // A std::string keeps a terminating NUL past the end, whatever libplist's scanner
  // expects of the buffer.
  const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  // XML has no NUL character; libplist would cut a key or string short at one.
  if (text.find('\0') != std::string::npos || !endsWithPlistClose(text) ||
      !xmlNestingWithinLimit(text) || !dataBlocksAreStrictBase64(text)) {
    return nullptr;
  }
  plist_t root = nullptr;
  plist_from_xml(text.data(), static_cast<std::uint32_t>(text.size()), &root);
  return PlistPtr(root);
}

// ---------------------------------------------------------------------------------------
// Checking what can be written.

// XML 1.0 characters: tab, LF, CR, U+0020..U+D7FF, U+E000..U+FFFD, U+10000..U+10FFFF.
bool isXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Decodes one UTF-8 sequence at the front of `text`, refusing overlong forms and
// surrogates; answers the code point and advances `text`.
std::optional<char32_t> takeCodePoint(std::string_view& text) {
  const auto lead = static_cast<unsigned char>(text.front());
  std::size_t length = 1;
  char32_t point = lead;
  char32_t smallest = 0;
  if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07U;
    smallest = 0x10000;
  } else if (lead >= 0xE0) {
    length = lead <= 0xEF ? 3 : 0;
    point = lead & 0x0FU;
    smallest = 0x800;
  } else if (lead >= 0xC2) {
    length = 2;
    point = lead & 0x1FU;
    smallest = 0x80;
  } else if (lead >= 0x80) {
    length = 0;
  }
  if (length == 0 || text.size() < length) {
    return std::nullopt;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0U) != 0x80U) {
      return std::nullopt;
    }
    point = (point << 6U) | (next & 0x3FU);
  }
  if (point < smallest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return std::nullopt;
  }
  text.remove_prefix(length);
  return point;
}

bool isWritableText(std::string_view text) {
  while (!text.empty()) {
    const std::optional<char32_t> point = takeCodePoint(text);
    if (!point || !isXmlChar(*point)) {
      return false;
    }
  }
  return true;
}

double secondsSinceReference(WallTime time) {
  const auto whole = std::chrono::floor<std::chrono::seconds>(time);
  const auto fraction = std::chrono::duration<double>(time - whole);
  return double((whole.time_since_epoch() - kReferenceDateFromUnixEpoch).count()) +
         fraction.count();
}

std::optional<std::string> writeProblem(const PropertyValue& value, std::size_t depth);

std::optional<std::string> containerProblem(const PropertyArray& items, std::size_t depth) {
  for (const PropertyValue& item : items) {
    if (std::optional<std::string> problem = writeProblem(item, depth + 1)) {
      return problem;
    }
  }
  return std::nullopt;
}

std::optional<std::string> containerProblem(const PropertyDictionary& entries, std::size_t depth) {
  for (const auto& [key, item] : entries) {
    if (!isWritableText(key)) {
      return "a dictionary key is not UTF-8 text that XML can carry";
    }
    if (std::optional<std::string> problem = writeProblem(item, depth + 1)) {
      return problem;
    }
  }
  return std::nullopt;
}

std::optional<std::string> writeProblem(const PropertyValue& value, std::size_t depth) {
  if (const auto* text = value.get<std::string>(); text && !isWritableText(*text)) {
    return "a string is not UTF-8 text that XML can carry";
  }
  const auto* items = value.get<PropertyArray>();
  const auto* entries = value.get<PropertyDictionary>();
  if ((items || entries) && depth >= kMaxPropertyListDepth) {
    return "values nest deeper than a property list file may";
  }
  if (items) {
    return containerProblem(*items, depth);
  }
  if (entries) {
    return containerProblem(*entries, depth);
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------
// Building libplist nodes.

// XML carries dates to the whole second; binary lists carry them exactly.
enum class DatePrecision { WholeSeconds, Exact };

// libplist 2.2 builds dates only from int32 seconds, but keeps them as a double inside; a
// one-object binary list hands it that double as it stands.
PlistPtr dateNode(double secondsSinceReference) {
  std::array<std::uint8_t, 50> bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0x33};
  const auto bits = std::bit_cast<std::uint64_t>(secondsSinceReference);
  for (std::size_t i = 0; i < 8; ++i) {
    bytes[9 + i] = static_cast<std::uint8_t>(bits >> (56U - 8U * i));
  }
  constexpr std::size_t kOffsetTable = 17;
  bytes[kOffsetTable] = 8; // the one object sits right after the magic
  constexpr std::size_t kTrailer = kOffsetTable + 1;
  bytes[kTrailer + 6] = 1;  // offset size
  bytes[kTrailer + 7] = 1;  // reference size
  bytes[kTrailer + 15] = 1; // one object, the root, number 0
  bytes[kTrailer + 31] = kOffsetTable;
  plist_t node = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(bytes.data()), bytes.size(), &node);
  return PlistPtr(node);
}

// Long strings stand in the tree as a placeholder each, "\x01N\x01" for the N-th of them
// in document order, and are copied into the text only as it is written. No string that
// can be written holds a \x01, so no placeholder can be mistaken for one.
constexpr std::size_t kStreamedStringBytes = 4096;
constexpr char kPlaceholderMark = '\x01';
using StreamedStrings = std::vector<const std::string*>;

PlistPtr toNode(const PropertyValue& value, DatePrecision dates,
                StreamedStrings* streamed = nullptr);

PlistPtr stringNode(const std::string& text, StreamedStrings* streamed) {
  if (streamed == nullptr || text.size() < kStreamedStringBytes) {
    return PlistPtr(plist_new_string(text.c_str()));
  }
  const std::string placeholder =
      kPlaceholderMark + std::to_string(streamed->size()) + kPlaceholderMark;
  streamed->push_back(&text);
  return PlistPtr(plist_new_string(placeholder.c_str()));
}

PlistPtr arrayNode(const PropertyArray& items, DatePrecision dates, StreamedStrings* streamed) {
  PlistPtr array(plist_new_array());
  for (const PropertyValue& item : items) {
    PlistPtr child = toNode(item, dates, streamed);
    if (!array || !child) {
      return nullptr;
    }
    plist_array_append_item(array.get(), child.release());
  }
  return array;
}

PlistPtr dictionaryNode(const PropertyDictionary& entries, DatePrecision dates,
                        StreamedStrings* streamed) {
  PlistPtr dict(plist_new_dict());
  for (const auto& [key, item] : entries) {
    PlistPtr child = toNode(item, dates, streamed);
    if (!dict || !child) {
      return nullptr;
    }
    plist_dict_set_item(dict.get(), key.c_str(), child.release());
  }
  return dict;
}

template <class... Handlers> struct Overloaded : Handlers... { using Handlers::operator()...; };
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;

PlistPtr toNode(const PropertyValue& value, DatePrecision dates, StreamedStrings* streamed) {
  return std::visit(
      Overloaded{
          [](bool flag) { return PlistPtr(plist_new_bool(flag ? 1 : 0)); },
          // Two's complement: libplist writes a full-width integer as signed, and reads a
          // negative one back to the same bits, in XML and binary alike.
          [](std::int64_t number) {
            return PlistPtr(plist_new_uint(static_cast<std::uint64_t>(number)));
          },
          [](double number) { return PlistPtr(plist_new_real(number)); },
          [streamed](const SharedString& text) { return stringNode(text.str(), streamed); },
          [](const PropertyData& bytes) {
            return PlistPtr(
                plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
          },
          [dates](WallTime time) {
            return dateNode(dates == DatePrecision::Exact
                                ? secondsSinceReference(time)
                                : std::floor(secondsSinceReference(time)));
          },
          [dates, streamed](const PropertyArray& items) {
            return arrayNode(items, dates, streamed);
          },
          [dates, streamed](const PropertyDictionary& entries) {
            return dictionaryNode(entries, dates, streamed);
          },
      },
      value.storage());
}

std::optional<std::string> xmlText(const PropertyValue& value, DatePrecision dates) {
  const PlistPtr root = toNode(value, dates);
  if (!root) {
    return std::nullopt;
  }
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &raw, &length);
  const XmlText text(raw);
  if (!text) {
    return std::nullopt;
  }
  return std::string(text.get(), length);
}

std::optional<std::string> binaryBytes(const PropertyValue& value) {
  const PlistPtr root = toNode(value, DatePrecision::Exact);
  if (!root) {
    return std::nullopt;
  }
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root.get(), &raw, &length);
  const BinaryBytes bytes(raw);
  if (!bytes) {
    return std::nullopt;
  }
  return std::string(bytes.get(), length);
}

// A long string as libplist writes one: only "&", "<" and ">" are escaped.
bool writeEscaped(std::string_view text, const PropertyListSink& sink) {
  constexpr std::size_t kPieceBytes = 64 * 1024;
  std::string piece;
  piece.reserve(kPieceBytes + 8);
  for (const char c : text) {
    switch (c) {
    case '&':
      piece += "&amp;";
      break;
    case '<':
      piece += "&lt;";
      break;
    case '>':
      piece += "&gt;";
      break;
    default:
      piece += c;
    }
    if (piece.size() >= kPieceBytes) {
      if (!sink(piece)) {
        return false;
      }
      piece.clear();
    }
  }
  return piece.empty() || sink(piece);
}

bool nestsWithinLimit(const PropertyValue& value, std::size_t depth) {
  const auto* items = value.get<PropertyArray>();
  const auto* entries = value.get<PropertyDictionary>();
  if (!items && !entries) {
    return true;
  }
  if (depth >= kMaxPropertyListDepth) {
    return false;
  }
  if (items) {
    return std::all_of(items->begin(), items->end(), [depth](const PropertyValue& item) {
      return nestsWithinLimit(item, depth + 1);
    });
  }
  return std::all_of(entries->begin(), entries->end(), [depth](const auto& entry) {
    return nestsWithinLimit(entry.second, depth + 1);
  });
}

bool isBinary(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= kBinaryMagic.size() &&
         std::memcmp(bytes.data(), kBinaryMagic.data(), kBinaryMagic.size()) == 0;
}

} // namespace

std::optional<PropertyValue> parsePropertyList(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > kMaxPropertyListBytes) {
    return std::nullopt;
  }
  const PlistPtr root = isBinary(bytes) ? parseBinary(bytes) : parseXml(bytes);
  return root ? fromNode(root.get(), 0) : std::nullopt;
}

std::optional<PropertyValue> parsePropertyList(std::string_view bytes) {
  return parsePropertyList(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::optional<std::string> propertyListWriteProblem(const PropertyValue& value) {
  return writeProblem(value, 0);
}

std::optional<std::string> serializePropertyList(const PropertyValue& value) {
  if (propertyListWriteProblem(value)) {
    return std::nullopt;
  }
  return xmlText(value, DatePrecision::WholeSeconds);
}

bool writePropertyList(const PropertyValue& value, const PropertyListSink& sink) {
  if (propertyListWriteProblem(value)) {
    return false;
  }
  StreamedStrings streamed;
  const PlistPtr root = toNode(value, DatePrecision::WholeSeconds, &streamed);
  if (!root) {
    return false;
  }
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &raw, &length);
  const XmlText owned(raw);
  if (!owned) {
    return false;
  }
  std::string_view rest(owned.get(), length);
  for (const std::string* text : streamed) {
    const std::size_t open = rest.find(kPlaceholderMark);
    const std::size_t close = rest.find(kPlaceholderMark, open + 1);
    if (close == std::string_view::npos) {
      return false;
    }
    if (!sink(rest.substr(0, open)) || !writeEscaped(*text, sink)) {
      return false;
    }
    rest.remove_prefix(close + 1);
  }
  return sink(rest);
}

std::optional<std::string> encodePropertyListFile(const PropertyValue& value) {
  if (std::optional<std::string> xml = serializePropertyList(value)) {
    return xml;
  }
  if (!nestsWithinLimit(value, 0)) {
    return std::nullopt;
  }
  // Binary lists hold any Unicode text and any date exactly; XML with the bytes as they
  // came holds text that is not UTF-8 at all, which only an XML file can have supplied.
  for (std::optional<std::string> candidate :
       {binaryBytes(value), xmlText(value, DatePrecision::Exact)}) {
    if (candidate && parsePropertyList(*candidate) == value) {
      return candidate;
    }
  }
  return std::nullopt;
}

} // namespace quillon
