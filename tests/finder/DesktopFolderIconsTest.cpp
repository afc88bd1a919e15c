#include "finder/DesktopFolderIcons.h"

#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

namespace quillon {
namespace {

constexpr std::string_view domain = "com.quillon.Quillon";

struct LayoutCase {
  std::size_t count;
  std::vector<Rect> cells;
};

class CellLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(CellLayoutTest, CellsAtFiveHundredTwelvePoints) {
  const auto cells = DesktopFolderIcons::cellLayout(GetParam().count, {512, 512});
  const auto& expected = GetParam().cells;
  ASSERT_EQ(cells.size(), expected.size());
  for (std::size_t index = 0; index < cells.size(); ++index) {
    EXPECT_NEAR(cells[index].origin.x, expected[index].origin.x, 1e-9) << index;
    EXPECT_NEAR(cells[index].origin.y, expected[index].origin.y, 1e-9) << index;
    EXPECT_NEAR(cells[index].size.width, expected[index].size.width, 1e-9) << index;
    EXPECT_NEAR(cells[index].size.height, expected[index].size.height, 1e-9) << index;
  }
}

// pad 51.2, gap 25.6, cell 192, single icon 286.72.
INSTANTIATE_TEST_SUITE_P(
    Counts, CellLayoutTest,
    ::testing::Values(LayoutCase{0, {}}, LayoutCase{1, {{{112.64, 112.64}, {286.72, 286.72}}}},
                      LayoutCase{2, {{{51.2, 160}, {192, 192}}, {{268.8, 160}, {192, 192}}}},
                      LayoutCase{3,
                                 {{{51.2, 268.8}, {192, 192}},
                                  {{268.8, 268.8}, {192, 192}},
                                  {{160, 51.2}, {192, 192}}}},
                      LayoutCase{6,
                                 {{{51.2, 268.8}, {192, 192}},
                                  {{268.8, 268.8}, {192, 192}},
                                  {{51.2, 51.2}, {192, 192}},
                                  {{268.8, 51.2}, {192, 192}}}}));

Image solid(std::uint32_t pixel) {
  return Image{4, 4, std::vector<std::uint32_t>(16, pixel)};
}

// Rows of the image run from the top; cells are given from the bottom.
std::uint32_t pixelAt(const Image& image, double x, double yUp) {
  return image.pixel(static_cast<int>(x), image.height - 1 - static_cast<int>(yUp));
}

TEST(RenderCompositeTest, TranslucentRoundedSquareCarriesTheIconsInTheirCells) {
  const std::uint32_t red = 0xFFFF0000;
  const std::uint32_t blue = 0xFF0000FF;
  const Image image = DesktopFolderIcons::renderComposite(
      {solid(red), solid(blue), solid(red), solid(blue), solid(red)}, {512, 512});
  ASSERT_EQ(image.width, 512);
  ASSERT_EQ(image.height, 512);
  // Outside the curved corners nothing is drawn.
  for (const auto& [x, y] : {std::pair{0, 0}, {511, 0}, {0, 511}, {511, 511}, {20, 20}}) {
    EXPECT_EQ(Image::alphaOf(image.pixel(x, y)), 0) << x << "," << y;
  }
  // Between the cells, only the white fill at 0.6.
  EXPECT_NEAR(Image::alphaOf(pixelAt(image, 256, 256)), 153, 1);
  // The newest item is top-left, the second top-right; a fifth is not drawn.
  EXPECT_EQ(pixelAt(image, 147, 364), red);
  EXPECT_EQ(pixelAt(image, 364, 364), blue);
  EXPECT_EQ(pixelAt(image, 147, 147), red);
  EXPECT_EQ(pixelAt(image, 364, 147), blue);
  // The outline at 0.65 over the fill, along the middle of each edge.
  EXPECT_GT(Image::alphaOf(pixelAt(image, 256, 3)), 153);
}

TEST(RenderCompositeTest, AnEmptyFolderIsTheBareSquare) {
  const Image image = DesktopFolderIcons::renderComposite({}, {512, 512});
  EXPECT_NEAR(Image::alphaOf(pixelAt(image, 256, 256)), 153, 1);
  EXPECT_EQ(Image::alphaOf(image.pixel(0, 0)), 0);
}

class DesktopFolderIconsTest : public ::testing::Test {
protected:
  std::filesystem::path desktopPath() { return *desktop.directories().desktop(); }

  std::filesystem::path makeFolder(const std::string& name, int files) {
    const std::filesystem::path folder = desktopPath() / name;
    std::filesystem::create_directories(folder);
    for (int index = 0; index < files; ++index) {
      addFile(folder, "file " + std::to_string(index) + ".txt", index);
    }
    return folder;
  }

  void addFile(const std::filesystem::path& folder, const std::string& name, int age) {
    std::ofstream(folder / name) << "x";
    std::filesystem::last_write_time(folder / name, base + std::chrono::seconds(age));
  }

  std::unique_ptr<DesktopFolderIcons> make() {
    return make(desktop.runLoop().backgroundQueue(), desktop.log());
  }
  std::unique_ptr<DesktopFolderIcons> make(BackgroundQueue& background, Log& log) {
    return std::make_unique<DesktopFolderIcons>(DesktopFolderIcons::Dependencies{
        desktop.directories(), desktop.fileEvents(), desktop.workspace(),
        desktop.extendedAttributes(), DefaultsDomain(desktop.defaults(), std::string(domain)),
        desktop.runLoop(), background, desktop.clock(), log});
  }

  std::set<std::string> storedSet() {
    std::set<std::string> paths;
    const auto stored = desktop.defaults().object(domain, "desktopFolderIconsModified");
    if (const PropertyArray* array = stored ? stored->get<PropertyArray>() : nullptr) {
      for (const PropertyValue& path : *array) {
        paths.insert(path.get<std::string>() ? *path.get<std::string>() : "?");
      }
    }
    return paths;
  }

  bool hasAttributes(const std::filesystem::path& path) {
    return desktop.extendedAttributes().read(path, DesktopFolderIcons::FinderInfoAttribute) ||
           desktop.extendedAttributes().read(path, SimFileIcons::CustomIconAttribute);
  }

  std::vector<std::string> passes() {
    std::vector<std::string> done;
    for (const std::string& line : desktop.log().takeNewLines()) {
      if (line.find("applyAll done") != std::string::npos) {
        done.push_back(line.substr(line.find("rendered=")));
      }
    }
    return done;
  }

  bool hasCustomIcon(const std::filesystem::path& folder) {
    const auto info =
        desktop.extendedAttributes().read(folder, DesktopFolderIcons::FinderInfoAttribute);
    const bool flagged = info && info->size() == 32 && ((*info)[8] & 0x04) != 0;
    return desktop.fileIcons().customIconFile(folder).has_value() && flagged;
  }

  SimDesktop desktop;
  const std::filesystem::file_time_type base = std::filesystem::file_time_type::clock::now();
  std::unique_ptr<DesktopFolderIcons> icons = make();
};

TEST_F(DesktopFolderIconsTest, StartRendersEveryFolderButPackagesAndFiles) {
  const auto photos = makeFolder("Photos", 5);
  const auto empty = makeFolder("Empty", 0);
  const auto app = makeFolder("Tool.APP", 1);
  const auto plugin = makeFolder("Thing.bundle", 1);
  std::ofstream(desktopPath() / "notes.txt") << "x";
  icons->start();
  desktop.runUntilIdle();
  EXPECT_EQ(passes(), std::vector<std::string>{"rendered=2 skipped=0 of 5 items"});
  EXPECT_TRUE(hasCustomIcon(photos));
  EXPECT_TRUE(hasCustomIcon(empty));
  EXPECT_FALSE(hasCustomIcon(app));
  EXPECT_FALSE(hasCustomIcon(plugin));
  const auto stored = desktop.defaults().object(domain, "desktopFolderIconsModified");
  ASSERT_TRUE(stored && stored->get<PropertyArray>());
  EXPECT_EQ(stored->get<PropertyArray>()->size(), 2u);
}

TEST_F(DesktopFolderIconsTest, UnchangedFoldersAreNotRedrawnAndChangedOnesAreAfterTheCooldown) {
  const auto folder = makeFolder("Work", 5);
  icons->start();
  desktop.runUntilIdle();
  passes();
  // Within the cooldown, and after it with the same names.
  icons->applyAll();
  desktop.advance(Duration(1.1));
  icons->applyAll();
  EXPECT_TRUE(passes().empty());

  // A sixth, newer item reaches the icon 1.5 s after the change.
  addFile(folder, "new.txt", 100);
  desktop.fileEvents().changed({folder / "new.txt"});
  desktop.advance(Duration(1.4));
  EXPECT_TRUE(passes().empty());
  desktop.advance(Duration(0.1));
  EXPECT_EQ(passes(), std::vector<std::string>{"rendered=1 skipped=0 of 1 items"});

  // Touching a file keeps the names, but its event makes the folder redraw.
  desktop.advance(Duration(2));
  desktop.fileEvents().changed({folder / "file 1.txt"});
  desktop.advance(Duration(1.5));
  EXPECT_EQ(passes(), std::vector<std::string>{"rendered=1 skipped=0 of 1 items"});
}

TEST_F(DesktopFolderIconsTest, ABurstOfEventsMakesOnePassAndTheTimerRefreshes) {
  makeFolder("Burst", 1);
  icons->start();
  desktop.runUntilIdle();
  passes();
  // Changes within the 1 s latency arrive as one batch, which makes one
  // pass 0.5 s later.
  for (int index = 0; index < 3; ++index) {
    desktop.fileEvents().changed({desktopPath() / "Burst"});
    desktop.advance(Duration(0.3));
  }
  desktop.advance(Duration(0.5));
  EXPECT_TRUE(passes().empty());
  desktop.advance(Duration(0.6));
  EXPECT_EQ(passes().size(), 1u);
  // A name added while no event arrives: the timer's pass finds it.
  std::ofstream(desktopPath() / "Burst" / "quiet.txt") << "x";
  desktop.advance(Duration(30));
  EXPECT_EQ(passes().size(), 1u);

  icons->stop();
  desktop.fileEvents().changed({desktopPath() / "Burst"});
  desktop.advance(Duration(60));
  EXPECT_TRUE(passes().empty());
  EXPECT_EQ(desktop.fileEvents().watcherCount(), 0u);
}

TEST_F(DesktopFolderIconsTest, StopAfterARelaunchRestoresFoldersOfTheEarlierRun) {
  const auto first = makeFolder("First", 2);
  icons->start();
  desktop.runUntilIdle();
  ASSERT_TRUE(hasCustomIcon(first));
  // The program ends without stopping; the next run finds another Desktop.
  icons.reset();
  TemporaryDirectory otherHome("quillon-other-home");
  ASSERT_TRUE(desktop.directories().setHome(otherHome.path()));
  const auto second = makeFolder("Second", 1);
  icons = make();
  icons->start();
  desktop.runUntilIdle();
  ASSERT_TRUE(hasCustomIcon(second));
  const auto picture = desktop.fileIcons().customIconFile(second);

  icons->stop();
  desktop.runUntilIdle();
  EXPECT_FALSE(hasCustomIcon(first));
  EXPECT_FALSE(hasCustomIcon(second));
  EXPECT_FALSE(std::filesystem::exists(*picture));
  EXPECT_EQ(desktop.defaults().object(domain, "desktopFolderIconsModified"),
            PropertyValue(PropertyArray{}));
}

TEST_F(DesktopFolderIconsTest, AFailedIconWriteIsLoggedAndRetried) {
  const auto folder = makeFolder("Locked", 3);
  desktop.fileIcons().setFails(true);
  icons->start();
  desktop.runUntilIdle();
  const auto lines = desktop.log().takeNewLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Quillon DesktopFolderIcons: ✗ setIcon failed for " + folder.string() +
                          " (3 items)"),
            lines.end());
  // A folder that keeps refusing is reported once, not every 30 seconds.
  desktop.advance(Duration(90));
  EXPECT_TRUE(desktop.log().takeNewLines().empty());
  desktop.fileIcons().setFails(false);
  desktop.advance(Duration(30));
  EXPECT_TRUE(hasCustomIcon(folder));
  desktop.log().takeNewLines();
  // Refusing again after it worked is news again.
  desktop.fileIcons().setFails(true);
  icons->forceRefresh(folder);
  icons->forceRefresh(folder);
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{"Quillon DesktopFolderIcons: ✗ setIcon failed for " +
                                     folder.string() + " (3 items)"});
}

TEST_F(DesktopFolderIconsTest, AnUnreadableDesktopSkipsThePassAndForcedRefreshRedraws) {
  const auto folder = makeFolder("Forced", 1);
  icons->start();
  desktop.runUntilIdle();
  passes();
  // Within the cooldown, a forced refresh still redraws.
  icons->forceRefresh(folder);
  desktop.runUntilIdle();
  const auto lines = desktop.log().takeNewLines();
  EXPECT_EQ(lines, std::vector<std::string>{"Quillon DesktopFolderIcons: ✓ Forced (1 items)"});

  std::filesystem::remove_all(desktopPath());
  desktop.advance(Duration(30));
  EXPECT_EQ(desktop.log().takeNewLines(),
            std::vector<std::string>{"Quillon DesktopFolderIcons: cannot read " +
                                     desktopPath().string()});
}

// Passes trust a folder's own date while events are watched, so these
// changes arrive with no event at all.
TEST_F(DesktopFolderIconsTest, ChangesNoEventReportedStillReachTheIcon) {
  const auto folder = makeFolder("Quiet", 3);
  icons->start();
  desktop.runUntilIdle();
  passes();
  const auto passAfterCooldown = [&] {
    desktop.advance(Duration(1.1));
    icons->applyAll();
    return passes();
  };
  const std::vector<std::string> redrawn{"rendered=1 skipped=0 of 1 items"};

  // A new name changes the folder's own date: the next pass sees it.
  addFile(folder, "added.txt", 10);
  EXPECT_EQ(passAfterCooldown(), redrawn);

  // A file changed in place leaves the folder's date alone; its turn at a
  // full reading comes within the rotation.
  std::filesystem::last_write_time(folder / "file 0.txt", base + std::chrono::seconds(50));
  int redraws = 0;
  for (std::uint64_t pass = 0; pass < DesktopFolderIcons::FullCheckEvery; ++pass) {
    redraws += passAfterCooldown() == redrawn ? 1 : 0;
  }
  EXPECT_EQ(redraws, 1);
}

TEST_F(DesktopFolderIconsTest, WithoutFileEventsEveryPassReadsEveryItem) {
  const auto folder = makeFolder("Unwatched", 3);
  desktop.fileEvents().setWatchFails(true);
  icons->start();
  desktop.runUntilIdle();
  passes();
  std::filesystem::last_write_time(folder / "file 0.txt", base + std::chrono::seconds(50));
  desktop.advance(Duration(1.1));
  icons->applyAll();
  EXPECT_EQ(passes(), std::vector<std::string>{"rendered=1 skipped=0 of 1 items"});
}

// The Desktop is watched but one folder could not be: a file changed in
// place there sends no event and leaves the folder's date alone, so that
// folder is read in full at every pass.
TEST_F(DesktopFolderIconsTest, AFolderTheSystemWouldNotWatchIsReadInFullEachPass) {
  const auto unwatched = makeFolder("Unwatched", 3);
  makeFolder("Watched", 3);
  desktop.fileEvents().setUnwatched(unwatched);
  icons->start();
  desktop.runUntilIdle();
  passes();
  for (int round = 0; round < 3; ++round) {
    // Each round another file becomes the newest, so the order changes.
    const auto file = unwatched / ("file " + std::to_string(round) + ".txt");
    std::filesystem::last_write_time(file, base + std::chrono::seconds(50 + round * 10));
    desktop.fileEvents().changed({file});
    desktop.advance(Duration(1.1));
    icons->applyAll();
    EXPECT_EQ(passes(), std::vector<std::string>{"rendered=1 skipped=1 of 2 items"}) << round;
  }
}

TEST_F(DesktopFolderIconsTest, LinksOnTheDesktopAreLeftAloneWhereverTheyLead) {
  TemporaryDirectory elsewhere("quillon-elsewhere");
  const std::filesystem::path outside = elsewhere.path() / "Projects";
  std::filesystem::create_directories(outside);
  std::ofstream(outside / "plan.txt") << "x";
  const auto outsideDate = std::filesystem::last_write_time(outside);
  std::filesystem::create_directory_symlink(outside, desktopPath() / "Projects");
  std::filesystem::create_directory_symlink("/", desktopPath() / "Root");
  std::filesystem::create_directory_symlink(".", desktopPath() / "Here");
  const auto real = makeFolder("Real", 1);
  const auto desktopDate = std::filesystem::last_write_time(desktopPath());

  icons->start();
  desktop.runUntilIdle();
  icons->forceRefresh(desktopPath() / "Projects");
  icons->forceRefresh(desktopPath() / "Here");
  desktop.runUntilIdle();
  EXPECT_EQ(passes(), std::vector<std::string>{"rendered=1 skipped=0 of 4 items"});
  EXPECT_EQ(storedSet(), std::set<std::string>{real.string()});
  for (const std::filesystem::path& target : {outside, std::filesystem::path("/"), desktopPath()}) {
    EXPECT_FALSE(hasAttributes(target)) << target;
  }
  EXPECT_EQ(std::filesystem::last_write_time(outside), outsideDate);
  EXPECT_EQ(std::filesystem::last_write_time(desktopPath()), desktopDate);

  // Turned off, the real folder keeps no trace either: Finder information
  // that held only the flag goes with the flag.
  icons->stop();
  desktop.runUntilIdle();
  EXPECT_FALSE(hasAttributes(real));
}

TEST_F(DesktopFolderIconsTest, StopDeletesOnlyPicturesItMadeItself) {
  TemporaryDirectory elsewhere("quillon-elsewhere");
  const std::filesystem::path planted = elsewhere.path() / "precious.png";
  std::ofstream(planted) << "keep me";
  const std::filesystem::path document = elsewhere.path() / "notes.txt";
  std::ofstream(document) << "keep me too";
  // Folders an earlier run listed, whose attribute now names other files.
  const std::filesystem::path first = elsewhere.path() / "First";
  const std::filesystem::path second = elsewhere.path() / "Second";
  std::vector<std::filesystem::path> named{planted, document};
  PropertyArray stored;
  for (std::size_t index = 0; index < named.size(); ++index) {
    const std::filesystem::path folder = index == 0 ? first : second;
    std::filesystem::create_directories(folder);
    const std::string text = named[index].string();
    desktop.extendedAttributes().write(folder, SimFileIcons::CustomIconAttribute,
                                       std::vector<std::uint8_t>(text.begin(), text.end()));
    stored.emplace_back(folder.string());
  }
  desktop.defaults().set(domain, "desktopFolderIconsModified", stored);
  const auto real = makeFolder("Real", 1);
  icons->start();
  desktop.runUntilIdle();
  const auto own = desktop.fileIcons().customIconFile(real);
  ASSERT_TRUE(own);
  desktop.log().takeNewLines();

  icons->stop();
  desktop.runUntilIdle();
  EXPECT_TRUE(std::filesystem::exists(planted));
  EXPECT_TRUE(std::filesystem::exists(document));
  EXPECT_FALSE(std::filesystem::exists(*own));
  EXPECT_FALSE(hasAttributes(first));
  EXPECT_FALSE(hasAttributes(second));
  EXPECT_TRUE(desktop.log().contains("Quillon: custom icon of " + first.string() + " named " +
                                     planted.string() + ", not a picture of ours; left in place"));
}

// Names are bytes: a line break or bytes that are not UTF-8 must survive the
// stored set, or stop could not find the folder again.
TEST_F(DesktopFolderIconsTest, OddNamesSurviveTheStoredSetAndStayOneLogLine) {
  const auto broken = makeFolder("Line\nQuillon DesktopFolderIcons: stop", 1);
  const auto bytes = makeFolder("Latin \xE9t\xE9", 2);
  icons->start();
  desktop.runUntilIdle();
  EXPECT_EQ(storedSet(), (std::set<std::string>{broken.string(), bytes.string()}));
  const auto lines = desktop.log().takeNewLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Quillon DesktopFolderIcons: ✓ Line\\nQuillon DesktopFolderIcons: stop (1 "
                      "items)"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Quillon DesktopFolderIcons: ✓ Latin \\xE9t\\xE9 (2 items)"),
            lines.end());

  // Another run reads the set back and restores both.
  icons = make();
  icons->start();
  icons->stop();
  desktop.runUntilIdle();
  EXPECT_FALSE(hasAttributes(broken));
  EXPECT_FALSE(hasAttributes(bytes));
}

// Runs each task on a thread of its own, as the live desktop's pool may.
class ThreadPerTask final : public BackgroundQueue {
public:
  ~ThreadPerTask() override {
    for (std::thread& thread : threads_) {
      thread.join();
    }
  }
  void async(Task task) override {
    const std::lock_guard lock(mutex_);
    threads_.emplace_back(std::move(task));
  }

private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
};

// Counts drawn folders from any thread.
class DrawnCount final : public Log {
public:
  void write(std::string_view line) override {
    if (line.find("✓") != std::string_view::npos) {
      ++drawn;
    }
  }
  std::atomic<int> drawn = 0;
};

TEST_F(DesktopFolderIconsTest, GoingAwayDuringAPassWaitsForItAndKeepsWhatWasDrawn) {
  constexpr int folders = 150;
  for (int index = 0; index < folders; ++index) {
    makeFolder("Folder " + std::to_string(index), 0);
  }
  ThreadPerTask threads;
  DrawnCount log;
  auto running = make(threads, log);
  running->start();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (log.drawn < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  ASSERT_GE(log.drawn, 3);
  running.reset();
  const int drawnBeforeQuit = log.drawn;
  // Nothing of the pass may go on once its owner has gone.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(log.drawn, drawnBeforeQuit);
  // Every folder drawn is listed, so a later stop can put its icon back.
  EXPECT_EQ(storedSet().size(), static_cast<std::size_t>(drawnBeforeQuit));
}

} // namespace
} // namespace quillon
