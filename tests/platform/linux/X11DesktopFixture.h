#pragma once

#include "X11Session.h"
#include "platform/linux/X11TextWindow.h"
#include "platform/linux/X11Typist.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>

namespace quillon {

// A private Xvfb with openbox that serves every test of a suite; a test is
// skipped, with the reason, where the desktop cannot start.
class X11SuiteTest : public testing::Test {
protected:
  static void SetUpTestSuite() { session_ = X11Session::start(whyNot_).release(); }
  static void TearDownTestSuite() {
    delete session_;
    session_ = nullptr;
  }

  void SetUp() override {
    if (session_ == nullptr) {
      GTEST_SKIP() << "no X test desktop: " << whyNot_;
    }
  }

  static inline X11Session* session_ = nullptr;
  static inline std::string whyNot_;
};

// The product on a real X server, a text window of its own taking the keys,
// and a typist at a keyboard of their own.
class X11DesktopTest : public X11SuiteTest {
protected:
  void SetUp() override {
    X11SuiteTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    session_->setLayouts("us,ru");
    typist_ = X11Typist::open(session_->display());
    window_ = X11TextWindow::open(session_->display());
    ASSERT_TRUE(typist_ && window_);
    // A correction in an earlier test may have left the Russian group locked.
    typist_->selectGroup(0);
    window_->takeFocus();
  }

  void TearDown() override {
    if (session_ != nullptr && session_->productRunning()) {
      // A test may leave it stopped, where a termination would wait.
      session_->signalProduct(SIGCONT);
      session_->signalProduct(SIGTERM);
      session_->waitForProductExit(std::chrono::seconds(5));
    }
    window_.reset();
    typist_.reset();
  }

  // Started, and holding the typist's keyboard.
  void startProduct(const std::vector<std::pair<std::string, PropertyValue>>& settings = {},
                    const std::vector<std::string>& environment = {}) {
    session_->startProduct(settings, environment);
    ASSERT_TRUE(X11Session::waitUntil([this] { return typist_->keyboardGrabbed(); }))
        << session_->productLog();
    ASSERT_TRUE(X11Session::waitUntil([] {
      return session_->productLog().find("Quillon: event tap started") != std::string::npos;
    }));
  }

  bool windowReceives(const std::string& text,
                      std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    return X11Session::waitUntil([&] { return window_->text() == text; }, limit);
  }

  std::unique_ptr<X11Typist> typist_;
  std::unique_ptr<X11TextWindow> window_;
};

} // namespace quillon
