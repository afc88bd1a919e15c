#include "platform/linux/LinuxPasteboard.h"

#include "LiveSession.h"
#include "platform/linux/LinuxSound.h"
#include "platform/sim/SimLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <atomic>
#include <poll.h>
#include <thread>

namespace quillon {
namespace {

PropertyData bytes(std::string_view text) {
  return PropertyData(text.begin(), text.end());
}

// A clipboard owner of the old kind: it hands out its text but answers a
// request for the list of targets with nothing.
class TextOnlyOwner {
public:
  TextOnlyOwner(const std::string& displayName, std::string text)
      : display_(XOpenDisplay(displayName.c_str())), text_(std::move(text)) {
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display_, XInternAtom(display_, "CLIPBOARD", False), window_, CurrentTime);
    XFlush(display_);
    thread_ = std::thread([this] { answerUntilStopped(); });
  }
  ~TextOnlyOwner() {
    stop_ = true;
    thread_.join();
    XCloseDisplay(display_);
  }
  TextOnlyOwner(const TextOnlyOwner&) = delete;
  TextOnlyOwner& operator=(const TextOnlyOwner&) = delete;

private:
  void answerUntilStopped() {
    pollfd connection{ConnectionNumber(display_), POLLIN, 0};
    while (!stop_) {
      poll(&connection, 1, 20);
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == SelectionRequest) {
          answer(event.xselectionrequest);
        }
      }
    }
  }

  void answer(const XSelectionRequestEvent& request) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    if (request.target == XInternAtom(display_, "UTF8_STRING", False)) {
      XChangeProperty(display_, request.requestor, request.property, request.target, 8,
                      PropModeReplace, reinterpret_cast<const unsigned char*>(text_.data()),
                      static_cast<int>(text_.size()));
      reply.xselection.property = request.property;
    }
    XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
    XFlush(display_);
  }

  Display* display_;
  Window window_ = None;
  std::string text_;
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

// Two clients of one X server, each with its own connection: what one copies
// the other reads over X, as two applications would.
class LinuxPasteboardTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string whyNot;
    LiveSession* session = LiveSession::shared(whyNot);
    if (session == nullptr) {
      GTEST_SKIP() << whyNot;
    }
    displayName_ = session->displayName();
    otherDisplay_ = gdk_display_open(displayName_.c_str());
    ASSERT_NE(otherDisplay_, nullptr);
    product_.emplace(log_);
    other_.emplace(log_, otherDisplay_);
  }
  void TearDown() override {
    product_.reset();
    other_.reset();
    if (otherDisplay_ != nullptr) {
      gdk_display_close(otherDisplay_);
    }
  }

  std::string displayName_;
  SimLog log_;
  GdkDisplay* otherDisplay_ = nullptr;
  std::optional<LinuxPasteboard> product_;
  std::optional<LinuxPasteboard> other_;
};

TEST_F(LinuxPasteboardTest, TextCrossesBetweenClientsAndEveryChangeIsCounted) {
  const long before = product_->changeCount();
  product_->setString("привет, world");
  EXPECT_EQ(product_->changeCount(), before + 2) << "a clear and a write, counted at once";
  EXPECT_EQ(product_->string(), "привет, world");

  const long otherBefore = other_->changeCount();
  EXPECT_EQ(other_->string(), "привет, world");
  EXPECT_TRUE(LiveSession::runUntil([&] { return other_->changeCount() > otherBefore; }))
      << "the other client never heard of the copy";

  const long productBefore = product_->changeCount();
  other_->setString("copied elsewhere");
  EXPECT_TRUE(LiveSession::runUntil([&] { return product_->changeCount() == productBefore + 1; }));
  EXPECT_EQ(product_->string(), "copied elsewhere");
  LiveSession::settle();
  EXPECT_EQ(product_->changeCount(), productBefore + 1)
      << "one change by another client counts once";
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(LinuxPasteboardTest, TheStartOfATextComesWithItsWholeLengthFromEitherOwner) {
  product_->setString("привет, world");
  EXPECT_EQ(product_->stringStart(4), (PasteboardTextStart{"пр", 19}));
  EXPECT_EQ(other_->stringStart(100), (PasteboardTextStart{"привет, world", 19}));
  other_->setString("elsewhere");
  EXPECT_TRUE(LiveSession::runUntil([&] {
    return product_->stringStart(4) == PasteboardTextStart{"else", 9};
  }));
  other_->clearContents();
  EXPECT_TRUE(LiveSession::runUntil([&] { return !product_->stringStart(4).has_value(); }));
}

TEST_F(LinuxPasteboardTest, OtherTypesAndFileUrlsCrossToo) {
  PasteboardItem first;
  first.representations.emplace(pasteboardtype::PlainText, bytes("two files"));
  first.representations.emplace(pasteboardtype::Png, bytes("\x89PNG not really"));
  first.representations.emplace(pasteboardtype::FileUrl, bytes("file:///tmp/a%20b.txt"));
  first.representations.emplace("com.example.private", bytes("opaque"));
  PasteboardItem second;
  second.representations.emplace(pasteboardtype::FileUrl, bytes("file:///tmp/c.txt"));
  product_->clearContents();
  product_->writeItems({first, second});
  EXPECT_EQ(product_->items(), (std::vector<PasteboardItem>{first, second}));

  const auto seen = other_->items();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], first);
  EXPECT_EQ(seen[1], second);
}

TEST_F(LinuxPasteboardTest, ClearingEmptiesTheClipboardForEveryone) {
  other_->setString("someone else's");
  ASSERT_TRUE(LiveSession::runUntil([&] { return product_->string() == "someone else's"; }));
  const long before = product_->changeCount();
  product_->clearContents();
  EXPECT_EQ(product_->changeCount(), before + 1);
  EXPECT_EQ(product_->items(), std::vector<PasteboardItem>{});
  EXPECT_TRUE(LiveSession::runUntil([&] { return !other_->string().has_value(); }));
  LiveSession::settle();
  EXPECT_EQ(product_->changeCount(), before + 1) << "its own clear is not counted twice";
}

TEST_F(LinuxPasteboardTest, AnOwnerThatListsNoTargetsIsAskedForText) {
  const TextOnlyOwner owner(displayName_, "старый клиент");
  EXPECT_TRUE(LiveSession::runUntil([&] { return product_->string() == "старый клиент"; }))
      << product_->string().value_or("(nothing)");
}

TEST(LinuxSoundTest, AMissingSoundServerIsSaidOnceAndNeverStopsTheProduct) {
  SimLog log;
  LinuxSound sound(log, "no-such-driver");
  sound.play("Pop");
  sound.play("Glass");
  sound.play("Tink");
  const auto lines = log.takeNewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], ::testing::StartsWith("Quillon: sounds are off, no sound server: "));
}

TEST(LinuxSoundTest, EverySoundTheProductPlaysHasAThemeEvent) {
  for (const std::string_view name : {"Pop", "Glass", "Tink", "Bottle", "Submarine"}) {
    EXPECT_TRUE(LinuxSound::themeEventFor(name)) << name;
  }
  EXPECT_NE(LinuxSound::themeEventFor("Tink"), LinuxSound::themeEventFor("Bottle"))
      << "switching on and off must sound different";
}

// Reading from another client runs the main loop while it waits; a read
// from inside that wait must not stack a second wait on the first.
TEST_F(LinuxPasteboardTest, AReadInsideAnotherReadsWaitGetsNothing) {
  other_->setString("slow owner");
  struct Inner {
    LinuxPasteboard* pasteboard;
    bool outerReading = false;
    std::optional<std::vector<PasteboardItem>> items;
  } inner{&*product_};
  // As urgent as the main queue's own work, so it runs while the outer read
  // waits for the owner.
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) {
        auto& read = *static_cast<Inner*>(data);
        if (!read.outerReading) {
          return gboolean{G_SOURCE_CONTINUE};
        }
        read.items = read.pasteboard->items();
        return gboolean{G_SOURCE_REMOVE};
      },
      &inner, nullptr);
  inner.outerReading = true;
  EXPECT_EQ(product_->string(), "slow owner");
  inner.outerReading = false;
  ASSERT_TRUE(inner.items.has_value()) << "the wait never ran the main loop";
  EXPECT_EQ(*inner.items, std::vector<PasteboardItem>{});
  EXPECT_EQ(product_->string(), "slow owner") << "the next read waits as usual";
}

} // namespace
} // namespace quillon
