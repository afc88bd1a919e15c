// Folder icons and folder peek on a real session. The icons run with a
// private session bus whose GIO metadata service keeps everything inside a
// temporary home; peek reads a file manager of the tests' own through the
// accessibility bus.

#include "LiveSession.h"
#include "X11DesktopFixture.h"
#include "X11Session.h"
#include "platform/KeyCodes.h"
#include "platform/linux/AtspiFileManagerItems.h"
#include "platform/linux/GtkFloatingPanel.h"
#include "platform/linux/StreamLog.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowProperties.h"
#include "platform/shared/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillon {
namespace {

using namespace std::chrono_literals;

constexpr const char* busDaemon = "/usr/bin/dbus-daemon";
constexpr const char* gioTool = "/usr/bin/gio";
constexpr const char* metadataDaemon = "/usr/libexec/gvfsd-metadata";

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

// The runner's environment with some variables replaced.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> variables(overrides);
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable(*entry);
    const std::string name = variable.substr(0, variable.find('='));
    const bool replaced = std::any_of(overrides.begin(), overrides.end(), [&](const auto& given) {
      return given.starts_with(name + "=");
    });
    if (!replaced) {
      variables.push_back(variable);
    }
  }
  return variables;
}

// A child process with its standard input on a pipe and its output in a
// file; ended and reaped when this goes.
class Child {
public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
        const std::filesystem::path& output) {
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> arguments;
    for (const auto& argument : argv) {
      arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);
    std::vector<char*> variables;
    for (const auto& variable : environment) {
      variables.push_back(const_cast<char*>(variable.c_str()));
    }
    variables.push_back(nullptr);
    if (posix_spawn(&process_, arguments[0], &actions, nullptr, arguments.data(),
                    variables.data()) != 0) {
      process_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    input_ = input[1];
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (input_ >= 0) {
      ::close(input_);
    }
    if (process_ > 0) {
      ::kill(process_, SIGTERM);
      ::waitpid(process_, nullptr, 0);
    }
  }
  bool running() const { return process_ > 0; }
  void send(const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

private:
  pid_t process_ = -1;
  int input_ = -1;
};

std::string fileText(const std::filesystem::path& file) {
  std::ifstream in(file);
  return {std::istreambuf_iterator<char>(in), {}};
}

class X11FinderIconsTest : public testing::Test {
protected:
  void SetUp() override {
    for (const char* tool : {busDaemon, gioTool, metadataDaemon}) {
      if (!std::filesystem::exists(tool)) {
        GTEST_SKIP() << tool << " is not installed (Debian packages dbus, libglib2.0-bin, "
                     << "gvfs-daemons): live folder icon tests skipped";
      }
    }
    home_ = root_.path() / "home";
    std::filesystem::create_directories(desktop());
    std::filesystem::create_directories(root_.path() / "data");
    std::filesystem::create_directories(root_.path() / "cache");
    // The metadata service the bus starts keeps its store under this
    // environment's data folder, never the runner's.
    sessionEnvironment_ = environmentWith(
        {"HOME=" + home_.string(), "XDG_DATA_HOME=" + (root_.path() / "data").string(),
         "XDG_CACHE_HOME=" + (root_.path() / "cache").string(),
         "XDG_CONFIG_HOME=" + (home_ / ".config").string(), "GIO_USE_VFS=gvfs", "NO_AT_BRIDGE=1"});
    const auto addressFile = root_.path() / "bus-address";
    bus_.emplace(std::vector<std::string>{busDaemon, "--session", "--nofork", "--nopidfile",
                                          "--print-address=1"},
                 sessionEnvironment_, addressFile);
    ASSERT_TRUE(bus_->running());
    ASSERT_TRUE(waitUntil([&] { return fileText(addressFile).find('\n') != std::string::npos; }));
    const std::string address = fileText(addressFile);
    sessionEnvironment_.insert(sessionEnvironment_.begin(),
                               "DBUS_SESSION_BUS_ADDRESS=" + address.substr(0, address.find('\n')));
  }

  std::filesystem::path desktop() const { return home_ / "Desktop"; }
  std::filesystem::path pictures() const {
    return root_.path() / "cache" / "quillon" / "folder-icons";
  }

  // What GIO says the folder's custom icon is, as any program of the session
  // would read it.
  std::string customIcon(const std::filesystem::path& folder) {
    const auto output = root_.path() / "gio-info.txt";
    {
      Child gio({gioTool, "info", "-a", "metadata::custom-icon", folder.string()},
                sessionEnvironment_, output);
      waitUntil([&] { return fileText(output).find("attributes:") != std::string::npos; }, 5s);
    }
    const std::string text = fileText(output);
    const std::string key = "metadata::custom-icon: ";
    const auto at = text.find(key);
    if (at == std::string::npos) {
      return {};
    }
    const auto start = at + key.size();
    return text.substr(start, text.find('\n', start) - start);
  }

  std::size_t pictureCount() const {
    std::error_code error;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator entries(pictures(), error), end;
         !error && entries != end; entries.increment(error)) {
      ++count;
    }
    return count;
  }

  TemporaryDirectory root_{"quillon-finder-live"};
  std::filesystem::path home_;
  std::vector<std::string> sessionEnvironment_;
  std::optional<Child> bus_;
};

TEST_F(X11FinderIconsTest, DesktopFolderGetsItsIconRedrawsOnANewFileAndStopClearsIt) {
  const auto photos = desktop() / "Photos";
  std::filesystem::create_directories(photos);
  std::ofstream(photos / "a.txt") << "a";

  Child probe({QUILLON_FOLDER_ICONS_PROBE}, sessionEnvironment_, root_.path() / "probe.log");
  ASSERT_TRUE(probe.running());
  probe.send("start");
  std::string first;
  ASSERT_TRUE(waitUntil([&] {
    first = customIcon(photos);
    return first.starts_with("file://");
  })) << fileText(root_.path() / "probe.log");
  EXPECT_NE(first.find(pictures().string()), std::string::npos) << first;
  EXPECT_EQ(pictureCount(), 1u);

  // Only inotify can tell: the periodic pass is 30 s away.
  std::ofstream(photos / "b.txt") << "b";
  std::string second;
  ASSERT_TRUE(waitUntil([&] {
    second = customIcon(photos);
    return !second.empty() && second != first;
  })) << fileText(root_.path() / "probe.log");
  // The earlier version's picture is gone with it.
  EXPECT_EQ(pictureCount(), 1u);

  probe.send("stop");
  ASSERT_TRUE(waitUntil([&] { return customIcon(photos).empty(); }))
      << fileText(root_.path() / "probe.log");
  EXPECT_TRUE(waitUntil([&] { return pictureCount() == 0; }));
  probe.send("quit");
}

struct Cell {
  std::string name;
  Rect frame;
};

// The cells the client reports once its window is drawn.
std::vector<Cell> cellsIn(const std::string& output) {
  std::vector<Cell> cells;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string word;
    Cell cell;
    if (fields >> word && word == "cell" &&
        fields >> cell.name >> cell.frame.origin.x >> cell.frame.origin.y >>
            cell.frame.size.width >> cell.frame.size.height) {
      cells.push_back(cell);
    }
  }
  return cells;
}

// A mapped window of the given name, anywhere in the tree: under a window
// manager, clients are children of its frames.
std::optional<Window> viewableWindowNamed(Display* display, const std::string& title) {
  std::vector<Window> pending{DefaultRootWindow(display)};
  while (!pending.empty()) {
    const Window window = pending.back();
    pending.pop_back();
    char* name = nullptr;
    XWindowAttributes attributes{};
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
      const bool named = title == name;
      XFree(name);
      if (named && XGetWindowAttributes(display, window, &attributes) != 0 &&
          attributes.map_state == IsViewable) {
        return window;
      }
    }
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0 &&
        children != nullptr) {
      pending.insert(pending.end(), children, children + count);
      XFree(children);
    }
  }
  return std::nullopt;
}

// The shared live session, whose private session bus starts the
// accessibility bus for the file managers shown on it.
class X11FileManagerFixture : public testing::Test {
protected:
  void SetUp() override {
    session_ = LiveSession::shared(whyNot_);
    if (session_ == nullptr) {
      GTEST_SKIP() << whyNot_;
    }
    // The accessibility bus the client starts names its socket after the
    // display it is given, so sessions of tests run side by side keep apart.
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_NE(bus, nullptr);
    GVariantBuilder variables;
    g_variant_builder_init(&variables, G_VARIANT_TYPE("a{ss}"));
    g_variant_builder_add(&variables, "{ss}", "DISPLAY", session_->displayName().c_str());
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "UpdateActivationEnvironment", g_variant_new("(a{ss})", &variables), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    ASSERT_NE(reply, nullptr);
    g_variant_unref(reply);
    g_object_unref(bus);
    for (const auto* name : {"Alpha", "Beta"}) {
      std::filesystem::create_directories(root_.path() / "shown" / name);
    }
    std::ofstream(root_.path() / "shown" / "notes.txt") << "x";
    std::string error;
    connection_ = X11Connection::open(session_->displayName(), error);
    ASSERT_TRUE(connection_) << error;
    display_ = connection_->display();
  }
  void TearDown() override { client_.reset(); }

  LiveSession* session_ = nullptr;
  std::string whyNot_;
  std::unique_ptr<X11Connection> connection_;
  TemporaryDirectory root_{"quillon-peek-live"};
  Display* display_ = nullptr;
  std::optional<Child> client_;
  std::ostringstream logText_;
  StreamLog log_{logText_};
};

class X11FinderPeekTest : public X11FileManagerFixture, public testing::WithParamInterface<bool> {
protected:
  // The client's window, with the accessibility bridge GTK would load for
  // any user.
  std::vector<Cell> startClient(bool grid) {
    const auto output = root_.path() / "client.log";
    std::vector<std::string> argv{QUILLON_FILE_MANAGER_CLIENT, (root_.path() / "shown").string()};
    if (grid) {
      argv.emplace_back("--grid");
    }
    client_.emplace(argv, environmentWith({"NO_AT_BRIDGE=0"}), output);
    EXPECT_TRUE(waitUntil([&] { return fileText(output).find("ready") != std::string::npos; }))
        << fileText(output);
    return cellsIn(fileText(output));
  }
};

TEST_P(X11FinderPeekTest, TheItemUnderThePointerIsTheEntryOfTheWindowsFolder) {
  const auto cells = startClient(GetParam());
  ASSERT_EQ(cells.size(), 3u);
  AtspiFileManagerItems items(*connection_, log_);
  for (const Cell& cell : cells) {
    const int x = static_cast<int>(cell.frame.midX());
    const int y = static_cast<int>(cell.frame.midY());
    std::optional<FileManagerItem> item;
    // The bridge registers the window's accessibles shortly after it shows.
    ASSERT_TRUE(waitUntil([&] {
      item = items.itemAt(x, y);
      return item.has_value();
    })) << cell.name
        << " at " << x << "," << y << "\n"
        << logText_.str();
    EXPECT_EQ(item->path, root_.path() / "shown" / cell.name);
    // The cell's frame, on the screen, holds the point asked about.
    EXPECT_LE(item->frame.origin.x, x);
    EXPECT_GE(item->frame.origin.x + item->frame.size.width, x);
    EXPECT_LE(item->frame.origin.y, y);
    EXPECT_GE(item->frame.origin.y + item->frame.size.height, y);
  }
  // Beside the window, and on its empty part, there is no item.
  EXPECT_FALSE(items.itemAt(1200, 700).has_value());
  EXPECT_FALSE(items.itemAt(550, 450).has_value());
}

constexpr const char* nemo = "/usr/bin/nemo";
constexpr const char* gnomeFiles = "/usr/bin/nautilus";

// A file manager's environment: a home of its own, whose settings are
// written as a user's choices would be.
std::vector<std::string> fileManagerEnvironment(const std::filesystem::path& home,
                                                const std::string& settings,
                                                std::vector<std::string> more) {
  std::filesystem::create_directories(home / ".config/glib-2.0/settings");
  std::ofstream(home / ".config/glib-2.0/settings/keyfile") << settings;
  more.insert(more.end(),
              {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / ".config").string(),
               "XDG_DATA_HOME=" + (home / "data").string(),
               "XDG_CACHE_HOME=" + (home / "cache").string(), "GSETTINGS_BACKEND=keyfile",
               "NO_AT_BRIDGE=0"});
  return environmentWith(more);
}

// Nemo's, with the view given ("list-view", ...) chosen.
std::vector<std::string> nemoEnvironment(const std::filesystem::path& home, const std::string& view,
                                         std::vector<std::string> more) {
  return fileManagerEnvironment(
      home, "[org/nemo/preferences]\ndefault-folder-viewer='" + view + "'\n", std::move(more));
}

// A file manager as a user runs it, in a home of its own, over the folder.
class X11RealFileManagerTest : public X11FileManagerFixture {
protected:
  std::optional<Window> startFileManager(const std::vector<std::string>& argv,
                                         const std::vector<std::string>& environment) {
    client_.emplace(argv, environment, root_.path() / "file-manager.log");
    std::optional<Window> window;
    waitUntil([&] {
      window = viewableWindowNamed(display_, "shown");
      return window.has_value();
    });
    return window;
  }

  // A part of the window, as fractions of its width and height.
  struct Area {
    double left;
    double right;
    double top;
    double bottom;
  };

  // What is found under points spread over an area of the window, `step`
  // pixels apart; how long each lookup took. Every item's frame holds the
  // point it was found at.
  std::map<std::string, FileManagerItem> itemsOver(Window window, Area area, int step,
                                                   AtspiFileManagerItems& items,
                                                   std::vector<std::chrono::microseconds>& took) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, window, &attributes);
    int left = 0;
    int top = 0;
    Window child = None;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &left, &top, &child);
    std::map<std::string, FileManagerItem> found;
    const auto from = [](int origin, int size, double fraction) {
      return origin + static_cast<int>(size * fraction);
    };
    for (int x = from(left, attributes.width, area.left);
         x <= from(left, attributes.width, area.right); x += step) {
      for (int y = from(top, attributes.height, area.top) + step;
           y < from(top, attributes.height, area.bottom); y += step) {
        const auto start = std::chrono::steady_clock::now();
        auto item = items.itemAt(x, y);
        took.push_back(std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start));
        if (item) {
          const Rect& frame = item->frame;
          EXPECT_TRUE(frame.origin.x <= x && x <= frame.origin.x + frame.size.width &&
                      frame.origin.y <= y && y <= frame.origin.y + frame.size.height)
              << item->path << " at " << x << "," << y << ": " << frame.origin.x << ","
              << frame.origin.y << " " << frame.size.width << "x" << frame.size.height;
          found.emplace(item->path.filename().string(), std::move(*item));
        }
      }
    }
    return found;
  }

  std::map<std::string, FileManagerItem> itemsDown(Window window, double across,
                                                   AtspiFileManagerItems& items,
                                                   std::vector<std::chrono::microseconds>& took) {
    constexpr int step = 7;
    return itemsOver(window, {across, across, 0, 1}, step, items, took);
  }

  static std::string medianAndSlowest(std::vector<std::chrono::microseconds> took) {
    std::sort(took.begin(), took.end());
    return "median " + std::to_string(took[took.size() / 2].count()) + " us, slowest " +
           std::to_string(took.back().count()) + " us";
  }
};

// Nemo publishes no window locations: its folder comes from its path bar.
class X11NemoPeekTest : public X11RealFileManagerTest {
protected:
  void SetUp() override {
    X11FileManagerFixture::SetUp();
    if (!IsSkipped() && !std::filesystem::exists(nemo)) {
      GTEST_SKIP() << "Nemo is not installed (Debian package nemo): peek over it is untried";
    }
  }

  std::optional<Window> startNemo(const std::string& view) {
    return startFileManager({nemo, "--no-desktop", (root_.path() / "shown").string()},
                            nemoEnvironment(root_.path() / "home", view, {}));
  }
};

TEST_F(X11NemoPeekTest, ItsListViewsEntriesAreFoundAndItsIconViewIsSaidToGiveNoPlaces) {
  auto window = startNemo("list-view");
  ASSERT_TRUE(window) << fileText(root_.path() / "file-manager.log");
  AtspiFileManagerItems items(*connection_, log_);
  // The accessibility bridge registers the window's views shortly after
  // it shows.
  std::map<std::string, FileManagerItem> found;
  std::vector<std::chrono::microseconds> took;
  ASSERT_TRUE(waitUntil([&] {
    took.clear();
    found = itemsDown(*window, 0.4, items, took);
    return found.size() == 3;
  })) << found.size()
      << "\n"
      << logText_.str();
  std::cout << "item lookups over Nemo: " << medianAndSlowest(took) << "\n";
  for (const auto* name : {"Alpha", "Beta", "notes.txt"}) {
    ASSERT_TRUE(found.contains(name)) << name;
    EXPECT_EQ(found.at(name).path, root_.path() / "shown" / name);
  }
  // The sidebar's places are not entries of the folder.
  std::vector<std::chrono::microseconds> ignored;
  EXPECT_TRUE(itemsDown(*window, 0.1, items, ignored).empty());

  client_.reset();
  window = startNemo("icon-view");
  ASSERT_TRUE(window);
  EXPECT_TRUE(waitUntil([&] {
    EXPECT_TRUE(itemsDown(*window, 0.4, items, ignored).empty());
    return logText_.str().find("Quillon FolderPeek: nemo's Icon View gives its items no place on "
                               "the accessibility bus; nothing is peeked there") !=
           std::string::npos;
  })) << logText_.str();
}

// GNOME Files publishes each window's folder, and GTK 4 counts its windows'
// accessibles from inside a margin it draws itself. It runs under a window
// manager, as a user has it.
class X11GnomeFilesPeekTest : public X11RealFileManagerTest {
protected:
  void SetUp() override {
    X11FileManagerFixture::SetUp();
    if (IsSkipped()) {
      return;
    }
    if (!std::filesystem::exists(gnomeFiles)) {
      GTEST_SKIP() << "GNOME Files is not installed (Debian package nautilus): peek over it is "
                      "untried";
    }
    windowManager_.emplace(std::vector<std::string>{"/usr/bin/openbox"}, environmentWith({}),
                           root_.path() / "openbox.log");
    const X11WindowProperties properties(*connection_);
    ASSERT_TRUE(waitUntil([&] {
      return properties.windows(connection_->root(), "_NET_SUPPORTING_WM_CHECK").size() == 1;
    })) << fileText(root_.path() / "openbox.log");
  }

  std::optional<Window> startGnomeFiles(const std::string& view) {
    return startFileManager(
        {gnomeFiles, "--new-window", (root_.path() / "shown").string()},
        fileManagerEnvironment(
            root_.path() / "home",
            "[org/gnome/nautilus/preferences]\ndefault-folder-viewer='" + view + "'\n", {}));
  }

  std::optional<Child> windowManager_;
};

TEST_F(X11GnomeFilesPeekTest, ItsGridAndListEntriesAreFoundWhereTheyAreDrawn) {
  AtspiFileManagerItems items(*connection_, log_);
  for (const std::string view : {"list-view", "icon-view"}) {
    SCOPED_TRACE(view);
    const auto window = startGnomeFiles(view);
    ASSERT_TRUE(window) << fileText(root_.path() / "file-manager.log");
    // The folder loads, and its cells register, a moment after the window
    // shows. Where the grid and the list's name column lie.
    constexpr Area entries{0.3, 0.95, 0.1, 0.6};
    constexpr int step = 19;
    std::map<std::string, FileManagerItem> found;
    std::vector<std::chrono::microseconds> took;
    ASSERT_TRUE(waitUntil(
        [&] {
          took.clear();
          found = itemsOver(*window, entries, step, items, took);
          return found.size() == 3;
        },
        60s))
        << found.size() << "\n"
        << logText_.str();
    std::cout << "item lookups over GNOME Files' " << view << ": " << medianAndSlowest(took)
              << "\n";
    for (const auto* name : {"Alpha", "Beta", "notes.txt"}) {
      ASSERT_TRUE(found.contains(name)) << name;
      EXPECT_EQ(found.at(name).path, root_.path() / "shown" / name);
    }
    // The sidebar's places are not entries of the folder.
    std::vector<std::chrono::microseconds> ignored;
    EXPECT_TRUE(itemsOver(*window, {0.02, 0.2, 0.1, 0.9}, step, items, ignored).empty());
    client_.reset();
  }
}

class OneScreen final : public Screens {
public:
  std::vector<ScreenInfo> screens() const override { return {screen}; }
  std::optional<ScreenInfo> mainScreen() const override { return screen; }
  Observation observeParametersChanged(std::function<void()>) override { return {}; }
  ScreenInfo screen{{{0, 0}, {1280, 800}}, {{0, 0}, {1280, 800}}};
};

// The panel counts from the bottom-left as the product does; its window
// sits where X counts from the top-left, takes no focus, and its cells
// hand back their paths.
TEST(GtkFloatingPanelTest, PlacedFromTheBottomLeftItsCellsReportTheirPaths) {
  std::string whyNot;
  if (LiveSession::shared(whyNot) == nullptr) {
    GTEST_SKIP() << whyNot;
  }
  const OneScreen screen;
  std::vector<std::string> chosen;
  GtkFloatingPanel panel({}, screen, [&](const std::string& path) { chosen.push_back(path); });
  FloatingPanelContent content;
  content.title = "Photos";
  content.rows = {{{"a.txt", "/tmp/a.txt"}, {"b", "/tmp/b"}, {"c", "/tmp/c"}, {"d", "/tmp/d"}},
                  {{"e", "/tmp/e"}}};
  content.contentSize = {368, 232};
  panel.setContent(content);
  panel.setFrameOrigin({100, 200});
  panel.orderFrontRegardless();
  ASSERT_TRUE(LiveSession::runUntil([&] {
    GdkWindow* window = gtk_widget_get_window(panel.window());
    return window != nullptr && gdk_window_is_viewable(window) != FALSE;
  }));
  LiveSession::settle();
  int x = 0;
  int y = 0;
  gdk_window_get_root_origin(gtk_widget_get_window(panel.window()), &x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 800 - 200 - 232);
  EXPECT_EQ(gtk_window_get_accept_focus(GTK_WINDOW(panel.window())), FALSE);
  EXPECT_TRUE(panel.isVisible());

  const auto buttons = panel.cellButtons();
  ASSERT_EQ(buttons.size(), 5u);
  for (GtkWidget* button : buttons) {
    gtk_button_clicked(GTK_BUTTON(button));
  }
  std::sort(chosen.begin(), chosen.end());
  EXPECT_EQ(chosen,
            (std::vector<std::string>{"/tmp/a.txt", "/tmp/b", "/tmp/c", "/tmp/d", "/tmp/e"}));
  panel.orderOut();
  EXPECT_FALSE(panel.isVisible());
}

// The product itself on a desktop with a window manager: ⌘-hover over a
// folder's cell shows the peek panel, which takes no focus.
class X11FolderPeekProductTest : public X11SuiteTest {
protected:
  void SetUp() override {
    X11SuiteTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    std::filesystem::create_directories(root_.path() / "shown" / "Alpha");
    std::ofstream(root_.path() / "shown" / "Alpha" / "inside.txt") << "x";
    std::ofstream(root_.path() / "shown" / "notes.txt") << "x";
    display_ = XOpenDisplay(session_->display().c_str());
    ASSERT_NE(display_, nullptr);
    // Windows come and go while the tree is walked.
    previousHandler_ = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const auto addressFile = root_.path() / "bus-address";
    bus_.emplace(std::vector<std::string>{busDaemon, "--session", "--nofork", "--nopidfile",
                                          "--print-address=1"},
                 environmentWith({"DISPLAY=" + session_->display()}), addressFile);
    ASSERT_TRUE(waitUntil([&] { return fileText(addressFile).find('\n') != std::string::npos; }));
    const std::string address = fileText(addressFile);
    busVariable_ = "DBUS_SESSION_BUS_ADDRESS=" + address.substr(0, address.find('\n'));
  }

  void TearDown() override {
    if (session_ != nullptr && session_->productRunning()) {
      session_->signalProduct(SIGTERM);
      session_->waitForProductExit(5s);
    }
    client_.reset();
    bus_.reset();
    if (display_ != nullptr) {
      XCloseDisplay(display_);
      XSetErrorHandler(previousHandler_);
    }
  }

  // The panel's window while it is mapped.
  std::optional<Window> shownPanel() { return viewableWindowNamed(display_, "Quillon peek"); }

  std::optional<unsigned long> activeWindow() {
    const Atom property = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), property, 0, 1, False,
                           AnyPropertyType, &type, &format, &count, &remaining, &data) != Success ||
        data == nullptr) {
      return std::nullopt;
    }
    const unsigned long window = count == 1 ? *reinterpret_cast<unsigned long*>(data) : 0;
    XFree(data);
    return window;
  }

  void movePointer(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XFlush(display_);
  }

  TemporaryDirectory root_{"quillon-peek-product"};
  Display* display_ = nullptr;
  std::optional<Child> bus_;
  std::optional<Child> client_;
  std::string busVariable_;
  XErrorHandler previousHandler_ = nullptr;
};

// Opening a Desktop folder in the file manager is noticed: its icon is
// redrawn at once rather than at the next pass.
TEST_F(X11FolderPeekProductTest, ADesktopFolderOpenedInNemoIsSeenByTheWindowWatcher) {
  if (!std::filesystem::exists(nemo)) {
    GTEST_SKIP() << "Nemo is not installed (Debian package nemo): the watcher over it is untried";
  }
  const auto photos = session_->productHome() / "Desktop" / "Photos";
  std::filesystem::create_directories(photos);
  session_->startProduct({}, {busVariable_});
  ASSERT_TRUE(waitUntil([&] {
    return session_->productLog().find("FinderWindowWatcher: Finder not running yet") !=
           std::string::npos;
  })) << session_->productLog();

  const auto environment = nemoEnvironment(root_.path() / "nemo-home", "list-view",
                                           {"DISPLAY=" + session_->display(), busVariable_});
  client_.emplace(std::vector<std::string>{nemo, "--no-desktop", (root_.path() / "shown").string()},
                  environment, root_.path() / "nemo.log");
  ASSERT_TRUE(waitUntil([&] {
    return session_->productLog().find("FinderWindowWatcher: attached to Finder pid=") !=
           std::string::npos;
  })) << session_->productLog();
  // A second start hands the folder to the running Nemo, which opens a
  // window for it.
  const Child opener(std::vector<std::string>{nemo, "--no-desktop", photos.string()}, environment,
                     root_.path() / "opener.log");
  EXPECT_TRUE(waitUntil([&] {
    return session_->productLog().find("FinderWindowWatcher: window opened for " +
                                       photos.string()) != std::string::npos;
  })) << session_->productLog();
}

TEST_F(X11FolderPeekProductTest, SuperHoverOverAFolderShowsThePanelWithoutTakingTheFocus) {
  const auto clientLog = root_.path() / "client.log";
  client_.emplace(
      std::vector<std::string>{QUILLON_FILE_MANAGER_CLIENT, (root_.path() / "shown").string()},
      environmentWith({"DISPLAY=" + session_->display(), busVariable_, "NO_AT_BRIDGE=0"}),
      clientLog);
  ASSERT_TRUE(waitUntil([&] { return fileText(clientLog).find("ready") != std::string::npos; }))
      << fileText(clientLog);
  const auto cells = cellsIn(fileText(clientLog));
  ASSERT_EQ(cells.size(), 2u);
  const Cell& folder = cells.front();
  ASSERT_EQ(folder.name, "Alpha");
  const auto active = activeWindow();

  session_->startProduct({{"folderPeekEnabled", true}}, {busVariable_});
  auto typist = X11Typist::open(session_->display());
  ASSERT_TRUE(typist);
  ASSERT_TRUE(X11Session::waitUntil([&] { return typist->keyboardGrabbed(); }))
      << session_->productLog();

  typist->pressModifier(keycode::Command);
  movePointer(static_cast<int>(folder.frame.midX()) - 3, static_cast<int>(folder.frame.midY()));
  movePointer(static_cast<int>(folder.frame.midX()), static_cast<int>(folder.frame.midY()));
  const auto moved = std::chrono::steady_clock::now();
  std::optional<Window> panel;
  ASSERT_TRUE(waitUntil(
      [&] {
        panel = shownPanel();
        if (!panel) {
          // The bridge may register the window's cells only now: point again.
          movePointer(static_cast<int>(folder.frame.midX()) + 1,
                      static_cast<int>(folder.frame.midY()));
        }
        return panel.has_value();
      },
      20s))
      << session_->productLog();
  const auto shownAfter = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - moved);
  std::cout << "hover to panel shown: " << shownAfter.count() << " ms\n";
  // Clear of the folder's cell (below it here: above, it would leave the
  // screen), and the file manager still active.
  int panelX = 0;
  int panelY = 0;
  Window child = None;
  XTranslateCoordinates(display_, *panel, DefaultRootWindow(display_), 0, 0, &panelX, &panelY,
                        &child);
  XWindowAttributes attributes{};
  XGetWindowAttributes(display_, *panel, &attributes);
  const double cellTop = folder.frame.origin.y;
  const double cellBottom = cellTop + folder.frame.size.height;
  EXPECT_TRUE(panelY >= cellBottom || panelY + attributes.height <= cellTop)
      << panelY << " " << attributes.height << " " << cellTop << " " << cellBottom;
  EXPECT_EQ(activeWindow(), active);

  // Without Super, leaving the folder and the panel hides it.
  // A move made before the release has reached the product still counts
  // as ⌘-hover, so the pointer keeps moving as a user's would.
  typist->releaseModifier(keycode::Command);
  int step = 0;
  EXPECT_TRUE(waitUntil(
      [&] {
        ++step;
        movePointer(1200 + step % 2 * 10, 780);
        return !shownPanel().has_value();
      },
      10s))
      << session_->productLog();
}

INSTANTIATE_TEST_SUITE_P(ListAndGrid, X11FinderPeekTest, testing::Values(false, true),
                         [](const auto& shown) { return shown.param ? "Grid" : "List"; });

} // namespace
} // namespace quillon
