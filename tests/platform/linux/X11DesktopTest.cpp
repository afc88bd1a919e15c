// The product on a real X server: a private Xvfb with openbox, a text window
// of its own taking the keys, and a typist at a keyboard of their own.

#include "X11DesktopFixture.h"
#include "platform/KeyCodes.h"
#include "platform/linux/PosixProcesses.h"
#include "platform/linux/StreamLog.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11PointerMonitors.h"
#include "platform/xkb/KeyCodeTable.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <csignal>
#include <glib.h>
#include <iostream>
#include <sstream>
#include <thread>

namespace quillon {
namespace {

using namespace std::chrono_literals;

TEST_F(X11DesktopTest, AWordTypedInTheWrongLayoutIsCorrectedAndTheUndoGivesItBack) {
  startProduct();
  typist_->type("ghbdtn ");
  EXPECT_TRUE(windowReceives("привет ")) << window_->text() << "\n" << session_->productLog();
  EXPECT_EQ(session_->currentGroup(), 1u);

  // ⌘\ is Super+\ on a PC keyboard.
  typist_->press(keycode::Backslash, flag::Command);
  EXPECT_TRUE(windowReceives("ghbdtn ")) << window_->text() << "\n" << session_->productLog();
  EXPECT_EQ(session_->currentGroup(), 0u);
}

TEST_F(X11DesktopTest, CorrectionFindsRussianAmongThreeLayoutsAndFollowsCapsLock) {
  session_->setLayouts("us,de,ru");
  startProduct();
  typist_->type("ghbdtn ");
  EXPECT_TRUE(windowReceives("привет ")) << window_->text() << "\n" << session_->productLog();
  EXPECT_EQ(session_->currentGroup(), 2u);
  typist_->press(keycode::Backslash, flag::Command);
  EXPECT_TRUE(windowReceives("ghbdtn ")) << window_->text();
  EXPECT_EQ(session_->currentGroup(), 0u);

  // Another word: the undo taught the product to leave "ghbdtn" alone.
  window_->clear();
  typist_->press(keycode::CapsLock, 0);
  typist_->type("ghbdtnf ");
  typist_->press(keycode::CapsLock, 0);
  EXPECT_TRUE(windowReceives("ПРИВЕТА ")) << window_->text();
}

// X11 has no secure input: the product sees every key of a password.
TEST_F(X11DesktopTest, NothingTypedReachesTheLog) {
  startProduct();
  typist_->type("tr0ub4dorsecret ghbdtn ");
  ASSERT_TRUE(windowReceives("tr0ub4dorsecret привет ")) << window_->text();
  const std::string log = session_->productLog();
  EXPECT_EQ(log.find("tr0ub4dorsecret"), std::string::npos) << log;
  EXPECT_EQ(log.find("ghbdtn"), std::string::npos) << log;
  EXPECT_EQ(log.find("привет"), std::string::npos) << log;
}

TEST_F(X11DesktopTest, ASelectedWordIsConvertedThroughTheClipboardWhichIsThenRestored) {
  startProduct();
  window_->setClipboard("kept");
  typist_->type("ghbdtn");
  ASSERT_TRUE(windowReceives("ghbdtn"));
  window_->selectAll();
  typist_->press(keycode::Backslash, flag::Command);
  EXPECT_TRUE(windowReceives("привет")) << window_->text() << "\n" << session_->productLog();
  EXPECT_EQ(session_->currentGroup(), 1u);
  // Copied and pasted with Control, the shortcut of applications here.
  const std::string keys = window_->keycodeLog();
  const auto control = std::to_string(*xkbKeycodeFor(keycode::Control)) + " ";
  EXPECT_NE(keys.find(control), std::string::npos) << keys;
  EXPECT_TRUE(X11Session::waitUntil([] { return session_->clipboardText() == "kept"; }))
      << session_->clipboardText().value_or("(none)");
}

TEST_F(X11DesktopTest, ShiftSlashTwiceArrivesAsACommaAndOrdinaryKeysPassUnchanged) {
  startProduct();
  typist_->press(keycode::Slash, flag::Shift);
  typist_->press(keycode::Slash, flag::Shift);
  EXPECT_TRUE(windowReceives(",")) << window_->text();

  window_->clear();
  typist_->type("Hello, World");
  EXPECT_TRUE(windowReceives("Hello, World")) << window_->text();
}

TEST_F(X11DesktopTest, ShiftDoubleTapTurnsCorrectionOff) {
  startProduct();
  typist_->press(keycode::Shift, 0);
  typist_->press(keycode::Shift, 0);
  ASSERT_TRUE(X11Session::waitUntil([] {
    return session_->productLog().find("Quillon: Shift double-tap → toggle auto-switch") !=
           std::string::npos;
  }));
  typist_->type("ghbdtn ");
  EXPECT_TRUE(windowReceives("ghbdtn ")) << window_->text();
  EXPECT_EQ(session_->currentGroup(), 0u);
}

TEST_F(X11DesktopTest, AKeyboardUnpluggedMidChordLeavesNothingHeldAndANewOneIsGrabbed) {
  startProduct();
  typist_->keyDown(keycode::Shift);
  typist_->type("ab ");
  ASSERT_TRUE(windowReceives("AB ")) << window_->text();
  // Removing the typist's master unplugs its keyboard with Shift down.
  typist_.reset();
  window_->clear();
  typist_ = X11Typist::open(session_->display());
  ASSERT_TRUE(typist_);
  EXPECT_TRUE(X11Session::waitUntil([this] { return typist_->keyboardGrabbed(); }));
  window_->takeFocus();
  typist_->type("ghbdtn ");
  EXPECT_TRUE(windowReceives("привет ")) << window_->text();
}

// Nothing the product draws needs OpenGL; loading a software renderer for
// it would cost more memory than the rest of the product together.
// None is used by a running session that only types, and each costs
// resident memory: OpenGL and HTTP megabytes, xkb's registry, once its
// languages are read, about one.
TEST_F(X11DesktopTest, TheProductKeepsNoOpenGlHttpOrLayoutRegistryLoaded) {
  startProduct();
  const std::string maps = session_->productMaps();
  ASSERT_FALSE(maps.empty());
  EXPECT_EQ(maps.find("libGL"), std::string::npos);
  EXPECT_EQ(maps.find("_dri.so"), std::string::npos);
  EXPECT_EQ(maps.find("libcurl"), std::string::npos);
  EXPECT_EQ(maps.find("libxkbregistry"), std::string::npos);
  EXPECT_EQ(maps.find("libxml2"), std::string::npos);
}

TEST_F(X11DesktopTest, AKilledProductLeavesNoKeyboardGrabbed) {
  startProduct();
  session_->signalProduct(SIGKILL);
  session_->waitForProductExit(5s);
  EXPECT_TRUE(X11Session::waitUntil([this] { return !typist_->keyboardGrabbed(); }, 2s));
  typist_->type("free");
  EXPECT_TRUE(windowReceives("free", 2s)) << window_->text();
}

// The pointer mapping as any client of the session sees it.
std::vector<unsigned char> pointerMapping(const std::string& displayName) {
  Display* display = XOpenDisplay(displayName.c_str());
  std::vector<unsigned char> map(256);
  map.resize(static_cast<std::size_t>(XGetPointerMapping(display, map.data(), 256)));
  XCloseDisplay(display);
  return map;
}

TEST_F(X11DesktopTest, AnInvertedWheelHoldsWhileTheProductRunsAndIsGivenBackWhenItQuits) {
  const auto before = pointerMapping(session_->display());
  ASSERT_GE(before.size(), 5u);
  session_->startProduct({{"invertMouseWheelEnabled", true}});
  EXPECT_TRUE(X11Session::waitUntil([] {
    const auto now = pointerMapping(session_->display());
    return now[3] == 5 && now[4] == 4;
  })) << session_->productLog();

  session_->signalProduct(SIGTERM);
  EXPECT_EQ(session_->waitForProductExit(5s), 0) << session_->productLog();
  EXPECT_EQ(pointerMapping(session_->display()), before);
}

TEST_F(X11DesktopTest, LayoutsWithoutAnEnglishAndRussianPairLeaveTextAloneAndSaySoOnce) {
  session_->setLayouts("us,de");
  startProduct();
  typist_->type("ghbdtn ");
  EXPECT_TRUE(windowReceives("ghbdtn ")) << window_->text();
  const std::string log = session_->productLog();
  const std::string line = "Quillon: layout correction stays idle: it needs an English and a "
                           "Russian keyboard layout, and this session has "
                           "com.apple.keylayout.US,xkb:de";
  const auto first = log.find(line);
  EXPECT_NE(first, std::string::npos) << log;
  EXPECT_EQ(log.find(line, first + 1), std::string::npos) << log;
}

TEST(X11ServerLossTest, TheProductEndsWithOneLineWhenTheServerGoesAway) {
  std::string whyNot;
  const auto session = X11Session::start(whyNot);
  if (!session) {
    GTEST_SKIP() << "no X test desktop: " << whyNot;
  }
  session->startProduct();
  ASSERT_TRUE(X11Session::waitUntil([&] {
    return session->productLog().find("Quillon: event tap started") != std::string::npos;
  }));
  session->stopServer();
  EXPECT_EQ(session->waitForProductExit(5s), 1);
  EXPECT_NE(session->productLog().find("Quillon: the X server went away; quitting"),
            std::string::npos)
      << session->productLog();
}

// The pointer is followed on a connection of its own, which may be the
// first to hear that the server went away: the product still ends in its
// own words, not in Xlib's silent exit.
TEST(X11ServerLossTest, ThePointersOwnConnectionEndsTheProductWithTheSameLine) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string whyNot;
  const auto session = X11Session::start(whyNot);
  if (!session) {
    GTEST_SKIP() << "no X test desktop: " << whyNot;
  }
  EXPECT_EXIT(
      {
        std::string error;
        auto connection = X11Connection::open(session->display(), error);
        if (!connection) {
          std::exit(2);
        }
        connection->setLostHandler([] { std::cerr << "the X server went away" << std::endl; });
        std::ostringstream ignored;
        StreamLog log(ignored);
        X11PointerMonitors pointer(*connection, std::chrono::milliseconds(500), log);
        const Observation moves =
            pointer.add(eventMaskBit(EventType::MouseMoved), [](const Event&) {});
        session->stopServer();
        // Only the pointer's connection is read.
        while (true) {
          g_main_context_iteration(nullptr, TRUE);
        }
      },
      testing::ExitedWithCode(1), "the X server went away");
}

TEST(X11StartupTest, WithoutADisplayOneLineSuggestsTheSimulatedDesktop) {
  PosixProcesses processes;
  const SpawnResult started =
      processes.spawn({"/usr/bin/env", {"-u", "DISPLAY", QUILLON_EXECUTABLE}, true, true, nullptr});
  ASSERT_TRUE(started.process) << started.error;
  EXPECT_EQ(started.process->waitForExit(), 2);
  EXPECT_EQ(started.process->capturedOutput(), "");
  EXPECT_EQ(started.process->capturedError(),
            "Quillon: no X display (DISPLAY is not set); run quillon --simulate [FILE] to use "
            "Quillon on the simulated desktop\n");
}

} // namespace
} // namespace quillon
