// What the live product leaves to the desktop: chords of features it cannot
// serve here, the system's own settings, a second start on the same display,
// and the wheels of a run killed outright.

#include "X11DesktopFixture.h"
#include "X11Session.h"
#include "platform/KeyCodes.h"
#include "platform/xkb/KeyCodeTable.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <algorithm>
#include <csignal>
#include <filesystem>

namespace quillon {
namespace {

using namespace std::chrono_literals;

class X11LiveServicesTest : public X11SuiteTest {
protected:
  void SetUp() override {
    X11SuiteTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    typist_ = X11Typist::open(session_->display());
    window_ = X11TextWindow::open(session_->display());
    ASSERT_TRUE(typist_ && window_);
    window_->takeFocus();
  }

  void TearDown() override {
    if (session_ != nullptr && session_->productRunning()) {
      session_->signalProduct(SIGTERM);
      session_->waitForProductExit(5s);
    }
    window_.reset();
    typist_.reset();
  }

  void startProduct(const std::vector<std::pair<std::string, PropertyValue>>& settings = {}) {
    session_->startProduct(settings);
    ASSERT_TRUE(X11Session::waitUntil([this] { return typist_->keyboardGrabbed(); }))
        << session_->productLog();
    ASSERT_TRUE(X11Session::waitUntil([] {
      return session_->productLog().find("Quillon: event tap started") != std::string::npos;
    })) << session_->productLog();
  }

  bool windowReceives(const std::string& text, std::chrono::milliseconds limit = 5s) {
    return X11Session::waitUntil([&] { return window_->text() == text; }, limit);
  }

  static std::string keycodeText(KeyCode key) { return std::to_string(*xkbKeycodeFor(key)) + " "; }

  std::unique_ptr<X11Typist> typist_;
  std::unique_ptr<X11TextWindow> window_;
};

TEST_F(X11LiveServicesTest, ChordsOfFeaturesNotServedHereReachTheWindowUnchanged) {
  startProduct();
  // ⌃⌘H would start dictation by typing a chord of its own into the focused
  // window.
  typist_->press(keycode::H, flag::Control | flag::Command);
  typist_->type("a");
  ASSERT_TRUE(windowReceives("a")) << window_->keycodeLog() << "\n" << session_->productLog();
  const std::string keys = window_->keycodeLog();
  EXPECT_NE(keys.find(keycodeText(keycode::H)), std::string::npos) << keys;
  EXPECT_EQ(keys.find(keycodeText(keycode::Option)), std::string::npos)
      << "no chord of the product's own was typed: " << keys;
  EXPECT_EQ(keys.find(keycodeText(keycode::D)), std::string::npos) << keys;
}

TEST_F(X11LiveServicesTest, LaunchTouchesNoOtherSystemsSettingsAndRunsNoSystemTool) {
  startProduct();
  const std::string log = session_->productLog();
  EXPECT_NE(log.find("Quillon: system settings stays off: "), std::string::npos) << log;
  // The window manager's margins go with a killall of it.
  EXPECT_EQ(log.find("EnableTiledWindowMargins"), std::string::npos) << log;
  EXPECT_EQ(log.find("killall"), std::string::npos) << log;
  for (const auto& entry : std::filesystem::directory_iterator(session_->productConfigFolder())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("com.apple."))
        << entry.path() << " was written";
  }
}

TEST_F(X11LiveServicesTest, ASecondStartOnTheSameDisplaySaysSoAndTheFirstKeepsCorrecting) {
  startProduct();
  const auto [status, output] = session_->runSecondProduct(10s);
  EXPECT_EQ(status, 1) << output;
  EXPECT_TRUE(output.starts_with("Quillon: already running on display " + session_->display()))
      << output;
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;

  typist_->type("ghbdtn ");
  EXPECT_TRUE(windowReceives("привет ")) << window_->text() << "\n" << session_->productLog();
}

TEST_F(X11LiveServicesTest, AKilledInstanceDoesNotBlockTheNextStart) {
  startProduct();
  session_->signalProduct(SIGKILL);
  session_->waitForProductExit(5s);
  ASSERT_TRUE(X11Session::waitUntil([this] { return !typist_->keyboardGrabbed(); }));
  startProduct();
  typist_->type("ghbdtn ");
  EXPECT_TRUE(windowReceives("привет ")) << window_->text() << "\n" << session_->productLog();
}

std::vector<unsigned char> pointerMapping(const std::string& displayName) {
  Display* display = XOpenDisplay(displayName.c_str());
  std::vector<unsigned char> map(256);
  map.resize(static_cast<std::size_t>(XGetPointerMapping(display, map.data(), 256)));
  XCloseDisplay(display);
  return map;
}

TEST_F(X11LiveServicesTest, WheelsLeftReversedByAKilledRunAreGivenBackByTheNextStart) {
  const auto before = pointerMapping(session_->display());
  ASSERT_GE(before.size(), 5u);
  startProduct({{"invertMouseWheelEnabled", true}});
  ASSERT_TRUE(X11Session::waitUntil([&] { return pointerMapping(session_->display()) != before; }))
      << session_->productLog();
  session_->signalProduct(SIGKILL);
  session_->waitForProductExit(5s);
  ASSERT_NE(pointerMapping(session_->display()), before) << "nothing was left to give back";

  startProduct({{"invertMouseWheelEnabled", false}});
  EXPECT_EQ(pointerMapping(session_->display()), before) << session_->productLog();
  session_->signalProduct(SIGTERM);
  EXPECT_EQ(session_->waitForProductExit(5s), 0) << session_->productLog();
  EXPECT_EQ(pointerMapping(session_->display()), before);
}

} // namespace
} // namespace quillon
