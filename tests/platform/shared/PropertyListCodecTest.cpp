#include "platform/shared/PropertyListCodec.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;

WallTime utc(std::chrono::sys_days day, std::chrono::microseconds sinceMidnight = {}) {
  return WallTime(
      std::chrono::duration_cast<WallTime::duration>(day.time_since_epoch() + sinceMidnight));
}

constexpr std::chrono::sys_days kReferenceDay =
    std::chrono::year_month_day(std::chrono::year(2001), std::chrono::January, std::chrono::day(1));

PropertyValue roundTrip(const PropertyValue& value) {
  const std::optional<std::string> text = serializePropertyList(value);
  EXPECT_TRUE(text.has_value());
  const std::optional<PropertyValue> back = parsePropertyList(text.value_or(""));
  EXPECT_TRUE(back.has_value());
  return back.value_or(PropertyValue());
}

// libplist's own binary writer, standing in for another program that saves binary lists.
std::string binaryFromXml(std::string_view xml) {
  plist_t parsed = nullptr;
  plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &parsed);
  const std::unique_ptr<void, decltype(&plist_free)> node(parsed, &plist_free);
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(node.get(), &bytes, &length);
  const std::unique_ptr<char, decltype(&plist_to_bin_free)> owned(bytes, &plist_to_bin_free);
  return std::string(bytes, length);
}

std::string xmlDocument(std::string_view body) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n") +
         std::string(body) + "\n</plist>\n";
}

// Binary property lists assembled object by object, for shapes no honest writer makes.
// Offsets and references are four bytes wide.
class BinaryBuilder {
public:
  std::uint32_t add(std::string object) {
    objects_.push_back(std::move(object));
    return static_cast<std::uint32_t>(objects_.size() - 1);
  }
  std::uint32_t addTrue() { return add("\x09"); }
  std::uint32_t addArray(const std::vector<std::uint32_t>& refs) {
    std::string object(1, static_cast<char>(0xA0 | refs.size()));
    for (const std::uint32_t ref : refs) {
      appendBigEndian(object, ref);
    }
    return add(std::move(object));
  }
  // Reserves an index now and fills the object in later, for references that point back.
  void replace(std::uint32_t index, const std::vector<std::uint32_t>& refs) {
    std::string object(1, static_cast<char>(0xA0 | refs.size()));
    for (const std::uint32_t ref : refs) {
      appendBigEndian(object, ref);
    }
    objects_[index] = std::move(object);
  }

  std::string build(std::uint32_t root) const {
    std::string out = "bplist00";
    std::vector<std::uint32_t> offsets;
    for (const std::string& object : objects_) {
      offsets.push_back(static_cast<std::uint32_t>(out.size()));
      out += object;
    }
    const auto tableStart = static_cast<std::uint32_t>(out.size());
    for (const std::uint32_t offset : offsets) {
      appendBigEndian(out, offset);
    }
    out += std::string(6, '\0');
    out += '\x04'; // offset width
    out += '\x04'; // reference width
    appendBigEndian(out, 0);
    appendBigEndian(out, static_cast<std::uint32_t>(objects_.size()));
    appendBigEndian(out, 0);
    appendBigEndian(out, root);
    appendBigEndian(out, 0);
    appendBigEndian(out, tableStart);
    return out;
  }

private:
  static void appendBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      out += static_cast<char>((value >> shift) & 0xFFU);
    }
  }

  std::vector<std::string> objects_;
};

PropertyValue nestedArrays(std::size_t depth) {
  PropertyValue value = PropertyArray{};
  for (std::size_t i = 1; i < depth; ++i) {
    value = PropertyArray{value};
  }
  return value;
}

TEST(PropertyListCodecTest, RoundTripsEveryKindThroughXml) {
  const PropertyData bytes{0x00, 0xFF, 0x00, 0x10, 0x00};
  const PropertyValue document = PropertyDictionary{
      {"flag", true},
      {"off", false},
      {"zero", 0},
      {"negative", std::int64_t{-5}},
      {"smallest", std::numeric_limits<std::int64_t>::min()},
      {"largest", std::numeric_limits<std::int64_t>::max()},
      {"above 32 bits", std::int64_t{1} << 40},
      {"real", 0.1},
      {"tiny", -4.9406564584124654e-324},
      {"huge", 1.7976931348623157e308},
      {"infinite", -std::numeric_limits<double>::infinity()},
      {"ascii", "plain"},
      {"non-ascii", "Grüße, Ελληνικά, 日本語, 🙂"},
      {"markup", "<a href=\"x\">&amp;</a> ]]> 'quoted'"},
      {"whitespace", "  lead\tand\r\ntrail  "},
      {"empty string", ""},
      {"data", bytes},
      {"empty data", PropertyData{}},
      {"date", utc(kReferenceDay + std::chrono::days(8528), 7h + 8min + 9s)},
      {"before 2001", utc(kReferenceDay - std::chrono::days(20000), 13h)},
      {"empty array", PropertyArray{}},
      {"empty dictionary", PropertyDictionary{}},
      {"nested",
       PropertyArray{
           1, "two",
           PropertyDictionary{{"three", PropertyArray{3.0, PropertyDictionary{{"deep", bytes}}}},
                              {"", "empty key"},
                              {"ключ <&>", true}}}},
  };

  EXPECT_EQ(roundTrip(document), document);
}

TEST(PropertyListCodecTest, KeepsNotANumberAndWritesReadableText) {
  const std::optional<std::string> text =
      serializePropertyList(PropertyArray{std::numeric_limits<double>::quiet_NaN(), -5});
  ASSERT_TRUE(text.has_value());
  // Negative integers are written as such, not as their unsigned bit pattern.
  EXPECT_NE(text->find("<integer>-5</integer>"), std::string::npos);
  EXPECT_TRUE(text->starts_with("<?xml"));

  const std::optional<PropertyValue> back = parsePropertyList(*text);
  ASSERT_TRUE(back.has_value());
  const PropertyArray& items = *back->get<PropertyArray>();
  ASSERT_EQ(items.size(), 2U);
  EXPECT_TRUE(std::isnan(items[0].asReal().value_or(0)));
  EXPECT_EQ(items[1], PropertyValue(-5));
}

TEST(PropertyListCodecTest, WritesDatesToTheWholeSecond) {
  const WallTime fractional = utc(kReferenceDay, 10s + 750ms);
  EXPECT_EQ(roundTrip(fractional), PropertyValue(utc(kReferenceDay, 10s)));
  // Rounded down, not toward 2001, so dates before it do not move later.
  const WallTime beforeReference =
      utc(kReferenceDay - std::chrono::days(1), 23h + 59min + 59s + 500ms);
  EXPECT_EQ(roundTrip(beforeReference), PropertyValue(utc(kReferenceDay, -1s)));

  // Well past the 32-bit seconds libplist builds dates from, either way.
  using std::chrono::year;
  for (const WallTime far : {WallTime(std::chrono::sys_days(year(1700) / 3 / 1)),
                             WallTime(std::chrono::sys_days(year(2080) / 3 / 22) + 4h),
                             WallTime(std::chrono::sys_days(year(2250) / 12 / 31) + 23h)}) {
    EXPECT_EQ(roundTrip(far), PropertyValue(far));
    EXPECT_FALSE(propertyListWriteProblem(far).has_value());
  }
}

TEST(PropertyListCodecTest, FileFormKeepsWhatXmlCannotCarry) {
  const auto encodedAndBack = [](const PropertyValue& value) -> std::optional<PropertyValue> {
    const std::optional<std::string> file = encodePropertyListFile(value);
    return file ? parsePropertyList(*file) : std::nullopt;
  };
  // Plain values stay XML.
  EXPECT_EQ(encodePropertyListFile(PropertyDictionary{{"k", 1}}),
            serializePropertyList(PropertyDictionary{{"k", 1}}));
  for (const std::string text : {"bell\x07", "\x01", "escape\x1b[0m", "\xef\xbf\xbe"}) {
    SCOPED_TRACE(testing::PrintToString(text));
    const PropertyValue value = PropertyDictionary{{text, PropertyArray{text}}};
    EXPECT_TRUE(encodePropertyListFile(value)->starts_with("bplist00"));
    EXPECT_EQ(encodedAndBack(value), value);
  }
  // Bytes that are not UTF-8 only come from an XML file, and go back as they came.
  for (const std::string text : {"\xff\xfe", "\xed\xa0\x80", "cut \xe2\x82", "\xff\x01"}) {
    SCOPED_TRACE(testing::PrintToString(text));
    const PropertyValue value = PropertyDictionary{{text, text}, {"when", utc(kReferenceDay)}};
    EXPECT_TRUE(encodePropertyListFile(value)->starts_with("<?xml"));
    EXPECT_EQ(encodedAndBack(value), value);
  }
  // No file carries a NUL character.
  const std::string withNul("a\0b", 3);
  EXPECT_FALSE(encodePropertyListFile(PropertyArray{withNul}).has_value());
  EXPECT_FALSE(encodePropertyListFile(PropertyDictionary{{withNul, 1}}).has_value());
  EXPECT_FALSE(encodePropertyListFile(nestedArrays(kMaxPropertyListDepth + 1)).has_value());
}

TEST(PropertyListCodecTest, RefusesDocumentsItWouldNotReadFaithfully) {
  EXPECT_EQ(parsePropertyList(xmlDocument("<data>QUJD\n RA==</data>")),
            PropertyValue(PropertyData{'A', 'B', 'C', 'D'}));
  EXPECT_EQ(parsePropertyList(xmlDocument("<data></data>")), PropertyValue(PropertyData{}));
  for (const std::string_view body :
       {"<data>!!!!</data>"sv, "<data>QQ</data>"sv, "<data>QQ=</data>"sv, "<data>Q=Q=</data>"sv,
        "<data>QQ===</data>"sv, "<array><data>QUJD</data><data>QUJ</data></array>"sv,
        "<dict><key>a\0b</key><true/></dict>"sv, "<string>a\0b</string>"sv}) {
    SCOPED_TRACE(testing::PrintToString(body));
    EXPECT_FALSE(parsePropertyList(xmlDocument(body)).has_value());
  }
}

TEST(PropertyListCodecTest, RefusesToWriteTextXmlCannotCarry) {
  const std::vector<std::string> unwritable = {
      std::string("nul\0inside", 10),
      "bell\x07",
      "escape\x1b[0m",
      "\xff\xfe",           // not UTF-8
      "\x80",               // stray continuation byte
      "\xc0\xaf",           // overlong '/'
      "\xed\xa0\x80",       // surrogate
      "\xf4\x90\x80\x80",   // past U+10FFFF
      "\xef\xbf\xbe",       // U+FFFE
      "cut short \xe2\x82", // truncated sequence
  };
  for (const std::string& text : unwritable) {
    SCOPED_TRACE(testing::PrintToString(text));
    EXPECT_FALSE(serializePropertyList(text).has_value());
    EXPECT_FALSE(serializePropertyList(PropertyDictionary{{text, 1}}).has_value());
    EXPECT_TRUE(propertyListWriteProblem(PropertyArray{PropertyDictionary{{"k", text}}}));
  }

  for (const std::string text : {"tab\t", "cr\r", "del\x7f", "\xef\xbf\xbd", "\xf0\x9f\x99\x82"}) {
    SCOPED_TRACE(testing::PrintToString(text));
    EXPECT_EQ(roundTrip(text), PropertyValue(text));
  }
}

TEST(PropertyListCodecTest, LimitsNestingTheSameWayForReadingAndWriting) {
  const PropertyValue deepest = nestedArrays(kMaxPropertyListDepth);
  EXPECT_EQ(roundTrip(deepest), deepest);

  const PropertyValue tooDeep = nestedArrays(kMaxPropertyListDepth + 1);
  EXPECT_FALSE(serializePropertyList(tooDeep).has_value());
  std::string xml;
  for (std::size_t i = 0; i <= kMaxPropertyListDepth; ++i) {
    xml += "<array>";
  }
  for (std::size_t i = 0; i <= kMaxPropertyListDepth; ++i) {
    xml += "</array>";
  }
  EXPECT_FALSE(parsePropertyList(xmlDocument(xml)).has_value());
}

TEST(PropertyListCodecTest, ReadsBinaryListsFromOtherWriters) {
  // Written by another program: integers of one, two, four and eight bytes, a UTF-16
  // string, and dates with fractions, one just before 2001 and one past libplist's
  // 32-bit range.
  const std::string binary = binaryFromXml(xmlDocument(
      "<dict><key>small</key><integer>7</integer><key>medium</key><integer>300</integer>"
      "<key>wide</key><integer>70000</integer><key>negative</key><integer>-3</integer>"
      "<key>big</key><integer>1099511627776</integer></dict>"));
  const PropertyValue expected = PropertyDictionary{{"small", 7},
                                                    {"medium", 300},
                                                    {"wide", 70000},
                                                    {"negative", -3},
                                                    {"big", std::int64_t{1} << 40}};
  EXPECT_EQ(parsePropertyList(binary), expected);

  const auto dates =
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xa3\x01\x02\x03\x33\xbf\xd0\x00\x00\x00\x00\x00"
      "\x00\x33\x41\xe7\x46\xd1\xd0\x00\x00\x00\x33\x41\xb9\x7d\x39\x08\x80\x00\x00\x08"
      "\x0c\x15\x1e\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x04\x00"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x27"sv;
  const PropertyValue expectedDates =
      PropertyArray{utc(kReferenceDay, -250ms),
                    utc(std::chrono::year_month_day(std::chrono::year(2100), std::chrono::January,
                                                    std::chrono::day(1))),
                    utc(kReferenceDay, 427637000s + 500ms)};
  EXPECT_EQ(parsePropertyList(dates), expectedDates);

  const auto utf16 =
      "\x62\x70\x6c\x69\x73\x74\x30\x30\x63\x00\x51\x00\x75\x27\x13\x08\x00\x00\x00\x00"
      "\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x00\x00\x00\x00\x00\x00\x00\x0f"sv;
  EXPECT_EQ(parsePropertyList(utf16), PropertyValue("Qu✓"));
}

TEST(PropertyListCodecTest, RefusesWholeDocumentsHoldingValuesItCannotRepresent) {
  const auto uid =
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x51\x75\x80\x03\x08\x0b\x0d\x00\x00"
      "\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x0f"sv;
  EXPECT_FALSE(parsePropertyList(uid).has_value());

  EXPECT_FALSE(
      parsePropertyList(xmlDocument("<integer>9223372036854775808</integer>")).has_value());
  EXPECT_FALSE(
      parsePropertyList(xmlDocument("<array><integer>1</integer><integer>18446744073709551615"
                                    "</integer></array>"))
          .has_value());
  EXPECT_EQ(parsePropertyList(xmlDocument("<integer>9223372036854775807</integer>")),
            PropertyValue(std::numeric_limits<std::int64_t>::max()));
  EXPECT_EQ(parsePropertyList(xmlDocument("<integer>-9223372036854775808</integer>")),
            PropertyValue(std::numeric_limits<std::int64_t>::min()));
}

TEST(PropertyListCodecTest, RefusesMalformedAndTruncatedInput) {
  EXPECT_FALSE(parsePropertyList(""sv).has_value());
  EXPECT_FALSE(parsePropertyList("not a property list at all"sv).has_value());
  EXPECT_FALSE(parsePropertyList("bplist00"sv).has_value());
  EXPECT_FALSE(parsePropertyList(xmlDocument("<dict><true/></dict>")).has_value());
  EXPECT_FALSE(parsePropertyList(xmlDocument("<bogus/>")).has_value());
  EXPECT_FALSE(parsePropertyList(xmlDocument("")).has_value());

  const std::string xml = *serializePropertyList(PropertyDictionary{
      {"a", PropertyArray{1, 2, 3}}, {"b", PropertyDictionary{{"c", "text"}}}, {"d", 2.5}});
  const std::string binary = binaryFromXml(xml);
  ASSERT_TRUE(parsePropertyList(binary).has_value());
  const std::size_t xmlEnd = xml.rfind("</plist>");
  for (std::size_t length = 0; length < xmlEnd + 8; ++length) {
    EXPECT_FALSE(parsePropertyList(std::string_view(xml).substr(0, length)).has_value())
        << "XML cut to " << length << " bytes";
  }
  for (std::size_t length = 0; length < binary.size(); ++length) {
    EXPECT_FALSE(parsePropertyList(std::string_view(binary).substr(0, length)).has_value())
        << "binary cut to " << length << " bytes";
  }
}

TEST(PropertyListCodecTest, SurvivesHostileShapes) {
  std::string deepXml;
  for (int i = 0; i < 200000; ++i) {
    deepXml += "<array>";
  }
  for (int i = 0; i < 200000; ++i) {
    deepXml += "</array>";
  }
  EXPECT_FALSE(parsePropertyList(xmlDocument(deepXml)).has_value());

  BinaryBuilder chain;
  std::uint32_t link = chain.addTrue();
  for (int i = 0; i < 100000; ++i) {
    link = chain.addArray({link});
  }
  EXPECT_FALSE(parsePropertyList(chain.build(link)).has_value());

  // Each level refers to the one below twice: 138 bytes that expand to 2^40 nodes.
  BinaryBuilder shared;
  std::uint32_t level = shared.addTrue();
  for (int i = 0; i < 40; ++i) {
    level = shared.addArray({level, level});
  }
  EXPECT_FALSE(parsePropertyList(shared.build(level)).has_value());

  BinaryBuilder cycle;
  const std::uint32_t outer = cycle.addArray({});
  const std::uint32_t inner = cycle.addArray({outer});
  cycle.replace(outer, {inner});
  EXPECT_FALSE(parsePropertyList(cycle.build(outer)).has_value());

  BinaryBuilder outOfRange;
  outOfRange.addArray({7});
  EXPECT_FALSE(parsePropertyList(outOfRange.build(0)).has_value());

  // Shared but shallow subtrees are fine.
  BinaryBuilder honest;
  const std::uint32_t leaf = honest.addTrue();
  const std::uint32_t pair = honest.addArray({leaf, leaf});
  EXPECT_EQ(parsePropertyList(honest.build(honest.addArray({pair, pair}))),
            PropertyValue(PropertyArray{PropertyArray{true, true}, PropertyArray{true, true}}));
}

TEST(PropertyListCodecTest, RefusesInputOverTheSizeLimit) {
  std::string padded = xmlDocument("<true/>");
  padded.insert(padded.find("<true/>"), kMaxPropertyListBytes - padded.size(), ' ');
  ASSERT_EQ(padded.size(), kMaxPropertyListBytes);
  EXPECT_EQ(parsePropertyList(padded), PropertyValue(true));
  padded.insert(padded.find("<true/>"), 1, ' ');
  EXPECT_FALSE(parsePropertyList(padded).has_value());
}

TEST(PropertyListCodecTest, WritesInPiecesExactlyWhatItSerializes) {
  std::string longText;
  while (longText.size() < 300 * 1024) {
    longText += "a<b>&c ]]> жук\t\r\n";
  }
  const PropertyValue value = PropertyDictionary{
      {"History", PropertyArray{longText, "short & <sweet>", longText + "!"}},
      {"Nested", PropertyDictionary{{"Deeper", PropertyArray{PropertyArray{longText}}}}},
      {"Zoom", 1.1},
      {"Count", -7},
      {"On", true},
      {"Blob", PropertyData{0, 1, 2, 250}},
      {"When", utc(kReferenceDay, 90s)},
      {"Empty", PropertyArray{}},
  };
  std::string written;
  std::size_t largestPiece = 0;
  ASSERT_TRUE(writePropertyList(value, [&](std::string_view piece) {
    written += piece;
    largestPiece = std::max(largestPiece, piece.size());
    return true;
  }));
  EXPECT_EQ(written, serializePropertyList(value));
  EXPECT_EQ(parsePropertyList(written), value);
  EXPECT_LT(largestPiece, longText.size() / 2) << "a long text is not written in one piece";

  int pieces = 0;
  EXPECT_FALSE(writePropertyList(value, [&](std::string_view) { return ++pieces < 3; }));
  EXPECT_EQ(pieces, 3) << "writing stops at the first refused piece";

  // A placeholder's mark in a text the writer refuses anyway.
  pieces = 0;
  EXPECT_FALSE(writePropertyList(PropertyArray{longText + "\x01" + "0\x01"},
                                 [&](std::string_view) { return ++pieces > 0; }));
  EXPECT_EQ(pieces, 0);
}

} // namespace
} // namespace quillon
