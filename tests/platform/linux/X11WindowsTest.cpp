// Windows of another client on a real X server with openbox: found, read,
// snapped, pinned and watched through what the window manager publishes.

#include "LiveBus.h"
#include "X11DesktopFixture.h"
#include "X11Session.h"
#include "X11TestClient.h"
#include "platform/KeyCodes.h"
#include "platform/Sound.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Screens.h"
#include "platform/linux/X11WindowAccess.h"
#include "platform/linux/X11WindowLevels.h"
#include "platform/shared/PlistDefaults.h"
#include "platform/sim/SimLog.h"
#include "platform/xkb/KeyCodeTable.h"
#include "windows/AlwaysOnTop.h"
#include "windows/RectDescription.h"
#include "windows/WindowSnapper.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gio/gio.h>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillon {
namespace {

using namespace std::chrono_literals;
using Position = WindowSnapper::Position;

class SilentSound final : public Sound {
public:
  void play(std::string_view name) override { played.emplace_back(name); }
  std::vector<std::string> played;
};

class X11WindowsTest : public X11SuiteTest {
protected:
  void SetUp() override {
    X11SuiteTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    std::string error;
    connection_ = X11Connection::open(session_->display(), error);
    ASSERT_TRUE(connection_) << error;
    screens_ = std::make_unique<X11Screens>(*connection_);
    access_ = std::make_unique<X11WindowAccess>(*connection_, *screens_, log_);
    levels_ = std::make_unique<X11WindowLevels>(*connection_);
    workspace_ = std::make_unique<LinuxWorkspace>(*connection_);
    snapper_ = std::make_unique<WindowSnapper>(*access_, *workspace_, *screens_, log_);
    client_ = std::make_unique<X11TestClient>(session_->display());
    ASSERT_NE(client_->display(), nullptr);
  }

  void TearDown() override {
    // Closing the client's connection takes its windows, docks included.
    client_.reset();
    if (connection_) {
      pump();
    }
  }

  // What the window manager has said so far reaches the services.
  void pump() {
    XSync(connection_->display(), False);
    connection_->dispatchPending();
  }

  Window openWindow(X11TestClient::WindowOptions options = {}) {
    if (options.process == 0) {
      options.process = nextProcess_++;
    }
    const Window window = client_->open(options);
    EXPECT_NE(window, 0u) << "the window manager did not manage the window";
    return window;
  }

  void focus(Window window) {
    ASSERT_TRUE(client_->activate(window));
    pump();
  }

  // Where the client area must be for its frame to fill a rectangle of
  // the root window.
  ClientRect clientFor(Window window, const ClientRect& visible) const {
    const auto extents = client_->frameExtents(window);
    return {visible.x + static_cast<int>(extents[0]), visible.y + static_cast<int>(extents[2]),
            visible.width - static_cast<int>(extents[0] + extents[1]),
            visible.height - static_cast<int>(extents[2] + extents[3])};
  }

  void snap(Window window, Position position) {
    focus(window);
    snapper_->snapFocusedWindow(position);
  }

  int nextProcess_ = 70000;
  SimLog log_;
  std::unique_ptr<X11Connection> connection_;
  std::unique_ptr<X11Screens> screens_;
  std::unique_ptr<X11WindowAccess> access_;
  std::unique_ptr<X11WindowLevels> levels_;
  std::unique_ptr<LinuxWorkspace> workspace_;
  std::unique_ptr<WindowSnapper> snapper_;
  std::unique_ptr<X11TestClient> client_;
};

TEST_F(X11WindowsTest, EveryZoneFillsItsPartOfTheScreenAboveABottomDock) {
  X11TestClient::WindowOptions dock;
  dock.rect = {0, 760, 1280, 40};
  dock.bottomStrut = 40;
  ASSERT_NE(openWindow(dock), 0u);
  pump();
  const auto all = screens_->screens();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all.front().frame, (Rect{{0, 0}, {1280, 800}}));
  EXPECT_EQ(all.front().visibleFrame, (Rect{{0, 40}, {1280, 760}}));

  const Window window = openWindow();
  const std::vector<std::pair<Position, ClientRect>> zones{
      {Position::leftHalf, {0, 0, 640, 760}},     {Position::rightHalf, {640, 0, 640, 760}},
      {Position::topLeft, {0, 0, 640, 380}},      {Position::topRight, {640, 0, 640, 380}},
      {Position::bottomLeft, {0, 380, 640, 380}}, {Position::bottomRight, {640, 380, 640, 380}},
      {Position::maximize, {0, 0, 1280, 760}},
  };
  for (const auto& [position, visible] : zones) {
    snap(window, position);
    EXPECT_TRUE(client_->waitForClientRect(window, clientFor(window, visible)))
        << WindowSnapper::name(position) << ": " << client_->clientRect(window) << " for "
        << visible;
  }
  // Centred at the size it has: the quarter it was in last.
  snap(window, Position::bottomRight);
  ASSERT_TRUE(client_->waitForClientRect(window, clientFor(window, {640, 380, 640, 380})));
  snap(window, Position::center);
  EXPECT_TRUE(client_->waitForClientRect(window, clientFor(window, {320, 190, 640, 380})))
      << client_->clientRect(window);
  EXPECT_TRUE(log_.lines().empty()) << log_.lines().front();
}

// A client may have asked for a border of its own, which the window
// manager keeps or takes when it frames the window.
TEST_F(X11WindowsTest, AFrameIsTheWindowAsSeenAndSnapsExactlyWhateverItsOwnBorder) {
  const Window window = openWindow({.rect = {200, 150, 500, 300}, .border = 2});
  focus(window);
  const auto target = snapper_->focusedWindowAndScreen();
  ASSERT_TRUE(target);
  const auto frame = snapper_->windowFrame(target->window);
  ASSERT_TRUE(frame);
  const ClientRect client = client_->clientRect(window);
  const auto extents = client_->frameExtents(window);
  const long border = client_->border(window);
  const long width = client.width + 2 * border + extents[0] + extents[1];
  const long height = client.height + 2 * border + extents[2] + extents[3];
  // Screen coordinates grow upwards from the bottom of the 800-pixel screen.
  const Rect expected{{static_cast<double>(client.x - border - extents[0]),
                       static_cast<double>(800 - (client.y - border - extents[2]) - height)},
                      {static_cast<double>(width), static_cast<double>(height)}};
  EXPECT_EQ(*frame, expected);
  EXPECT_EQ(access_->windowNumber(target->window), static_cast<std::uint32_t>(window));

  snapper_->snapFocusedWindow(Position::leftHalf);
  const int edge = client_->border(window);
  const ClientRect inside = clientFor(window, {edge, edge, 640 - 2 * edge, 800 - 2 * edge});
  EXPECT_TRUE(client_->waitForClientRect(window, inside)) << client_->clientRect(window);
}

// Frames are kept between reads (the position manager reads four times a
// second); a move or resize by anyone else must still be seen.
TEST_F(X11WindowsTest, AFrameReadAgainAfterOthersMovedOrResizedTheWindowIsTheNewOne) {
  const Window window = openWindow({.rect = {200, 150, 500, 300}});
  focus(window);
  const auto target = snapper_->focusedWindowAndScreen();
  ASSERT_TRUE(target);
  const auto before = snapper_->windowFrame(target->window);
  ASSERT_TRUE(before);
  const auto frameNow = [&] {
    pump();
    return snapper_->windowFrame(target->window);
  };

  // Moved as a user's drag ends: the window manager moves its frame.
  client_->requestMove(window, {300, 200, 500, 300});
  const auto extents = client_->frameExtents(window);
  const int edge = client_->border(window);
  ASSERT_TRUE(
      client_->waitForClientRect(window, {300 + edge + static_cast<int>(extents[0]),
                                          200 + edge + static_cast<int>(extents[2]), 500, 300}))
      << client_->clientRect(window);
  const auto moved = frameNow();
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->origin.x, 300);
  EXPECT_EQ(moved->size, before->size);

  // Resized by its own client.
  XResizeWindow(client_->display(), window, 420, 260);
  XSync(client_->display(), False);
  ASSERT_TRUE(X11Session::waitUntil([&] {
    const auto frame = frameNow();
    return frame && frame->size.width == before->size.width - 80;
  })) << describeRect(*frameNow());
  EXPECT_EQ(frameNow()->size.height, before->size.height - 40);
}

TEST_F(X11WindowsTest, HalvesOfAnOddWidthMeetWithoutGapOrOverlap) {
  // Screen coordinates, exact halves of 641: 320.5 each.
  const Window left = openWindow();
  const Window right = openWindow();
  focus(left);
  auto target = snapper_->focusedWindowAndScreen();
  ASSERT_TRUE(target);
  snapper_->setWindowFrame(target->window, {{0, 0}, {320.5, 800}});
  focus(right);
  target = snapper_->focusedWindowAndScreen();
  ASSERT_TRUE(target);
  snapper_->setWindowFrame(target->window, {{320.5, 0}, {320.5, 800}});

  const auto leftExtents = client_->frameExtents(left);
  const auto rightExtents = client_->frameExtents(right);
  ASSERT_TRUE(X11Session::waitUntil([&] {
    const ClientRect first = client_->clientRect(left);
    const ClientRect second = client_->clientRect(right);
    const long leftEdge = first.x - leftExtents[0];
    const long leftEnd = first.x + first.width + leftExtents[1];
    const long rightStart = second.x - rightExtents[0];
    const long rightEnd = second.x + second.width + rightExtents[1];
    return leftEdge == 0 && leftEnd == rightStart && rightEnd == 641;
  })) << client_->clientRect(left)
      << " " << client_->clientRect(right);
}

TEST_F(X11WindowsTest, AClientSideDecoratedWindowSnapsByWhatItShowsNotItsShadow) {
  X11TestClient::WindowOptions options;
  options.clientSideShadow = std::vector<long>{12, 12, 8, 16};
  const Window window = openWindow(options);
  ASSERT_EQ(client_->frameExtents(window), (std::vector<long>{0, 0, 0, 0}))
      << "the window manager framed a window that draws its own";
  snap(window, Position::rightHalf);
  // The shadow reaches past the zone on every side.
  EXPECT_TRUE(client_->waitForClientRect(window, {640 - 12, 0 - 8, 640 + 24, 800 + 24}))
      << client_->clientRect(window);
}

TEST_F(X11WindowsTest, AWindowOfFixedSizeIsMovedButKeepsItsSize) {
  const Window window = openWindow({.rect = {300, 300, 320, 200}, .fixedSize = true});
  snap(window, Position::rightHalf);
  const auto extents = client_->frameExtents(window);
  EXPECT_TRUE(X11Session::waitUntil([&] {
    const ClientRect now = client_->clientRect(window);
    return now.x - extents[0] == 640 && now.y - extents[2] == 0 && now.width == 320 &&
           now.height == 200;
  })) << client_->clientRect(window);
}

TEST_F(X11WindowsTest, AMaximisedWindowIsMadeOrdinaryAndSnapped) {
  const Window window = openWindow();
  focus(window);
  client_->requestState(window, true, "_NET_WM_STATE_MAXIMIZED_VERT");
  client_->requestState(window, true, "_NET_WM_STATE_MAXIMIZED_HORZ");
  const auto maximised = [&] {
    const auto states = client_->states(window);
    return std::find(states.begin(), states.end(), "_NET_WM_STATE_MAXIMIZED_HORZ") != states.end();
  };
  ASSERT_TRUE(X11Session::waitUntil(maximised));
  snap(window, Position::leftHalf);
  EXPECT_TRUE(X11Session::waitUntil([&] { return !maximised(); }));
  EXPECT_TRUE(client_->waitForClientRect(window, clientFor(window, {0, 0, 640, 800})))
      << client_->clientRect(window);
}

TEST_F(X11WindowsTest, PinningKeepsTheWindowAboveAndAToggleGivesItBack) {
  SilentSound sound;
  AlwaysOnTop pins(*access_, *levels_, sound, log_);
  const Window window = openWindow();
  focus(window);
  const auto above = [&] {
    const auto states = client_->states(window);
    return std::find(states.begin(), states.end(), "_NET_WM_STATE_ABOVE") != states.end();
  };
  pins.toggleFocusedWindow();
  EXPECT_TRUE(X11Session::waitUntil(above));
  EXPECT_TRUE(
      log_.contains("Quillon aot: window " + std::to_string(window) + " pinned to floating level"));
  pins.toggleFocusedWindow();
  EXPECT_TRUE(X11Session::waitUntil([&] { return !above(); }));
  EXPECT_TRUE(
      log_.contains("Quillon aot: window " + std::to_string(window) + " unpinned (level → 0)"));
  EXPECT_EQ(sound.played, (std::vector<std::string>{"Pop", "Tink"}));
}

TEST_F(X11WindowsTest, AWindowClosedDuringASnapIsSaidOnceAndNothingElseHappens) {
  const Window window = openWindow();
  const Window other = openWindow({.rect = {500, 400, 300, 200}});
  focus(window);
  const auto target = snapper_->focusedWindowAndScreen();
  ASSERT_TRUE(target);
  const ClientRect otherBefore = client_->clientRect(other);
  client_->close(window);
  snapper_->setWindowFrame(target->window, {{0, 0}, {640, 800}});
  pump();
  const auto lines = log_.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines.front(),
            "Quillon snap: window " + std::to_string(window) + " closed before it was moved");
  EXPECT_EQ(client_->clientRect(other), otherBefore);
}

TEST_F(X11WindowsTest, AnApplicationListsItsOwnNormalWindowsFrontmostFirst) {
  const int process = 71000;
  const Window first = openWindow({.process = process});
  const Window second = openWindow({.process = process});
  openWindow({.process = process + 1});
  focus(first);
  const auto listed = [&] {
    std::vector<std::uint32_t> numbers;
    const auto windows = axValueAs<std::vector<AXElement>>(
        access_->copyAttributeValue(access_->applicationElement(process), ax::Windows));
    for (const AXElement& element : windows.value_or(std::vector<AXElement>{})) {
      numbers.push_back(access_->windowNumber(element).value_or(0));
    }
    return numbers;
  };
  const std::vector<std::uint32_t> expected{static_cast<std::uint32_t>(first),
                                            static_cast<std::uint32_t>(second)};
  // The manager raises the window a moment after it names it active.
  EXPECT_TRUE(X11Session::waitUntil([&] { return listed() == expected; }))
      << listed().size() << " windows listed";
  // Another application's active window is not this one's focused window.
  EXPECT_FALSE(axValueAs<AXElement>(
      access_->copyAttributeValue(access_->applicationElement(process + 1), ax::FocusedWindow)));
}

TEST_F(X11WindowsTest, ANewWindowOfAWatchedApplicationIsAnnounced) {
  const int process = 72000;
  std::vector<std::uint32_t> announced;
  const Observation watch =
      access_->observe(process, ax::WindowCreated, [&](const AXElement& element) {
        announced.push_back(access_->windowNumber(element).value_or(0));
      });
  openWindow({.process = process + 1});
  const Window window = openWindow({.process = process});
  ASSERT_TRUE(X11Session::waitUntil([&] {
    pump();
    return !announced.empty();
  }));
  EXPECT_EQ(announced, (std::vector<std::uint32_t>{static_cast<std::uint32_t>(window)}));
}

class MonitorLayout {
public:
  MonitorLayout(Display* display, const std::vector<std::pair<std::string, ClientRect>>& monitors)
      : display_(display) {
    for (const auto& [name, rect] : monitors) {
      XRRMonitorInfo* info = XRRAllocateMonitor(display_, 0);
      info->name = XInternAtom(display_, name.c_str(), False);
      info->primary = names_.empty();
      info->x = rect.x;
      info->y = rect.y;
      info->width = rect.width;
      info->height = rect.height;
      XRRSetMonitor(display_, DefaultRootWindow(display_), info);
      names_.push_back(info->name);
      XRRFreeMonitors(info);
    }
    XSync(display_, False);
  }
  ~MonitorLayout() {
    for (const Atom name : names_) {
      XRRDeleteMonitor(display_, DefaultRootWindow(display_), name);
    }
    XSync(display_, False);
  }

private:
  Display* display_;
  std::vector<Atom> names_;
};

TEST_F(X11WindowsTest, AWindowOnTheSecondMonitorSnapsWithinThatMonitor) {
  const MonitorLayout layout(
      client_->display(), {{"QUILLON-A", {0, 0, 640, 800}}, {"QUILLON-B", {640, 200, 640, 600}}});
  pump();
  const auto all = screens_->screens();
  ASSERT_GE(all.size(), 2u);
  const auto second = std::find_if(all.begin(), all.end(), [](const ScreenInfo& screen) {
    return screen.frame == Rect{{640, 0}, {640, 600}};
  });
  ASSERT_NE(second, all.end()) << "the second monitor in screen coordinates";

  const Window window = openWindow({.rect = {900, 400, 200, 150}});
  snap(window, Position::leftHalf);
  EXPECT_TRUE(client_->waitForClientRect(window, clientFor(window, {640, 200, 320, 600})))
      << client_->clientRect(window);
}

// The product as a user runs it, acting on another client's windows.
class X11WindowsProductTest : public X11DesktopTest {
protected:
  void SetUp() override {
    X11DesktopTest::SetUp();
    if (session_ != nullptr) {
      client_ = std::make_unique<X11TestClient>(session_->display());
    }
  }
  void TearDown() override {
    X11DesktopTest::TearDown();
    client_.reset();
  }

  void startProductWith(const std::vector<std::pair<std::string, PropertyValue>>& settings) {
    session_->startProduct(settings);
    awaitWindowServices();
  }

  // The log may still be the last run's until the new one rewrites it.
  static void awaitWindowServices() {
    const std::string launched =
        "Quillon: launched, pid=" + std::to_string(session_->productIdentifier());
    ASSERT_TRUE(X11Session::waitUntil([&] {
      const std::string log = session_->productLog();
      return log.find(launched) != std::string::npos &&
             log.find("Quillon WindowPositionManager: started") != std::string::npos;
    })) << session_->productLog();
  }

  Window openFocused(X11TestClient::WindowOptions options) {
    const Window window = client_->open(options);
    EXPECT_NE(window, 0u);
    EXPECT_TRUE(client_->activate(window));
    return window;
  }

  ClientRect clientFor(Window window, const ClientRect& visible) const {
    const auto extents = client_->frameExtents(window);
    return {visible.x + static_cast<int>(extents[0]), visible.y + static_cast<int>(extents[2]),
            visible.width - static_cast<int>(extents[0] + extents[1]),
            visible.height - static_cast<int>(extents[2] + extents[3])};
  }

  std::vector<std::string> storedApplications() const {
    SimLog log;
    PlistDefaults stored(session_->productConfigFolder(), log);
    std::vector<std::string> names;
    const auto positions = stored.object("com.quillon.Quillon", "quillon.windowPositions");
    if (const auto* dictionary = positions ? positions->get<PropertyDictionary>() : nullptr) {
      for (const auto& [name, frame] : *dictionary) {
        names.push_back(name);
      }
    }
    return names;
  }

  bool positionsStored() const {
    SimLog log;
    PlistDefaults stored(session_->productConfigFolder(), log);
    return stored.object("com.quillon.Quillon", "quillon.windowPositions").has_value();
  }

  std::unique_ptr<X11TestClient> client_;
};

TEST_F(X11WindowsProductTest, TheSnapAndPinChordsActOnTheActiveWindow) {
  startProduct();
  EXPECT_EQ(session_->productLog().find("window access stays off"), std::string::npos)
      << session_->productLog();
  const Window window = openFocused({.rect = {300, 200, 400, 300}, .process = 73000});
  typist_->press(keycode::LeftArrow, flag::Control | flag::Command);
  EXPECT_TRUE(client_->waitForClientRect(window, clientFor(window, {0, 0, 640, 800})))
      << client_->clientRect(window) << "\n"
      << session_->productLog();
  typist_->press(keycode::Digit4, flag::Control | flag::Command);
  EXPECT_TRUE(client_->waitForClientRect(window, clientFor(window, {640, 400, 640, 400})))
      << client_->clientRect(window) << "\n"
      << session_->productLog();
  typist_->press(keycode::T, flag::Control | flag::Command);
  EXPECT_TRUE(X11Session::waitUntil([&] {
    const auto states = client_->states(window);
    return std::find(states.begin(), states.end(), "_NET_WM_STATE_ABOVE") != states.end();
  })) << session_->productLog();
}

TEST_F(X11WindowsProductTest, AWindowLeftNearAZoneIsSnappedOntoIt) {
  startProductWith({{"autoSnapMouseDragEnabled", true}});
  const Window window = openFocused({.rect = {300, 200, 400, 300}, .process = 73100});
  // As a drag would end: 10 pixels in, 20 short of the left half.
  const auto extents = client_->frameExtents(window);
  client_->requestMove(window, {10, 5, static_cast<int>(620 - extents[0] - extents[1]),
                                static_cast<int>(780 - extents[2] - extents[3])});
  EXPECT_TRUE(client_->waitForClientRect(window, clientFor(window, {0, 0, 640, 800})))
      << client_->clientRect(window) << "\n"
      << session_->productLog();
  EXPECT_NE(session_->productLog().find("Quillon WindowPositionManager: auto-snap dragged"),
            std::string::npos)
      << session_->productLog();
}

TEST_F(X11WindowsProductTest, AFrameIsRememberedAcrossARelaunchAndRestoredWhenTheClientStarts) {
  // The user's launcher for the client names it in the stored frames.
  const auto applications =
      session_->productConfigFolder().parent_path().parent_path() / ".local/share/applications";
  std::filesystem::create_directories(applications);
  std::ofstream(applications / "org.example.Notes.desktop")
      << "[Desktop Entry]\nType=Application\nName=Notes\nExec=/bin/true\n"
         "StartupWMClass=QuillonNotes\n";
  startProductWith({{"restoreWindowPositionsEnabled", true}});
  X11TestClient::WindowOptions options{.rect = {300, 200, 400, 300}, .process = 73200};
  options.className = "QuillonNotes";
  const Window window = openFocused(options);
  const auto extents = client_->frameExtents(window);
  client_->requestMove(window, {120, 140, 500, 260});
  const ClientRect placed{120 + static_cast<int>(extents[0]), 140 + static_cast<int>(extents[2]),
                          500, 260};
  ASSERT_TRUE(client_->waitForClientRect(window, placed)) << client_->clientRect(window);
  ASSERT_TRUE(X11Session::waitUntil([&] { return positionsStored(); })) << session_->productLog();
  EXPECT_EQ(storedApplications(), std::vector<std::string>{"org.example.Notes"});
  // Let the settled frame be saved, not one seen on the way.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  session_->signalProduct(SIGTERM);
  ASSERT_TRUE(session_->waitForProductExit(std::chrono::seconds(5)));
  client_->close(window);

  session_->restartProduct();
  awaitWindowServices();
  // A launch is a process the desktop has not seen, and one still running:
  // the restore gives up on an application that has quit.
  const pid_t launched = fork();
  if (launched == 0) {
    execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
    _exit(127);
  }
  options.process = launched;
  options.rect = {600, 400, 300, 200};
  const Window again = openFocused(options);
  EXPECT_TRUE(client_->waitForClientRect(again, placed)) << client_->clientRect(again) << "\n"
                                                         << session_->productLog();
  kill(launched, SIGKILL);
  waitpid(launched, nullptr, 0);
}

TEST_F(X11WindowsProductTest, AScreenChangePutsRememberedWindowsBack) {
  startProductWith({{"restoreWindowPositionsEnabled", true}, {"autoSnapMouseDragEnabled", false}});
  X11TestClient::WindowOptions notes{.rect = {300, 200, 400, 300}, .process = 73300};
  notes.className = "QuillonLedger";
  const Window window = openFocused(notes);
  const auto extents = client_->frameExtents(window);
  client_->requestMove(window, {150, 100, 450, 280});
  const ClientRect remembered{150 + static_cast<int>(extents[0]),
                              100 + static_cast<int>(extents[2]), 450, 280};
  ASSERT_TRUE(client_->waitForClientRect(window, remembered));
  ASSERT_TRUE(X11Session::waitUntil([&] { return positionsStored(); })) << session_->productLog();
  std::this_thread::sleep_for(std::chrono::milliseconds(600));

  // Another application in front, while this one's window is moved away.
  openFocused({.rect = {700, 500, 200, 100}, .process = 73301});
  client_->requestMove(window, {20, 20, 300, 200});
  ASSERT_TRUE(client_->waitForClientRect(
      window, {20 + static_cast<int>(extents[0]), 20 + static_cast<int>(extents[2]), 300, 200}));

  // The same size again is still a configuration the server announces.
  Display* display = client_->display();
  XRRSetScreenSize(display, DefaultRootWindow(display), 1280, 800, 338, 211);
  XSync(display, False);
  EXPECT_TRUE(client_->waitForClientRect(window, remembered)) << client_->clientRect(window) << "\n"
                                                              << session_->productLog();
  EXPECT_NE(session_->productLog().find("Quillon WindowPositionManager: screen params changed → "
                                        "re-applying saved positions"),
            std::string::npos);
}

// A bus of the test's own standing in for the system bus, with a logind
// that says only what the test makes it say.
class FakeLogind {
public:
  FakeLogind() : bus_(LiveBus::start()) {}

  bool running() const { return bus_ != nullptr; }
  std::string environment() const { return bus_->systemBusVariable(); }
  bool takeName() { return bus_->takeName("org.freedesktop.login1"); }

  void prepareForSleep(bool sleeping) {
    g_dbus_connection_emit_signal(bus_->connection(), nullptr, "/org/freedesktop/login1",
                                  "org.freedesktop.login1.Manager", "PrepareForSleep",
                                  g_variant_new("(b)", sleeping ? TRUE : FALSE), nullptr);
    g_dbus_connection_flush_sync(bus_->connection(), nullptr, nullptr);
  }

private:
  std::unique_ptr<LiveBus> bus_;
};

TEST_F(X11WindowsProductTest, AWakeAnnouncedByLogindPutsRememberedWindowsBack) {
  FakeLogind logind;
  ASSERT_TRUE(logind.running());
  ASSERT_TRUE(logind.takeName());
  session_->startProduct(
      {{"restoreWindowPositionsEnabled", true}, {"autoSnapMouseDragEnabled", false}},
      {logind.environment()});
  awaitWindowServices();
  X11TestClient::WindowOptions notes{.rect = {300, 200, 400, 300}, .process = 73400};
  notes.className = "QuillonJournal";
  const Window window = openFocused(notes);
  const auto extents = client_->frameExtents(window);
  client_->requestMove(window, {180, 90, 420, 260});
  const ClientRect remembered{180 + static_cast<int>(extents[0]), 90 + static_cast<int>(extents[2]),
                              420, 260};
  ASSERT_TRUE(client_->waitForClientRect(window, remembered));
  ASSERT_TRUE(X11Session::waitUntil([&] { return positionsStored(); })) << session_->productLog();
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  openFocused({.rect = {700, 500, 200, 100}, .process = 73401});
  client_->requestMove(window, {30, 30, 300, 200});
  ASSERT_TRUE(client_->waitForClientRect(
      window, {30 + static_cast<int>(extents[0]), 30 + static_cast<int>(extents[2]), 300, 200}));

  // Going to sleep is not a wake; coming back is.
  logind.prepareForSleep(true);
  logind.prepareForSleep(false);
  EXPECT_TRUE(client_->waitForClientRect(window, remembered)) << client_->clientRect(window) << "\n"
                                                              << session_->productLog();
  const std::string log = session_->productLog();
  const std::string wake =
      "Quillon WindowPositionManager: wake from sleep → re-applying saved positions";
  ASSERT_NE(log.find(wake), std::string::npos) << log;
  EXPECT_EQ(log.find(wake), log.rfind(wake)) << "one wake, one re-apply";
  EXPECT_EQ(log.find("windows are not put back after sleep"), std::string::npos) << log;
}

TEST_F(X11WindowsProductTest, WithoutLogindOrWithoutASystemBusWakeIsNotWatchedAndThatIsSaidOnce) {
  FakeLogind emptyBus;
  ASSERT_TRUE(emptyBus.running());
  session_->startProduct({{"restoreWindowPositionsEnabled", true}}, {emptyBus.environment()});
  awaitWindowServices();
  std::string log = session_->productLog();
  const std::string noLogind =
      "Quillon: logind is not on the system bus; windows are not put back after sleep";
  EXPECT_NE(log.find(noLogind), std::string::npos) << log;
  EXPECT_EQ(log.find(noLogind), log.rfind(noLogind)) << log;
  session_->signalProduct(SIGTERM);
  ASSERT_TRUE(session_->waitForProductExit(std::chrono::seconds(5)));

  session_->startProduct({{"restoreWindowPositionsEnabled", true}},
                         {"DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/quillon-test-bus"});
  awaitWindowServices();
  log = session_->productLog();
  // Keep-awake says what it loses without the bus in a line of its own.
  const std::string noBus = "); windows are not put back after sleep";
  const auto said = log.find(noBus);
  ASSERT_NE(said, std::string::npos) << log;
  EXPECT_EQ(said, log.rfind(noBus)) << log;
  EXPECT_NE(log.rfind("Quillon: no system bus (", said), std::string::npos) << log;
}

// An X server with no window manager at all, and the product on it.
class BareDesktop {
public:
  BareDesktop() {
    char folder[] = "/tmp/quillon-bare-XXXXXX";
    folder_ = mkdtemp(folder);
    int pipe[2];
    if (::pipe(pipe) != 0) {
      return;
    }
    const std::string descriptor = std::to_string(pipe[1]);
    server_ = fork();
    if (server_ == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      dup2(null, STDERR_FILENO);
      execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", descriptor.c_str(), "-screen", "0",
            "1280x800x24", "-noreset", "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    ::close(pipe[1]);
    std::string number;
    char byte = 0;
    while (::read(pipe[0], &byte, 1) == 1 && byte != '\n') {
      number += byte;
    }
    ::close(pipe[0]);
    if (!number.empty()) {
      display_ = ":" + number;
    }
  }
  ~BareDesktop() {
    for (const pid_t process : {product_, server_}) {
      if (process > 0) {
        kill(process, SIGTERM);
        waitpid(process, nullptr, 0);
      }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  const std::string& display() const { return display_; }

  void startProduct() {
    std::filesystem::create_directories(folder_ / "runtime");
    std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all);
    const std::vector<std::string> environment{
        "DISPLAY=" + display_,
        "HOME=" + folder_.string(),
        "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
        "XDG_STATE_HOME=" + (folder_ / "state").string(),
        "XDG_RUNTIME_DIR=" + (folder_ / "runtime").string(),
        "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/quillon-test-bus"};
    std::vector<char*> variables;
    for (const std::string& variable : environment) {
      variables.push_back(const_cast<char*>(variable.c_str()));
    }
    variables.push_back(nullptr);
    const std::string log = (folder_ / "product.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    char* arguments[] = {const_cast<char*>(QUILLON_EXECUTABLE), nullptr};
    posix_spawn(&product_, QUILLON_EXECUTABLE, &actions, nullptr, arguments, variables.data());
    posix_spawn_file_actions_destroy(&actions);
  }

  std::string productLog() const {
    std::ifstream file(folder_ / "product.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

private:
  std::filesystem::path folder_;
  std::string display_;
  pid_t server_ = -1;
  pid_t product_ = -1;
};

TEST(X11WindowsWithoutWindowManagerTest, WindowAccessStaysOffSaidOnceAndTheChordsReachTheWindow) {
  BareDesktop desktop;
  if (desktop.display().empty()) {
    GTEST_SKIP() << "Xvfb did not start";
  }
  {
    std::string error;
    const auto connection = X11Connection::open(desktop.display(), error);
    ASSERT_TRUE(connection) << error;
    SimLog log;
    const X11Screens screens(*connection);
    EXPECT_FALSE(X11WindowAccess(*connection, screens, log).windowManagerRunning());
  }
  auto typist = X11Typist::open(desktop.display());
  auto window = X11TextWindow::open(desktop.display());
  ASSERT_TRUE(typist && window);
  window->takeFocus();
  desktop.startProduct();
  ASSERT_TRUE(X11Session::waitUntil([&] { return typist->keyboardGrabbed(); }))
      << desktop.productLog();
  ASSERT_TRUE(X11Session::waitUntil([&] {
    return desktop.productLog().find("Quillon: event tap started") != std::string::npos;
  })) << desktop.productLog();

  typist->press(keycode::LeftArrow, flag::Control | flag::Command);
  typist->type("a");
  ASSERT_TRUE(X11Session::waitUntil([&] { return window->text() == "a"; }))
      << window->keycodeLog() << "\n"
      << desktop.productLog();
  EXPECT_NE(window->keycodeLog().find(std::to_string(*xkbKeycodeFor(keycode::LeftArrow)) + " "),
            std::string::npos)
      << window->keycodeLog();
  const std::string log = desktop.productLog();
  const std::string off = "Quillon: window access stays off: no window manager publishing its "
                          "windows (EWMH) is running";
  ASSERT_NE(log.find(off), std::string::npos) << log;
  EXPECT_EQ(log.find(off), log.rfind(off)) << log;
  EXPECT_EQ(log.find("Quillon snap:"), std::string::npos) << log;
}

TEST_F(X11WindowsTest, AWindowManagerThatPublishesItsWindowsIsSeen) {
  EXPECT_TRUE(access_->windowManagerRunning());
}

} // namespace
} // namespace quillon
