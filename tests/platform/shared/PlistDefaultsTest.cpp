#include "platform/shared/PlistDefaults.h"

#include "platform/shared/PropertyListCodec.h"
#include "text/Unicode.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

class ScratchFolder {
public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillon-defaults-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

private:
  fs::path path_;
};

class RecordingLog final : public Log {
public:
  void write(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class PlistDefaultsTest : public testing::Test {
protected:
  fs::path root() const { return folder_.path() / "Preferences"; }
  fs::path file(std::string_view domain) const { return root() / (std::string(domain) + ".plist"); }

  ScratchFolder folder_;
  RecordingLog log_;
};

TEST_F(PlistDefaultsTest, KeepsEveryKindAcrossInstances) {
  const PropertyValue nested = PropertyDictionary{
      {"list", PropertyArray{1, "two", PropertyArray{3.5, PropertyDictionary{{"deep", true}}}}},
      {"empty", PropertyDictionary{}}};
  const WallTime when{std::chrono::sys_days(std::chrono::year_month_day(
                          std::chrono::year(2024), std::chrono::May, std::chrono::day(6))) +
                      std::chrono::hours(7)};
  const PropertyDictionary values{
      {"Enabled", true}, {"Count", std::int64_t{-42}}, {"Large", std::int64_t{1} << 53},
      {"Ratio", 0.25},   {"Title", "Tastenkürzel ⌘⇧"}, {"Blob", PropertyData{0, 1, 0, 255}},
      {"When", when},    {"Nested", nested},
  };
  {
    PlistDefaults defaults(root(), log_);
    for (const auto& [key, value] : values) {
      EXPECT_TRUE(defaults.set("com.quillon.test", key, value)) << key;
      EXPECT_EQ(defaults.object("com.quillon.test", key), value) << key;
    }
    EXPECT_TRUE(defaults.set("com.quillon.other", "Enabled", false));
  }

  EXPECT_TRUE(readBytes(file("com.quillon.test")).starts_with("<?xml"));
  PlistDefaults reopened(root(), log_);
  for (const auto& [key, value] : values) {
    EXPECT_EQ(reopened.object("com.quillon.test", key), value) << key;
  }
  EXPECT_EQ(reopened.object("com.quillon.other", "Enabled"), PropertyValue(false));
  EXPECT_EQ(reopened.object("com.quillon.test", "Missing"), std::nullopt);
  EXPECT_EQ(reopened.object("com.quillon.never", "Enabled"), std::nullopt);
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(PlistDefaultsTest, RemovalAndOverwritesAreSavedWithoutLeavingTemporaryFiles) {
  {
    PlistDefaults defaults(root(), log_);
    EXPECT_TRUE(defaults.set("app", "Keep", 1));
    EXPECT_TRUE(defaults.set("app", "Drop", 2));
    EXPECT_TRUE(defaults.set("app", "Keep", 3));
    EXPECT_TRUE(defaults.remove("app", "Drop"));
    EXPECT_TRUE(defaults.remove("app", "Never there"));
    EXPECT_EQ(defaults.object("app", "Drop"), std::nullopt);
  }
  EXPECT_EQ(entries(root()), std::set<std::string>{"app.plist"});
  EXPECT_EQ(parsePropertyList(readBytes(file("app"))),
            PropertyValue(PropertyDictionary{{"Keep", 3}}));
}

TEST_F(PlistDefaultsTest, ServesFromMemoryAfterTheFirstRead) {
  PlistDefaults defaults(root(), log_);
  ASSERT_TRUE(defaults.set("app", "Speed", 5));
  // Another program changing the file is not noticed: key presses never wait on the disk.
  writeBytes(file("app"), *serializePropertyList(PropertyDictionary{{"Speed", 9}}));
  EXPECT_EQ(defaults.object("app", "Speed"), PropertyValue(5));
}

TEST_F(PlistDefaultsTest, ReadsABinaryFileWrittenByAnotherProgram) {
  const auto binary =
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd9\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d"
      "\x0e\x14\x15\x16\x17\x53\x42\x69\x67\x54\x42\x6c\x6f\x62\x55\x43\x6f\x75\x6e\x74\x57\x45"
      "\x6e\x61\x62\x6c\x65\x64\x54\x4c\x69\x73\x74\x54\x4e\x61\x6d\x65\x55\x52\x61\x74\x69\x6f"
      "\x55\x53\x6d\x61\x6c\x6c\x54\x57\x68\x65\x6e\x13\x00\x00\x01\x00\x00\x00\x00\x00\x43\x00"
      "\xff\x00\x13\xff\xff\xff\xff\xff\xff\xff\xfd\x09\xa3\x0f\x10\x11\x10\x01\x53\x74\x77\x6f"
      "\xd1\x12\x13\x55\x74\x68\x72\x65\x65\x23\x40\x08\x00\x00\x00\x00\x00\x00\x69\x00\x51\x00"
      "\x75\x00\x69\x00\x6c\x00\x6c\x00\x6f\x00\x6e\x00\x20\x27\x13\x23\x3f\xe0\x00\x00\x00\x00"
      "\x00\x00\x10\x07\x33\x41\xc5\xf4\x5c\xac\xa0\x00\x00\x08\x1b\x1f\x24\x2a\x32\x37\x3c\x42"
      "\x48\x4d\x56\x5a\x63\x64\x68\x6a\x6e\x71\x77\x80\x93\x9c\x9e\x00\x00\x00\x00\x00\x00\x01"
      "\x01\x00\x00\x00\x00\x00\x00\x00\x18\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x00\x00\xa7"sv;
  fs::create_directories(root());
  writeBytes(file("com.example.binary"), binary);

  PlistDefaults defaults(root(), log_);
  const std::string domain = "com.example.binary";
  EXPECT_EQ(defaults.object(domain, "Name"), PropertyValue("Quillon ✓"));
  EXPECT_EQ(defaults.object(domain, "Count"), PropertyValue(-3));
  EXPECT_EQ(defaults.object(domain, "Big"), PropertyValue(std::int64_t{1} << 40));
  EXPECT_EQ(defaults.object(domain, "Small"), PropertyValue(7));
  EXPECT_EQ(defaults.object(domain, "Enabled"), PropertyValue(true));
  EXPECT_EQ(defaults.object(domain, "Ratio"), PropertyValue(0.5));
  EXPECT_EQ(defaults.object(domain, "Blob"), PropertyValue(PropertyData{0x00, 0xFF, 0x00}));
  EXPECT_EQ(
      defaults.object(domain, "When"),
      PropertyValue(WallTime(std::chrono::seconds(1714979289) + std::chrono::milliseconds(250))));
  EXPECT_EQ(defaults.object(domain, "List"),
            PropertyValue(PropertyArray{1, "two", PropertyDictionary{{"three", 3.0}}}));
  EXPECT_TRUE(log_.lines.empty());

  // Saving rewrites it as XML with everything kept (dates to the whole second).
  ASSERT_TRUE(defaults.set(domain, "Added", "yes"));
  PlistDefaults reopened(root(), log_);
  EXPECT_EQ(reopened.object(domain, "Name"), PropertyValue("Quillon ✓"));
  EXPECT_EQ(reopened.object(domain, "List"), defaults.object(domain, "List"));
  EXPECT_EQ(reopened.object(domain, "When"),
            PropertyValue(WallTime(std::chrono::seconds(1714979289))));
}

std::string binaryArrayPlist() {
  // A binary property list whose top level is an array holding true.
  return std::string(
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xa1\x01\x09\x08\x0a\x00\x00\x00\x00\x00\x00\x01"
      "\x01\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x00\x00\x00\x00\x0b"sv);
}

std::string xmlDictionary(std::string_view entries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>" +
         std::string(entries) + "</dict>\n</plist>\n";
}

// A binary property list holding one dictionary of one key and one string, both ASCII
// strings of fewer than 15 bytes.
std::string binaryDictionary(std::string_view key, std::string_view value) {
  std::string bytes = "bplist00\xd1\x01\x02";
  const std::size_t keyAt = bytes.size();
  bytes += static_cast<char>(0x50 + key.size());
  bytes += key;
  const std::size_t valueAt = bytes.size();
  bytes += static_cast<char>(0x50 + value.size());
  bytes += value;
  const std::size_t offsetTable = bytes.size();
  bytes += '\x08';
  bytes += static_cast<char>(keyAt);
  bytes += static_cast<char>(valueAt);
  bytes += std::string(6, '\0') + "\x01\x01";
  bytes += std::string(7, '\0') + "\x03";
  bytes += std::string(8, '\0');
  bytes += std::string(7, '\0') + static_cast<char>(offsetTable);
  return bytes;
}

struct UnreadableCase {
  const char* name;
  std::string bytes;
};

class PlistDefaultsUnreadableFileTest : public PlistDefaultsTest,
                                        public testing::WithParamInterface<UnreadableCase> {};

TEST_P(PlistDefaultsUnreadableFileTest, IsMovedAsideOnceAndReplacedByAFreshFile) {
  const std::string original = GetParam().bytes;
  fs::create_directories(root());
  writeBytes(file("app"), original);
  const fs::path aside = root() / "app.plist.corrupt-1";

  PlistDefaults defaults(root(), log_);
  EXPECT_EQ(defaults.object("app", "Anything"), std::nullopt);
  EXPECT_EQ(defaults.object("app", "Anything else"), std::nullopt);
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Quillon: defaults domain app was unreadable; "
                                                 "moved it aside to " +
                                                 aside.string()});
  EXPECT_EQ(readBytes(aside), original);
  EXPECT_FALSE(fs::exists(file("app")));

  EXPECT_TRUE(defaults.set("app", "Fresh", true));
  EXPECT_EQ(parsePropertyList(readBytes(file("app"))),
            PropertyValue(PropertyDictionary{{"Fresh", true}}));
  EXPECT_EQ(readBytes(aside), original);
  EXPECT_EQ(log_.lines.size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PlistDefaultsUnreadableFileTest,
    testing::Values(
        UnreadableCase{"Garbage", "\x01\x02 this is not a property list \xff"},
        UnreadableCase{"TruncatedXml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n"
                       "<dict>\n\t<key>Speed</key>\n\t<integer>5</integer>\n\t<key>Na"},
        UnreadableCase{"BinaryArrayAtTopLevel", binaryArrayPlist()},
        UnreadableCase{"XmlStringAtTopLevel",
                       "<?xml version=\"1.0\"?><plist version=\"1.0\"><string>x</string></plist>"},
        // Values the reader would change: libplist reads these blocks as no bytes at all,
        // and cuts keys at a NUL.
        UnreadableCase{"DataThatIsNotBase64", xmlDictionary("<key>Blob</key><data>!!!!</data>")},
        UnreadableCase{"DataWithoutPadding", xmlDictionary("<key>Blob</key><data>QQ</data>")},
        UnreadableCase{"XmlKeyHoldingNul", xmlDictionary("<key>a\0b</key><integer>1</integer>"sv)},
        UnreadableCase{"BinaryKeyHoldingNul", binaryDictionary("a\0b"sv, "value")},
        UnreadableCase{"BinaryStringHoldingNul", binaryDictionary("Key", "a\0b"sv)},
        UnreadableCase{"Empty", ""}),
    [](const testing::TestParamInfo<UnreadableCase>& shape) { return shape.param.name; });

TEST_F(PlistDefaultsTest, LaterUnreadableFilesGetTheNextFreeName) {
  fs::create_directories(root());
  writeBytes(file("app"), "first");
  { PlistDefaults(root(), log_).object("app", "Key"); }
  writeBytes(file("app"), "second");
  { PlistDefaults(root(), log_).object("app", "Key"); }

  EXPECT_EQ(readBytes(root() / "app.plist.corrupt-1"), "first");
  EXPECT_EQ(readBytes(root() / "app.plist.corrupt-2"), "second");
  ASSERT_EQ(log_.lines.size(), 2U);
  EXPECT_TRUE(
      log_.lines[1].ends_with("moved it aside to " + (root() / "app.plist.corrupt-2").string()));
}

TEST_F(PlistDefaultsTest, RefusesUnsafeDomainNamesWithOneLogLineEach) {
  const std::vector<std::string> unsafe = {
      "",       "../escape", "sub/dir",
      "..",     ".hidden",   "a..b",
      "bell\a", "new\nline", std::string("nul\0x", 5),
  };
  PlistDefaults defaults(root(), log_);
  for (const std::string& name : unsafe) {
    SCOPED_TRACE(testing::PrintToString(name));
    EXPECT_FALSE(defaults.set(name, "Key", 1));
    EXPECT_EQ(defaults.object(name, "Key"), std::nullopt);
    EXPECT_FALSE(defaults.remove(name, "Key"));
  }
  EXPECT_EQ(log_.lines.size(), unsafe.size());
  EXPECT_EQ(log_.lines[1], "Quillon: refusing defaults domain with unsafe name: \"../escape\"");
  EXPECT_EQ(log_.lines[7], "Quillon: refusing defaults domain with unsafe name: \"new\\x0aline\"");
  EXPECT_EQ(log_.lines[8], "Quillon: refusing defaults domain with unsafe name: \"nul\\x00x\"");
  EXPECT_FALSE(fs::exists(root()));
  EXPECT_FALSE(fs::exists(folder_.path() / "escape.plist"));

  const std::string longest(kMaxDefaultsDomainNameBytes, 'y');
  EXPECT_TRUE(defaults.set(longest, "Key", 1));
  EXPECT_TRUE(defaults.set("com.example.ünïcode domain", "Key", 1));
  EXPECT_EQ(log_.lines.size(), unsafe.size());
}

TEST_F(PlistDefaultsTest, ALargeDomainIsWrittenAsTheSameXmlAndSharesItsTexts) {
  std::string longText;
  while (longText.size() < 2 * 1024 * 1024) {
    longText += "<копия> & ";
  }
  const PropertyValue history = PropertyArray{longText, "short"};
  PlistDefaults defaults(root(), log_);
  ASSERT_TRUE(defaults.set("app", "Enabled", true));
  ASSERT_TRUE(defaults.set("app", "History", history));
  EXPECT_EQ(readBytes(file("app")),
            serializePropertyList(PropertyDictionary{{"Enabled", true}, {"History", history}}));
  EXPECT_EQ(PlistDefaults(root(), log_).object("app", "History"), history);

  // What the store hands out is the text it was given, not a copy of it.
  const auto stored = defaults.object("app", "History");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->get<PropertyArray>()->front().get<std::string>()->data(),
            history.get<PropertyArray>()->front().get<std::string>()->data());
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(PlistDefaultsTest, ALongDomainNameGetsAShortFileOfItsOwn) {
  const std::string shared = "com.quillon.webapp." + std::string(250, 'x');
  const std::string first = shared + "a";
  const std::string second = shared + "b";
  // A two-byte character straddles the place where the file name is cut.
  const std::string cyrillic =
      "com.quillon.webapp." + std::string(163, 'x') + "жжжжжжжжжжжжжжжжжжжж";
  {
    PlistDefaults defaults(root(), log_);
    EXPECT_TRUE(defaults.set(first, "Zoom", 1.5));
    EXPECT_TRUE(defaults.set(second, "Zoom", 2.0));
    EXPECT_TRUE(defaults.set(cyrillic, "Zoom", 0.5));
  }
  const std::set<std::string> files = entries(root());
  ASSERT_EQ(files.size(), 3U);
  for (const std::string& name : files) {
    EXPECT_LE(name.size(), kMaxDefaultsDomainNameBytes + std::string_view(".plist").size());
    EXPECT_TRUE(decodeUtf8(name).has_value()) << name;
  }
  EXPECT_TRUE(files.contains(domainFileStem(first) + ".plist"));
  PlistDefaults reopened(root(), log_);
  EXPECT_EQ(reopened.object(first, "Zoom"), PropertyValue(1.5));
  EXPECT_EQ(reopened.object(second, "Zoom"), PropertyValue(2.0));
  EXPECT_EQ(reopened.object(cyrillic, "Zoom"), PropertyValue(0.5));
  EXPECT_EQ(domainFileStem("com.quillon.webapp.mail"), "com.quillon.webapp.mail");
  EXPECT_TRUE(log_.lines.empty());
}

TEST_F(PlistDefaultsTest, KeepsValuesInMemoryWhenTheFolderCannotBeCreated) {
  writeBytes(root(), "a file where the folder should be");
  PlistDefaults defaults(root(), log_);

  EXPECT_FALSE(defaults.set("app", "Speed", 7));
  EXPECT_EQ(defaults.object("app", "Speed"), PropertyValue(7));
  ASSERT_EQ(log_.lines.size(), 1U);
  EXPECT_TRUE(log_.lines[0].starts_with("Quillon: could not save defaults domain app: "));
  EXPECT_EQ(readBytes(root()), "a file where the folder should be");
}

TEST_F(PlistDefaultsTest, FailedReplaceRemovesTheTemporaryFileAndRetriesLater) {
  PlistDefaults defaults(root(), log_);
  ASSERT_TRUE(defaults.set("app", "Speed", 1));
  // Something now occupies the file's name in a way rename cannot replace.
  fs::remove(file("app"));
  fs::create_directories(file("app") / "occupied");

  EXPECT_FALSE(defaults.set("app", "Speed", 2));
  EXPECT_EQ(defaults.object("app", "Speed"), PropertyValue(2));
  ASSERT_EQ(log_.lines.size(), 1U);
  EXPECT_TRUE(log_.lines[0].starts_with("Quillon: could not save defaults domain app: "));
  EXPECT_EQ(entries(root()), std::set<std::string>{"app.plist"});

  // Once the way is clear, even an unchanged value is written, since the file is behind.
  fs::remove_all(file("app"));
  EXPECT_TRUE(defaults.set("app", "Speed", 2));
  EXPECT_EQ(parsePropertyList(readBytes(file("app"))),
            PropertyValue(PropertyDictionary{{"Speed", 2}}));
}

TEST_F(PlistDefaultsTest, LeavesAFileItCannotReadUntouched) {
  // A directory in the file's place stands in for any file that cannot be read; unlike
  // permissions, it also holds when the tests run as root.
  fs::create_directories(file("app") / "inside");
  PlistDefaults defaults(root(), log_);

  EXPECT_EQ(defaults.object("app", "Speed"), std::nullopt);
  ASSERT_EQ(log_.lines.size(), 1U);
  EXPECT_TRUE(log_.lines[0].starts_with("Quillon: could not read defaults domain app: "));

  EXPECT_FALSE(defaults.set("app", "Speed", 3));
  EXPECT_FALSE(defaults.set("app", "Speed", 4));
  EXPECT_FALSE(defaults.remove("app", "Other"));
  EXPECT_EQ(defaults.object("app", "Speed"), PropertyValue(4));
  EXPECT_EQ(log_.lines.size(), 2U);
  EXPECT_TRUE(log_.lines[1].starts_with("Quillon: could not save defaults domain app: "));
  EXPECT_TRUE(fs::is_directory(file("app") / "inside"));
  EXPECT_EQ(entries(root()), std::set<std::string>{"app.plist"});
}

TEST_F(PlistDefaultsTest, AValueNoFileCanCarryStaysInMemoryAndBlocksNoOtherKey) {
  PlistDefaults defaults(root(), log_);
  ASSERT_TRUE(defaults.set("app", "Good", 1));
  ASSERT_TRUE(defaults.set("app", "Bad", "old"));
  const std::string withNul("nul \0 inside", 12);

  EXPECT_FALSE(defaults.set("app", "Bad", withNul));
  EXPECT_EQ(defaults.object("app", "Bad"), PropertyValue(withNul));
  ASSERT_EQ(log_.lines.size(), 1U);
  EXPECT_TRUE(log_.lines[0].starts_with(
      "Quillon: could not save defaults domain app: cannot store key \"Bad\": "))
      << log_.lines[0];

  // Other keys still save; the file keeps the old value of the one that cannot.
  EXPECT_TRUE(defaults.set("app", "Good", 2));
  EXPECT_TRUE(defaults.set("app", "Added", true));
  EXPECT_EQ(log_.lines.size(), 1U);
  EXPECT_EQ(parsePropertyList(readBytes(file("app"))),
            PropertyValue(PropertyDictionary{{"Good", 2}, {"Bad", "old"}, {"Added", true}}));
  EXPECT_EQ(entries(root()), std::set<std::string>{"app.plist"});

  EXPECT_TRUE(defaults.set("app", "Bad", "new"));
  EXPECT_EQ(parsePropertyList(readBytes(file("app")))->get<PropertyDictionary>()->at("Bad"),
            PropertyValue("new"));
  EXPECT_FALSE(defaults.set("app", "Fresh", withNul));
  EXPECT_TRUE(defaults.remove("app", "Fresh"));
  EXPECT_TRUE(defaults.remove("app", "Bad"));
  EXPECT_EQ(parsePropertyList(readBytes(file("app"))),
            PropertyValue(PropertyDictionary{{"Good", 2}, {"Added", true}}));
}

struct ForeignFileCase {
  const char* name;
  std::string bytes;
  std::string key;
  PropertyValue value;
};

class PlistDefaultsForeignValueTest : public PlistDefaultsTest,
                                      public testing::WithParamInterface<ForeignFileCase> {};

// Files another program wrote, holding a value an XML property list cannot: saving any
// other key keeps that value as it was read.
TEST_P(PlistDefaultsForeignValueTest, SurvivesEverySaveUnchanged) {
  const ForeignFileCase& foreign = GetParam();
  fs::create_directories(root());
  writeBytes(file("app"), foreign.bytes);
  {
    PlistDefaults defaults(root(), log_);
    ASSERT_EQ(defaults.object("app", foreign.key), foreign.value);
    EXPECT_TRUE(defaults.set("app", "Speed", 2));
    EXPECT_TRUE(defaults.set("app", "Speed", 3));
  }
  EXPECT_TRUE(log_.lines.empty()) << log_.lines.front();
  EXPECT_EQ(entries(root()), std::set<std::string>{"app.plist"});
  PlistDefaults reopened(root(), log_);
  EXPECT_EQ(reopened.object("app", foreign.key), foreign.value);
  EXPECT_EQ(reopened.object("app", "Speed"), PropertyValue(3));
  EXPECT_TRUE(log_.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, PlistDefaultsForeignValueTest,
    testing::Values(
        ForeignFileCase{"BinaryControlCharacter", binaryDictionary("Title", "a\x01z"), "Title",
                        PropertyValue("a\x01z")},
        ForeignFileCase{
            "DateIn2080", xmlDictionary("<key>When</key><date>2080-03-22T04:26:40Z</date>"), "When",
            PropertyValue(WallTime(
                std::chrono::sys_days(std::chrono::year(2080) / std::chrono::March / 22) +
                std::chrono::hours(4) + std::chrono::minutes(26) + std::chrono::seconds(40)))},
        ForeignFileCase{"KeyThatIsNotUtf8", xmlDictionary("<key>\xff\xfe</key><string>x</string>"),
                        "\xff\xfe", PropertyValue("x")}),
    [](const testing::TestParamInfo<ForeignFileCase>& file) { return file.param.name; });

TEST_F(PlistDefaultsTest, WritesThroughASymbolicLinkAndKeepsIt) {
  const fs::path dotfiles = folder_.path() / "dotfiles";
  fs::create_directories(dotfiles);
  fs::create_directories(root());
  writeBytes(dotfiles / "quillon.plist", *serializePropertyList(PropertyDictionary{{"Speed", 1}}));
  // A relative link to an absolute one, as a dotfiles manager might leave them.
  fs::create_symlink(dotfiles / "quillon.plist", dotfiles / "current.plist");
  fs::create_symlink("../dotfiles/current.plist", file("app"));

  PlistDefaults defaults(root(), log_);
  EXPECT_EQ(defaults.object("app", "Speed"), PropertyValue(1));
  EXPECT_TRUE(defaults.set("app", "Speed", 2));

  EXPECT_TRUE(fs::is_symlink(file("app")));
  EXPECT_EQ(fs::read_symlink(file("app")), "../dotfiles/current.plist");
  EXPECT_TRUE(fs::is_symlink(dotfiles / "current.plist"));
  EXPECT_EQ(parsePropertyList(readBytes(dotfiles / "quillon.plist")),
            PropertyValue(PropertyDictionary{{"Speed", 2}}));
  EXPECT_EQ(entries(root()), std::set<std::string>{"app.plist"});
  EXPECT_EQ(entries(dotfiles), (std::set<std::string>{"current.plist", "quillon.plist"}));
  EXPECT_TRUE(log_.lines.empty());

  // A link whose target does not exist yet gets it created.
  fs::create_symlink(dotfiles / "new.plist", file("fresh"));
  EXPECT_TRUE(defaults.set("fresh", "On", true));
  EXPECT_TRUE(fs::is_symlink(file("fresh")));
  EXPECT_EQ(parsePropertyList(readBytes(dotfiles / "new.plist")),
            PropertyValue(PropertyDictionary{{"On", true}}));

  // A loop of links is reported, not followed forever.
  fs::create_symlink("loop-b.plist", root() / "loop-a.plist");
  fs::create_symlink("loop-a.plist", root() / "loop-b.plist");
  EXPECT_FALSE(defaults.set("loop-a", "On", true));
  EXPECT_TRUE(fs::is_symlink(root() / "loop-a.plist"));
}

// The real calls, recorded in order, with chosen ones made to fail and a chosen set of
// processes reported as running.
class RecordingFileSystem final : public DefaultsFileSystem {
public:
  int open(const fs::path& path, int flags, mode_t mode) override {
    const int fd = real().open(path, flags, mode);
    if (fd >= 0) {
      openPaths_[fd] = path;
    }
    return fd;
  }
  ssize_t read(int fd, void* buffer, std::size_t size) override {
    return real().read(fd, buffer, size);
  }
  ssize_t write(int fd, const void* bytes, std::size_t size) override {
    return real().write(fd, bytes, size);
  }
  int fstat(int fd, struct stat* info) override { return real().fstat(fd, info); }
  int fsync(int fd) override {
    const fs::path& path = openPaths_.at(fd);
    calls.push_back("fsync " + path.filename().string());
    if (failFsyncOf && path.filename() == *failFsyncOf) {
      errno = EIO;
      return -1;
    }
    return real().fsync(fd);
  }
  int close(int fd) override {
    openPaths_.erase(fd);
    return real().close(fd);
  }
  int rename(const fs::path& from, const fs::path& to) override {
    calls.push_back("rename " + from.filename().string() + " " + to.filename().string());
    return real().rename(from, to);
  }
  int renameNoReplace(const fs::path& from, const fs::path& to) override {
    return real().renameNoReplace(from, to);
  }
  int link(const fs::path& from, const fs::path& to) override { return real().link(from, to); }
  int unlink(const fs::path& path) override {
    calls.push_back("unlink " + path.filename().string());
    return real().unlink(path);
  }
  int mkdir(const fs::path& path, mode_t mode) override { return real().mkdir(path, mode); }
  std::optional<fs::path> readLink(const fs::path& path) override { return real().readLink(path); }
  std::optional<std::vector<std::string>> list(const fs::path& folder) override {
    return real().list(folder);
  }
  pid_t processId() override { return 4242; }
  bool processExists(pid_t process) override { return runningProcesses.contains(process); }

  std::vector<std::string> calls;
  std::optional<std::string> failFsyncOf;
  std::set<pid_t> runningProcesses{4242};

private:
  static PosixDefaultsFileSystem& real() { return PosixDefaultsFileSystem::shared(); }
  std::map<int, fs::path> openPaths_;
};

TEST_F(PlistDefaultsTest, ASaveIsDurableBeforeItIsRenamedAndTheRenameIsFlushed) {
  RecordingFileSystem files;
  PlistDefaults defaults(root(), log_, files);
  ASSERT_TRUE(defaults.set("app", "Speed", 1));
  EXPECT_EQ(files.calls, (std::vector<std::string>{"fsync .app.plist.tmp-4242-1",
                                                   "rename .app.plist.tmp-4242-1 app.plist",
                                                   "fsync Preferences"}));

  // A file that cannot be made durable never replaces the old one.
  files.calls.clear();
  files.failFsyncOf = ".app.plist.tmp-4242-2";
  EXPECT_FALSE(defaults.set("app", "Speed", 2));
  EXPECT_EQ(files.calls, (std::vector<std::string>{"fsync .app.plist.tmp-4242-2",
                                                   "unlink .app.plist.tmp-4242-2"}));
  ASSERT_EQ(log_.lines.size(), 1U);
  EXPECT_TRUE(log_.lines[0].starts_with("Quillon: could not save defaults domain app: could not "
                                        "flush "))
      << log_.lines[0];
  EXPECT_EQ(parsePropertyList(readBytes(file("app"))),
            PropertyValue(PropertyDictionary{{"Speed", 1}}));
  EXPECT_EQ(entries(root()), std::set<std::string>{"app.plist"});

  // A rename the folder does not record durably is a failed save, tried again next time.
  files.calls.clear();
  files.failFsyncOf = "Preferences";
  EXPECT_FALSE(defaults.set("app", "Speed", 3));
  ASSERT_EQ(log_.lines.size(), 2U);
  EXPECT_TRUE(log_.lines[1].starts_with(
      "Quillon: could not save defaults domain app: saved, but could not flush the folder "));
  files.failFsyncOf.reset();
  files.calls.clear();
  EXPECT_TRUE(defaults.set("app", "Speed", 3));
  EXPECT_EQ(files.calls.size(), 3U);
}

TEST_F(PlistDefaultsTest, RemovesTemporaryFilesOfSavesWhoseProcessIsGone) {
  fs::create_directories(root());
  const std::vector<std::string> abandoned = {".app.plist.tmp-17-1", ".app.plist.tmp-17-2",
                                              ".com.example.x.plist.tmp-99999-40"};
  const std::vector<std::string> kept = {
      ".app.plist.tmp-4242-1", // this process
      ".app.plist.tmp-300-9",  // another running process, perhaps mid-save
      ".app.plist.tmp--5-1",   ".app.plist.tmp-x-1", ".app.plist.tmp-17-", ".plist.tmp-17-1",
      "app.plist.tmp-17-1",    "app.plist",          "app.plist.corrupt-1"};
  for (const std::string& name : abandoned) {
    writeBytes(root() / name, name == abandoned[0] ? "" : "<?xml partial");
  }
  for (const std::string& name : kept) {
    writeBytes(root() / name, "x");
  }
  RecordingFileSystem files;
  files.runningProcesses.insert(300);
  PlistDefaults defaults(root(), log_, files);

  EXPECT_EQ(entries(root()), std::set<std::string>(kept.begin(), kept.end()));
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Quillon: removed 3 temporary defaults files "
                                                 "left by interrupted saves in " +
                                                 root().string()});

  // Nothing to remove, or no folder yet: nothing said.
  log_.lines.clear();
  { PlistDefaults again(root(), log_, files); }
  { PlistDefaults none(folder_.path() / "missing", log_, files); }
  EXPECT_TRUE(log_.lines.empty());
}

} // namespace
} // namespace quillon
