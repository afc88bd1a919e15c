// The clipboard history and the dictation trigger of the product running on
// a real X server with openbox, against GTK clients of the tests' own
// (tests/platform/linux/clipboard_client.py).

#include "X11DesktopFixture.h"
#include "X11Session.h"
#include "platform/KeyCodes.h"
#include "platform/linux/X11PasteTargets.h"
#include "platform/shared/PlistDefaults.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/SimLog.h"
#include "platform/xkb/KeyCodeTable.h"
#include "util/ClipboardHistory.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quillon {
namespace {

using namespace std::chrono_literals;

constexpr const char* python = "/usr/bin/python3";
constexpr const char* productDomain = "com.quillon.Quillon";

std::string readFile(const std::filesystem::path& path) {
  std::ifstream stream(path);
  return std::string(std::istreambuf_iterator<char>(stream), {});
}

// One run of the tests' GTK client, ended when this goes.
class ClientProcess {
public:
  ClientProcess(const std::string& display, const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment = {}) {
    std::vector<std::string> words{python, std::string(QUILLON_SOURCE_DIR) +
                                               "/tests/platform/linux/clipboard_client.py"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<std::string> variables(environment);
    variables.insert(variables.end(), {"DISPLAY=" + display, "NO_AT_BRIDGE=1", "GDK_BACKEND=x11"});
    const auto given = [&](const std::string& entry) {
      const std::string name = entry.substr(0, entry.find('=') + 1);
      return std::any_of(variables.begin(), variables.end(),
                         [&](const std::string& variable) { return variable.starts_with(name); });
    };
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string entry(*variable);
      if (!given(entry) && !entry.starts_with("WAYLAND_DISPLAY=")) {
        variables.push_back(entry);
      }
    }
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : variables) {
      envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, python, nullptr, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
  }
  ClientProcess(const ClientProcess&) = delete;
  ClientProcess& operator=(const ClientProcess&) = delete;
  ~ClientProcess() { end(); }

  void end() {
    if (pid_ <= 0) {
      return;
    }
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

private:
  pid_t pid_ = -1;
};

// A session bus of the test's own, so that the product's accessibility
// bridge and the screen reader meet on an accessibility bus nothing else
// uses; ended with the test.
class PrivateSessionBus {
public:
  explicit PrivateSessionBus(const std::filesystem::path& addressFile) {
    std::vector<std::string> words{"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                                   "--print-address=1"};
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, addressFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ > 0 && X11Session::waitUntil(
                        [&] { return readFile(addressFile).find('\n') != std::string::npos; })) {
      const std::string printed = readFile(addressFile);
      address_ = printed.substr(0, printed.find('\n'));
    }
  }
  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;
  ~PrivateSessionBus() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

  std::optional<std::string> variable() const {
    return address_ ? std::optional("DBUS_SESSION_BUS_ADDRESS=" + *address_) : std::nullopt;
  }

private:
  pid_t pid_ = -1;
  std::optional<std::string> address_;
};

// The product's menu windows as the X server has them: mapped,
// override-redirect and bigger than the one-pixel anchor.
struct ShownMenu {
  Window window = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class X11ClipboardTest : public X11DesktopTest {
protected:
  void SetUp() override {
    X11DesktopTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
      return;
    }
    display_ = XOpenDisplay(session_->display().c_str());
    ASSERT_NE(display_, nullptr);
    // A menu may close while it is read; Xlib's default would end the whole
    // run and leave the clients behind.
    previousHandler_ = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  void TearDown() override {
    clients_.clear();
    if (display_ != nullptr) {
      XCloseDisplay(display_);
      XSetErrorHandler(previousHandler_);
    }
    X11DesktopTest::TearDown();
  }

  // Another application copies text; answers once the product kept it.
  bool copyAndWaitForHistory(const std::string& text, const std::vector<std::string>& expected) {
    offer(text, false);
    return X11Session::waitUntil([&] { return storedHistory() == expected; }, 10s);
  }
  void offer(const std::string& text, bool secret) {
    const auto ready = folder_.path() / ("offer" + std::to_string(clients_.size()));
    std::vector<std::string> arguments{"offer", text, ready.string()};
    if (secret) {
      arguments.push_back("--secret");
    }
    // The previous owner stays until the new one took the clipboard.
    clients_.push_back(std::make_unique<ClientProcess>(session_->display(), arguments));
    ASSERT_TRUE(X11Session::waitUntil([&] { return readFile(ready) == "owner"; }, 10s));
  }

  std::vector<std::string> storedHistory() const {
    SimLog log;
    PlistDefaults stored(session_->productConfigFolder(), log);
    const auto value = stored.object(productDomain, ClipboardHistory::storeKey);
    std::vector<std::string> texts;
    if (const PropertyArray* array = value ? value->get<PropertyArray>() : nullptr) {
      for (const PropertyValue& element : *array) {
        texts.push_back(element.asString().value_or("?"));
      }
    }
    return texts;
  }

  // An entry window of the given class, active; its text file.
  std::filesystem::path openEntry(const std::string& wmClass, bool terminal) {
    const auto out = folder_.path() / ("entry" + std::to_string(clients_.size()));
    std::vector<std::string> arguments{"entry", out.string(), wmClass};
    if (terminal) {
      arguments.push_back("--terminal");
    }
    clients_.push_back(std::make_unique<ClientProcess>(session_->display(), arguments));
    const auto ready = out.string() + ".ready";
    EXPECT_TRUE(X11Session::waitUntil([&] { return !readFile(ready).empty(); }, 10s));
    entryWindow_ = std::stoul(readFile(ready).empty() ? "0" : readFile(ready));
    EXPECT_TRUE(session_->activateWindow(entryWindow_));
    return out;
  }

  std::optional<ShownMenu> shownMenu() const {
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::optional<ShownMenu> found;
    if (XQueryTree(display_, DefaultRootWindow(display_), &rootReturn, &parent, &children,
                   &count) == 0) {
      return found;
    }
    for (unsigned index = 0; index < count; ++index) {
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(display_, children[index], &attributes) == 0 ||
          attributes.map_state != IsViewable || attributes.override_redirect == False ||
          attributes.width < 8 || attributes.height < 8 || !isOnScreen(attributes)) {
        continue;
      }
      found = ShownMenu{children[index], attributes.x, attributes.y, attributes.width,
                        attributes.height};
    }
    XFree(children);
    return found;
  }

  // GTK maps a menu off the screen before it moves it under the pointer;
  // only its final place is what the user sees.
  static bool isOnScreen(const XWindowAttributes& attributes) {
    return attributes.x >= 0 && attributes.y >= 0 &&
           attributes.x + attributes.width <= WidthOfScreen(attributes.screen) &&
           attributes.y + attributes.height <= HeightOfScreen(attributes.screen);
  }

  void movePointer(int x, int y) {
    XWarpPointer(display_, 0, DefaultRootWindow(display_), 0, 0, 0, 0, x, y);
    XSync(display_, False);
  }

  // The history pop-up opened with its hotkey; how long it took to show.
  std::optional<std::chrono::milliseconds> openPopUp() {
    const auto start = std::chrono::steady_clock::now();
    typist_->press(keycode::V, flag::Option | flag::Shift);
    if (!X11Session::waitUntil([&] { return shownMenu().has_value(); }, 10s)) {
      return std::nullopt;
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }

  bool windowGotH() const {
    return (" " + window_->keycodeLog())
               .find(" " + std::to_string(*xkbKeycodeFor(keycode::H)) + " ") != std::string::npos;
  }

  void pickItem(int position) {
    for (int step = 0; step < position; ++step) {
      typist_->press(keycode::DownArrow, 0);
    }
    typist_->press(keycode::Return, 0);
  }

  Display* display_ = nullptr;
  XErrorHandler previousHandler_ = nullptr;
  TemporaryDirectory folder_{"quillon-clipboard-test"};
  std::vector<std::unique_ptr<ClientProcess>> clients_;
  Window entryWindow_ = 0;
};

TEST_F(X11ClipboardTest, ThePopUpOpensAtThePointerAndAPickPastesIntoTheGtkEntry) {
  startProduct();
  ASSERT_TRUE(copyAndWaitForHistory("first entry", {"first entry"})) << session_->productLog();
  ASSERT_TRUE(copyAndWaitForHistory("second entry", {"second entry", "first entry"}));
  const auto text = openEntry("QuillonEntry", false);

  movePointer(500, 400);
  const auto shownAfter = openPopUp();
  ASSERT_TRUE(shownAfter) << session_->productLog();
  std::cout << "hotkey to pop-up shown: " << shownAfter->count() << " ms\n";
  const ShownMenu menu = *shownMenu();
  EXPECT_NEAR(menu.x, 500, 12);
  EXPECT_NEAR(menu.y, 400, 12);
  // Something is drawn there: the entries' titles on the menu's background.
  XImage* image = XGetImage(display_, DefaultRootWindow(display_), menu.x, menu.y,
                            static_cast<unsigned>(menu.width), static_cast<unsigned>(menu.height),
                            AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  std::set<unsigned long> colours;
  for (int y = 0; y < menu.height; y += 2) {
    for (int x = 0; x < menu.width; x += 2) {
      colours.insert(XGetPixel(image, x, y));
    }
  }
  XDestroyImage(image);
  EXPECT_GT(colours.size(), 3u);

  // The second line is the older text.
  pickItem(2);
  EXPECT_TRUE(X11Session::waitUntil([&] { return readFile(text) == "first entry"; }, 10s))
      << readFile(text) << "\n"
      << session_->productLog();
  EXPECT_EQ(readFile(text.string() + ".keys"), "ctrl+v\n");
  EXPECT_EQ(session_->clipboardText(), "first entry");
  EXPECT_FALSE(shownMenu());
  EXPECT_EQ(storedHistory(), (std::vector<std::string>{"second entry", "first entry"}))
      << "picking does not reorder";
}

TEST_F(X11ClipboardTest, ThePopUpIsAMenuAScreenReaderReads) {
  const PrivateSessionBus bus(folder_.path() / "bus-address");
  const auto busVariable = bus.variable();
  ASSERT_TRUE(busVariable);
  startProduct({}, {*busVariable, "NO_AT_BRIDGE=0"});
  ASSERT_TRUE(copyAndWaitForHistory("first entry", {"first entry"})) << session_->productLog();
  ASSERT_TRUE(copyAndWaitForHistory("second entry", {"second entry", "first entry"}));
  movePointer(500, 400);
  ASSERT_TRUE(openPopUp()) << session_->productLog();

  const auto names = folder_.path() / "menu-items";
  ClientProcess reader(session_->display(),
                       {"menu", names.string(), std::to_string(session_->productIdentifier())},
                       {*busVariable});
  ASSERT_TRUE(X11Session::waitUntil([&] { return !readFile(names).empty(); }, 20s))
      << session_->productLog();
  const std::string read = readFile(names);
  const auto second = read.find("second entry");
  const auto first = read.find("first entry");
  EXPECT_NE(second, std::string::npos) << read;
  EXPECT_NE(first, std::string::npos) << read;
  EXPECT_LT(second, first) << "the newest entry comes first:\n" << read;
  typist_->press(keycode::Escape, 0);
  EXPECT_TRUE(X11Session::waitUntil([&] { return !shownMenu(); }));
}

TEST_F(X11ClipboardTest, ATerminalWindowIsPastedIntoWithControlShiftV) {
  EXPECT_TRUE(X11PasteTargets::isTerminalClass("XTerm"));
  EXPECT_TRUE(X11PasteTargets::isTerminalClass("gnome-terminal-server"));
  EXPECT_FALSE(X11PasteTargets::isTerminalClass("Gedit"));
  EXPECT_FALSE(X11PasteTargets::isTerminalClass(""));

  startProduct();
  ASSERT_TRUE(copyAndWaitForHistory("ls -la", {"ls -la"})) << session_->productLog();
  const auto text = openEntry("XTerm", true);
  movePointer(400, 300);
  ASSERT_TRUE(openPopUp()) << session_->productLog();
  pickItem(1);
  EXPECT_TRUE(X11Session::waitUntil([&] { return readFile(text) == "ls -la"; }, 10s))
      << session_->productLog();
  EXPECT_EQ(readFile(text.string() + ".keys"), "ctrl+shift+v\n");
}

TEST_F(X11ClipboardTest, AWindowClosedWhileTheMenuIsOpenGetsNothingAndNoOtherWindowDoes) {
  startProduct();
  ASSERT_TRUE(copyAndWaitForHistory("not for anyone else", {"not for anyone else"}));
  openEntry("QuillonEntry", false);
  movePointer(400, 300);
  ASSERT_TRUE(openPopUp()) << session_->productLog();
  clients_.back()->end();
  pickItem(1);
  EXPECT_TRUE(X11Session::waitUntil(
      [] { return session_->productLog().find("nothing pasted") != std::string::npos; }, 10s))
      << session_->productLog();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(window_->text(), "") << "the test's own text window got the paste";
  EXPECT_EQ(session_->productLog().find("not for anyone else"), std::string::npos);
}

TEST_F(X11ClipboardTest, APasswordManagersSecretIsNotRecorded) {
  startProduct();
  offer("hunter2", true);
  EXPECT_TRUE(X11Session::waitUntil(
      [] { return session_->productLog().find("marked secret") != std::string::npos; }, 10s))
      << session_->productLog();
  ASSERT_TRUE(copyAndWaitForHistory("visible", {"visible"})) << session_->productLog();
  EXPECT_EQ(session_->productLog().find("hunter2"), std::string::npos);
}

TEST_F(X11ClipboardTest, WithNoDictationCommandDictationSaysWhyAndLeavesTheKeys) {
  startProduct();
  EXPECT_NE(session_->productLog().find(
                "Quillon: dictation stays off: this desktop has no system dictation; set "
                "dictationCommand to a speech-to-text command"),
            std::string::npos)
      << session_->productLog();
  typist_->press(keycode::H, flag::Option | flag::Shift);
  EXPECT_TRUE(X11Session::waitUntil([this] { return windowGotH(); })) << window_->keycodeLog();
}

TEST_F(X11ClipboardTest, WithADictationCommandTheKeysRunItAndNeverReachTheWindow) {
  const auto ran = folder_.path() / "dictation-ran";
  startProduct({{"dictationCommand", "/bin/sh -c \"echo ran >> '" + ran.string() + "'\""}});
  typist_->press(keycode::H, flag::Option | flag::Shift);
  EXPECT_TRUE(X11Session::waitUntil([&] { return readFile(ran) == "ran\n"; }, 10s))
      << session_->productLog();
  typist_->press(keycode::H, flag::Option | flag::Shift);
  EXPECT_TRUE(X11Session::waitUntil([&] { return readFile(ran) == "ran\nran\n"; }, 10s));
  EXPECT_FALSE(windowGotH()) << window_->keycodeLog();
  const std::string log = session_->productLog();
  EXPECT_EQ(log.find("dictation stays off"), std::string::npos) << log;
  EXPECT_EQ(log.find(ran.string()), std::string::npos) << "the log names only the program";
}

} // namespace
} // namespace quillon
