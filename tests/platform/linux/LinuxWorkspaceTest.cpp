#include "platform/linux/LinuxWorkspace.h"

#include "LiveSession.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace quillon {
namespace {

// Another client's top-level window naming its application as the window
// manager expects: a process and a class.
Window applicationWindow(Display* display, const char* className, long process) {
  const Window window =
      XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
  XClassHint hint{const_cast<char*>("test"), const_cast<char*>(className)};
  XSetClassHint(display, window, &hint);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&process), 1);
  return window;
}

// What the window manager does when the user brings a window forward.
void activate(Display* display, Window window) {
  XChangeProperty(display, DefaultRootWindow(display),
                  XInternAtom(display, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&window), 1);
  XFlush(display);
}

// The workspace on the shared live display, and another client there whose
// windows the test activates.
class LinuxWorkspaceTest : public testing::Test {
protected:
  void SetUp() override {
    std::string whyNot;
    LiveSession* session = LiveSession::shared(whyNot);
    if (session == nullptr) {
      GTEST_SKIP() << whyNot;
    }
    std::string error;
    connection_ = X11Connection::open(session->displayName(), error);
    ASSERT_TRUE(connection_) << error;
    connection_->attachToMainLoop();
    other_ = XOpenDisplay(session->displayName().c_str());
    ASSERT_NE(other_, nullptr);
  }
  void TearDown() override {
    if (other_ != nullptr) {
      for (const Window window : windows_) {
        XDestroyWindow(other_, window);
      }
      XCloseDisplay(other_);
    }
  }

  Window openWindow(const char* className, long process) {
    windows_.push_back(applicationWindow(other_, className, process));
    return windows_.back();
  }

  std::unique_ptr<X11Connection> connection_;
  Display* other_ = nullptr;
  std::vector<Window> windows_;
};

TEST_F(LinuxWorkspaceTest, TheFrontmostApplicationFollowsTheActiveWindowAndEachSwitchIsHeard) {
  const Window editor = openWindow("Editor", getpid());
  const Window viewer = openWindow("Viewer", getppid());
  activate(other_, editor);

  LinuxWorkspace workspace(*connection_);
  int activations = 0;
  const Observation observation = workspace.observeActivations([&] { ++activations; });
  const auto frontmostIs = [&](const char* name) {
    return LiveSession::runUntil([&] {
      const auto front = workspace.frontmostApplication();
      return front && front->bundleIdentifier == name;
    });
  };
  EXPECT_TRUE(frontmostIs("Editor"));
  EXPECT_EQ(workspace.frontmostApplication()->processIdentifier, getpid());

  activate(other_, viewer);
  EXPECT_TRUE(frontmostIs("Viewer")) << "an earlier answer outlived the switch";
  EXPECT_EQ(workspace.frontmostApplication()->processIdentifier, getppid());
  activate(other_, editor);
  EXPECT_TRUE(frontmostIs("Editor"));
  EXPECT_EQ(activations, 2);
}

// Two windows of one application are two places to type: a switch between
// them is heard although the frontmost application stays the same.
TEST_F(LinuxWorkspaceTest, TheFocusedWindowFollowsTheActiveWindowWithinOneApplication) {
  const Window first = openWindow("Editor", getpid());
  const Window second = openWindow("Editor", getpid());
  activate(other_, first);

  LinuxWorkspace workspace(*connection_);
  int moves = 0;
  const Observation observation = workspace.observeFocusedWindowChanges([&] { ++moves; });
  const auto focusedIs = [&](Window window) {
    return LiveSession::runUntil([&] { return workspace.focusedWindow() == window; });
  };
  EXPECT_TRUE(focusedIs(first));
  activate(other_, second);
  EXPECT_TRUE(focusedIs(second)) << "an earlier answer outlived the switch";
  activate(other_, first);
  EXPECT_TRUE(focusedIs(first));
  EXPECT_EQ(moves, 2);
  EXPECT_EQ(workspace.frontmostApplication()->bundleIdentifier, "Editor");
}

} // namespace
} // namespace quillon
