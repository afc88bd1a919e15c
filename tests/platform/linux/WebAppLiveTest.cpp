// The web engine on a private X server: what a page does in a web app's
// window, and the web app as a process of its own. Slow machines only make
// these tests wait longer; nothing here measures time.

#include "FakeTrayWatcher.h"
#include "LiveSession.h"
#include "platform/PropertyValue.h"
#include "platform/linux/LinuxWebAppPackaging.h"
#include "platform/linux/WebEngineLoader.h"
#include "platform/shared/PropertyListCodec.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/LoopbackHttpServer.h"
#include "platform/sim/SimLog.h"
#include "webapp/ContentBlocking.h"
#include "webapp/WebAppDelegate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// Last: Xlib's macros (None, Status, Bool) would break the headers above.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#ifndef QUILLON_WEBKIT_MODULE_FILE
#error "the build passes the path of the web engine's module it built"
#endif

namespace quillon {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto pageLimit = 60s;

constexpr std::string_view adPage = R"(<html><head><title>loading</title></head><body>
<div class="promo banner_ads">promo</div>
<img src="/pagead/doubleclick.net/ad.png">
<script>
function report() {
  var promo = document.querySelector('.promo');
  document.title = 'promo:' + getComputedStyle(promo).display + ' width:' + window.innerWidth;
}
window.addEventListener('load', report);
window.addEventListener('resize', report);
</script></body></html>)";

constexpr std::string_view cookiePage = R"(<html><head><title>loading</title></head><body>
<script>
var seen = document.cookie || 'none';
document.cookie = 'who=' + location.hash.slice(1) + '; max-age=86400; path=/';
localStorage.setItem('who', location.hash.slice(1));
document.title = 'cookie:' + seen;
</script></body></html>)";

// A page whose image claims 65,535 × 65,535 pixels: 16 GB once decoded.
constexpr std::string_view bombPage = R"(<html><head><title>loading</title></head><body>
<img id="bomb" src="/bomb.png">
<script>
var image = document.getElementById('bomb');
image.onload = function() { document.title = 'image:' + image.naturalWidth; };
image.onerror = function() { document.title = 'image:refused'; };
</script></body></html>)";

std::uint32_t crc32Of(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

std::string bigEndian(std::uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string pngChunk(std::string_view type, std::string_view data) {
  const std::string typed = std::string(type) + std::string(data);
  return bigEndian(static_cast<std::uint32_t>(data.size())) + typed + bigEndian(crc32Of(typed));
}

// A well-formed start of that image: its header, then the first 64 KB of
// its rows (zeros, stored uncompressed), and no end.
std::string decompressionBomb() {
  constexpr std::uint32_t side = 65535;
  const std::string header = bigEndian(side) + bigEndian(side) + std::string("\x08\x06\0\0\0", 5);
  constexpr std::uint16_t storedLength = 65535;
  std::string rows = "\x78\x01\x00";
  rows += static_cast<char>(storedLength & 0xFF);
  rows += static_cast<char>(storedLength >> 8);
  rows += static_cast<char>(~storedLength & 0xFF);
  rows += static_cast<char>((~storedLength >> 8) & 0xFF);
  rows += std::string(storedLength, '\0');
  return "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", header) + pngChunk("IDAT", rows);
}

// WebKit's own sandbox and GPU paths are not available in every container
// the suite runs in; only the tests turn them off.
void allowEngineUnderXvfb() {
  ::setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 1);
  ::setenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS", "1", 1);
  ::setenv("QUILLON_WEBKIT_MODULE", QUILLON_WEBKIT_MODULE_FILE, 1);
}

// The site under test, remembering every path it was asked for.
class Site {
public:
  Site()
      : server_([this](const std::string& path) {
          {
            const std::lock_guard lock(mutex_);
            requested_.push_back(path);
          }
          return reply(path);
        }) {}

  std::string url(std::string_view path) const { return server_.origin() + std::string(path); }
  bool wasAskedFor(std::string_view path) const {
    const std::lock_guard lock(mutex_);
    return std::find(requested_.begin(), requested_.end(), path) != requested_.end();
  }

private:
  static LoopbackHttpServer::Reply reply(const std::string& path) {
    if (path == "/ads" || path == "/ads?again") {
      return {200, std::string(adPage), LoopbackHttpServer::Reply::Kind::Normal};
    }
    if (path.starts_with("/cookie")) {
      return {200, std::string(cookiePage), LoopbackHttpServer::Reply::Kind::Normal};
    }
    if (path == "/huge") {
      constexpr std::size_t tenMegabytes = 10 * 1024 * 1024;
      std::string page = "<html><head><title>huge</title></head><body>";
      while (page.size() < tenMegabytes) {
        page += "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit.</p>\n";
      }
      return {200, page + "</body></html>", LoopbackHttpServer::Reply::Kind::Normal};
    }
    if (path == "/loop") {
      return {302, "", LoopbackHttpServer::Reply::Kind::RedirectLoop};
    }
    if (path == "/bomb") {
      return {200, std::string(bombPage), LoopbackHttpServer::Reply::Kind::Normal};
    }
    if (path == "/bomb.png") {
      return {200, decompressionBomb(), LoopbackHttpServer::Reply::Kind::Normal};
    }
    return {404, "", LoopbackHttpServer::Reply::Kind::Normal};
  }

  mutable std::mutex mutex_;
  std::vector<std::string> requested_;
  LoopbackHttpServer server_;
};

class QuietApplication final : public Application {
public:
  void setActivationPolicy(ActivationPolicy) override {}
  void run(ApplicationDelegate&) override {}
  void terminate() override { terminated = true; }
  int processIdentifier() const override { return ::getpid(); }
  bool terminated = false;
};

// One web app's engine in this process: its views, its data folder.
struct Engine {
  explicit Engine(const fs::path& folder) {
    std::string error;
    loaded = LoadedWebEngine::open({log, application, folder / "data", folder / "cache"}, error);
    EXPECT_NE(loaded, nullptr) << error;
  }

  SimLog log;
  QuietApplication application;
  std::unique_ptr<LoadedWebEngine> loaded;
};

// A view in a shown window, its page title followed.
struct Browser {
  explicit Browser(Engine& engine) {
    WebViewConfiguration configuration;
    configuration.customUserAgent = std::string(WebAppDelegate::UserAgent);
    view = engine.loaded->engine().webViews().makeWebView(configuration, {});
    window = engine.loaded->engine().appWindows().makeWindow({.contentSize = {800, 600}});
    window->setContent(*view);
    window->makeKeyAndOrderFront();
    title = view->observeTitle([this](std::optional<std::string> now) { current = now; });
  }
  bool showsTitle(const std::string& wanted, std::chrono::milliseconds limit = pageLimit) {
    return LiveSession::runUntil([&] { return current == wanted; }, limit);
  }
  bool titleStartsWith(const std::string& prefix) {
    return LiveSession::runUntil([&] { return current && current->starts_with(prefix); },
                                 pageLimit);
  }

  std::unique_ptr<WebView> view;
  std::unique_ptr<AppWindow> window;
  std::optional<std::string> current;
  Observation title;
};

class WebEngineLiveTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string whyNot;
    if (LiveSession::shared(whyNot) == nullptr) {
      GTEST_FAIL() << "no private X server: " << whyNot;
    }
    allowEngineUnderXvfb();
  }

  RuleListPointer compileRules(Engine& engine) {
    RuleListPointer compiled;
    bool answered = false;
    engine.loaded->engine().webViews().defaultRuleListStore()->compile(
        AdBlockRuleListIdentifier, adBlockRulesJSON(), [&](RuleListPointer list, std::string) {
          compiled = std::move(list);
          answered = true;
        });
    EXPECT_TRUE(LiveSession::runUntil([&] { return answered; }, pageLimit));
    return compiled;
  }

  TemporaryDirectory folder{"quillon-webkit-live"};
  Site site;
};

TEST_F(WebEngineLiveTest, BlockingKeepsAdRequestsFromTheServerAndHidesAdElements) {
  Engine engine(folder.path() / "app");
  const RuleListPointer rules = compileRules(engine);
  ASSERT_TRUE(rules);
  Browser browser(engine);
  browser.view->addRuleList(rules);
  browser.view->load(site.url("/ads"), 60s);
  ASSERT_TRUE(browser.titleStartsWith("promo:")) << browser.current.value_or("(none)");
  EXPECT_TRUE(browser.current->starts_with("promo:none"));
  EXPECT_FALSE(site.wasAskedFor("/pagead/doubleclick.net/ad.png"));

  // Blocking off: the same page shows both.
  browser.view->removeRuleList(rules);
  browser.current.reset();
  browser.view->load(site.url("/ads?again"), 60s);
  ASSERT_TRUE(browser.titleStartsWith("promo:")) << browser.current.value_or("(none)");
  EXPECT_TRUE(browser.current->starts_with("promo:block"));
  EXPECT_TRUE(LiveSession::runUntil(
      [&] { return site.wasAskedFor("/pagead/doubleclick.net/ad.png"); }, pageLimit));
}

TEST_F(WebEngineLiveTest, CompiledRulesAreFoundAgainByTheNextLaunch) {
  {
    Engine first(folder.path() / "app");
    ASSERT_TRUE(compileRules(first));
  }
  Engine second(folder.path() / "app");
  bool answered = false;
  RuleListPointer found;
  second.loaded->engine().webViews().defaultRuleListStore()->lookUp(AdBlockRuleListIdentifier,
                                                                    [&](RuleListPointer list) {
                                                                      found = std::move(list);
                                                                      answered = true;
                                                                    });
  ASSERT_TRUE(LiveSession::runUntil([&] { return answered; }, pageLimit));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->identifier(), AdBlockRuleListIdentifier);
}

TEST_F(WebEngineLiveTest, EachWebAppKeepsItsOwnCookiesUntilTheyAreCleared) {
  Engine mail(folder.path() / "mail");
  Engine chat(folder.path() / "chat");
  Browser mailBrowser(mail);
  Browser chatBrowser(chat);

  mailBrowser.view->load(site.url("/cookie#mail"), 60s);
  ASSERT_TRUE(mailBrowser.showsTitle("cookie:none")) << mailBrowser.current.value_or("(none)");
  mailBrowser.view->reload();
  ASSERT_TRUE(mailBrowser.showsTitle("cookie:who=mail")) << mailBrowser.current.value_or("(none)");

  // The same site in another web app has never seen the first one's cookie.
  chatBrowser.view->load(site.url("/cookie#chat"), 60s);
  ASSERT_TRUE(chatBrowser.showsTitle("cookie:none")) << chatBrowser.current.value_or("(none)");

  bool cleared = false;
  mailBrowser.view->removeWebsiteData(WebAppDelegate::cookieDataTypes(), [&] { cleared = true; });
  ASSERT_TRUE(LiveSession::runUntil([&] { return cleared; }, pageLimit));
  mailBrowser.view->reload();
  EXPECT_TRUE(mailBrowser.showsTitle("cookie:none")) << mailBrowser.current.value_or("(none)");
  // Clearing one web app leaves the other's logins alone.
  chatBrowser.view->reload();
  EXPECT_TRUE(chatBrowser.showsTitle("cookie:who=chat")) << chatBrowser.current.value_or("(none)");
}

TEST_F(WebEngineLiveTest, GtkFindsThePublishedIconInTheHicolorTheme) {
  SimLog log;
  const WebAppFolders folders(folder.path() / "share");
  LinuxWebAppPackaging packaging(folders, log);
  const fs::path bundle = folder.path() / "Applications" / "Icon.app";
  const fs::path drawn = folder.path() / "drawn";
  fs::create_directories(drawn);
  for (const AppIconImage& image : packaging.iconImages()) {
    std::ofstream(drawn / image.fileName) << "png";
  }
  ASSERT_TRUE(packaging.makeAppIcon(drawn, bundle / "Contents" / "Resources"));
  ASSERT_EQ(packaging.publish({bundle, bundle / "Contents" / "MacOS" / "Icon",
                               "com.quillon.webapp.icon", "Icon", true}),
            std::nullopt);

  GtkIconTheme* theme = gtk_icon_theme_new();
  gtk_icon_theme_prepend_search_path(theme, (folders.dataHome() / "icons").c_str());
  for (const int pixels : {16, 48, 256}) {
    GtkIconInfo* found = gtk_icon_theme_lookup_icon(theme, "com.quillon.webapp.icon", pixels,
                                                    static_cast<GtkIconLookupFlags>(0));
    ASSERT_NE(found, nullptr) << pixels;
    EXPECT_EQ(fs::path(gtk_icon_info_get_filename(found)),
              folders.icon(pixels, "com.quillon.webapp.icon"));
    g_object_unref(found);
  }
  g_object_unref(theme);
}

// A program of the product's run on the private display with a home of its
// own, ended with the test.
class ProductProcess {
public:
  ProductProcess(fs::path home, fs::path executable, std::string logName)
      : home_(std::move(home)), executable_(std::move(executable)), logName_(std::move(logName)) {}
  ProductProcess(const ProductProcess&) = delete;
  ProductProcess& operator=(const ProductProcess&) = delete;
  ~ProductProcess() { stop(SIGKILL); }

  void start() {
    const std::vector<std::pair<std::string, std::string>> variables{
        {"HOME", home_.string()},
        {"XDG_DATA_HOME", (home_ / "share").string()},
        {"XDG_CONFIG_HOME", (home_ / "config").string()},
        {"XDG_STATE_HOME", (home_ / "state").string()},
        {"XDG_RUNTIME_DIR", (home_ / "runtime").string()}};
    fs::create_directories(home_ / "runtime");
    fs::permissions(home_ / "runtime", fs::perms::owner_all);
    const fs::path log = home_ / (logName_ + ".log");
    process_ = ::fork();
    if (process_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      for (const auto& [name, value] : variables) {
        ::setenv(name.c_str(), value.c_str(), 1);
      }
      const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      ::dup2(output, STDOUT_FILENO);
      ::dup2(output, STDERR_FILENO);
      ::execl(executable_.c_str(), executable_.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  // True once it has ended; a polite stop first, then a forced one.
  void stop(int signal = SIGTERM) {
    if (process_ <= 0) {
      return;
    }
    ::kill(process_, signal);
    if (!LiveSession::runUntil([&] { return ::waitpid(process_, nullptr, WNOHANG) == process_; },
                               20s)) {
      ::kill(process_, SIGKILL);
      ::waitpid(process_, nullptr, 0);
    }
    process_ = -1;
  }
  bool running() const { return process_ > 0 && ::waitpid(process_, nullptr, WNOHANG) == 0; }
  // Resident memory in kB, as the kernel counts it.
  long residentKilobytes() const {
    std::ifstream status("/proc/" + std::to_string(process_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.starts_with("VmRSS:")) {
        return std::stol(line.substr(6));
      }
    }
    return 0;
  }
  // Whether a library whose path holds this name is mapped.
  bool maps(std::string_view library) const {
    std::ifstream maps("/proc/" + std::to_string(process_) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
      if (line.find(library) != std::string::npos) {
        return true;
      }
    }
    return false;
  }
  std::string log() const {
    std::ifstream file(home_ / (logName_ + ".log"));
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

private:
  fs::path home_;
  fs::path executable_;
  std::string logName_;
  pid_t process_ = -1;
};

// A web app built by hand as the creator lays it out, run as its own
// process on the private display.
class WebAppProcess {
public:
  WebAppProcess(const fs::path& home, std::string identifier, const std::string& url)
      : identifier_(std::move(identifier)),
        process_(home,
                 home / "Applications" / (identifier_ + ".app") / "Contents" / "MacOS" / "App",
                 identifier_) {
    const fs::path contents = home / "Applications" / (identifier_ + ".app") / "Contents";
    fs::create_directories(contents / "MacOS");
    fs::copy_file(QUILLON_EXECUTABLE, contents / "MacOS" / "App",
                  fs::copy_options::overwrite_existing);
    const PropertyDictionary info{{"CFBundleName", PropertyValue(identifier_)},
                                  {"CFBundleIdentifier", PropertyValue(identifier_)},
                                  {"CFBundleExecutable", PropertyValue("App")},
                                  {"QuillonWebAppURL", PropertyValue(url)}};
    std::ofstream(contents / "Info.plist") << serializePropertyList(info).value();
  }

  void start() { process_.start(); }
  void stop(int signal = SIGTERM) { process_.stop(signal); }
  bool running() const { return process_.running(); }
  const std::string& identifier() const { return identifier_; }

private:
  std::string identifier_;
  ProductProcess process_;
};

// The display as any other client sees it.
class Observer {
public:
  Observer() : display_(XOpenDisplay(nullptr)) {}
  ~Observer() { XCloseDisplay(display_); }
  Observer(const Observer&) = delete;
  Observer& operator=(const Observer&) = delete;

  // The top-level window whose class is the web app's identifier.
  std::optional<Window> windowOf(const std::string& identifier) {
    return find(DefaultRootWindow(display_), identifier);
  }
  std::optional<std::string> titleOf(Window window) {
    const Atom name = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, name, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) != Success ||
        data == nullptr) {
      return std::nullopt;
    }
    std::string title(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  // The page's title once its window shows one that starts so.
  std::optional<std::string> awaitTitle(const std::string& identifier, const std::string& prefix) {
    std::optional<std::string> title;
    LiveSession::runUntil(
        [&] {
          const auto window = windowOf(identifier);
          title = window ? titleOf(*window) : std::nullopt;
          return title && title->starts_with(prefix);
        },
        pageLimit);
    return title;
  }
  // A top-level window shown with this title.
  std::optional<Window> windowTitled(const std::string& title) {
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display_, DefaultRootWindow(display_), &root, &up, &children, &count) == 0) {
      return std::nullopt;
    }
    std::optional<Window> found;
    for (unsigned int index = 0; index < count && !found; ++index) {
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(display_, children[index], &attributes) != 0 &&
          attributes.map_state == IsViewable && titleOf(children[index]) == title) {
        found = children[index];
      }
    }
    XFree(children);
    return found;
  }
  // Text typed into the focused window, as a US keyboard types it.
  void type(const std::string& text) {
    const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
    for (const char character : text) {
      const KeySym wanted = character == '\n'   ? XK_Return
                            : character == '\t' ? XK_Tab
                                                : static_cast<KeySym>(character);
      const ::KeyCode code = XKeysymToKeycode(display_, wanted);
      const bool shifted = XkbKeycodeToKeysym(display_, code, 0, 0) != wanted;
      if (shifted) {
        XTestFakeKeyEvent(display_, shift, True, CurrentTime);
      }
      XTestFakeKeyEvent(display_, code, True, CurrentTime);
      XTestFakeKeyEvent(display_, code, False, CurrentTime);
      if (shifted) {
        XTestFakeKeyEvent(display_, shift, False, CurrentTime);
      }
    }
    XFlush(display_);
  }
  void pressWithControl(Window window, KeySym key) {
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    const KeyCode control = XKeysymToKeycode(display_, XK_Control_L);
    const KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, control, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XTestFakeKeyEvent(display_, control, False, CurrentTime);
    XFlush(display_);
  }

private:
  std::optional<Window> find(Window parent, const std::string& identifier) {
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display_, parent, &root, &up, &children, &count) == 0) {
      return std::nullopt;
    }
    std::optional<Window> found;
    for (unsigned int index = 0; index < count && !found; ++index) {
      XClassHint hint{};
      if (XGetClassHint(display_, children[index], &hint) != 0) {
        const bool matches = hint.res_class != nullptr && identifier == hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
        if (matches) {
          found = children[index];
          break;
        }
      }
      found = find(children[index], identifier);
    }
    XFree(children);
    return found;
  }

  Display* display_;
};

int widthIn(const std::string& title) {
  const auto at = title.find("width:");
  return at == std::string::npos ? 0 : std::stoi(title.substr(at + 6));
}

class WebAppProcessLiveTest : public WebEngineLiveTest {};

TEST_F(WebAppProcessLiveTest, AWebAppRunsInItsOwnWindowAndKeepsItsZoomAcrossARelaunch) {
  WebAppProcess app(folder.path(), "com.quillon.webapp.ads", site.url("/ads"));
  Observer observer;
  app.start();
  // Its window carries its own class, and the page's title; blocking is on
  // from the first load.
  const auto first = observer.awaitTitle(app.identifier(), "promo:");
  ASSERT_TRUE(first) << "no window of class " << app.identifier();
  EXPECT_TRUE(first->starts_with("promo:none")) << *first;
  EXPECT_FALSE(site.wasAskedFor("/pagead/doubleclick.net/ad.png"));
  const int actualWidth = widthIn(*first);
  ASSERT_GT(actualWidth, 0);

  observer.pressWithControl(*observer.windowOf(app.identifier()), XK_equal);
  std::optional<std::string> zoomed;
  ASSERT_TRUE(LiveSession::runUntil(
      [&] {
        zoomed = observer.titleOf(*observer.windowOf(app.identifier()));
        return zoomed && widthIn(*zoomed) > 0 && widthIn(*zoomed) < actualWidth;
      },
      pageLimit))
      << zoomed.value_or("(none)");

  app.stop();
  app.start();
  const auto relaunched = observer.awaitTitle(app.identifier(), "promo:");
  ASSERT_TRUE(relaunched);
  EXPECT_EQ(widthIn(*relaunched), widthIn(*zoomed)) << *relaunched;
}

TEST_F(WebAppProcessLiveTest, KillingOneWebAppLeavesAnotherRunning) {
  WebAppProcess doomed(folder.path(), "com.quillon.webapp.doomed", site.url("/cookie#doomed"));
  WebAppProcess survivor(folder.path(), "com.quillon.webapp.survivor",
                         site.url("/cookie#survivor"));
  Observer observer;
  doomed.start();
  survivor.start();
  ASSERT_TRUE(observer.awaitTitle(doomed.identifier(), "cookie:"));
  ASSERT_TRUE(observer.awaitTitle(survivor.identifier(), "cookie:"));

  doomed.stop(SIGKILL);
  LiveSession::settle(std::chrono::milliseconds(500));
  EXPECT_TRUE(survivor.running());
  EXPECT_TRUE(observer.awaitTitle(survivor.identifier(), "cookie:"));
  EXPECT_FALSE(observer.windowOf(doomed.identifier()));
}

// The menu-bar process never opens a page: whatever a site does happens in
// its web app's processes, and ends with them.
TEST_F(WebAppProcessLiveTest, AHostileSiteNeverReachesTheMenuBarProcess) {
  ProductProcess menuBar(folder.path(), QUILLON_EXECUTABLE, "menu-bar");
  menuBar.start();
  ASSERT_TRUE(LiveSession::runUntil(
      [&] { return menuBar.log().find("Quillon: event tap started") != std::string::npos; },
      pageLimit))
      << menuBar.log();
  LiveSession::settle(std::chrono::seconds(1));
  const long before = menuBar.residentKilobytes();
  Observer observer;

  WebAppProcess huge(folder.path(), "com.quillon.webapp.huge", site.url("/huge"));
  huge.start();
  EXPECT_TRUE(observer.awaitTitle(huge.identifier(), "huge"));
  huge.stop(SIGKILL);

  WebAppProcess loop(folder.path(), "com.quillon.webapp.loop", site.url("/loop"));
  loop.start();
  EXPECT_TRUE(LiveSession::runUntil([&] { return site.wasAskedFor("/loop"); }, pageLimit));
  EXPECT_TRUE(LiveSession::runUntil(
      [&] { return observer.windowOf(loop.identifier()).has_value(); }, pageLimit));
  LiveSession::settle(std::chrono::seconds(1));
  EXPECT_TRUE(loop.running()) << "a redirect loop ends the web app";
  loop.stop(SIGKILL);

  WebAppProcess bomb(folder.path(), "com.quillon.webapp.bomb", site.url("/bomb"));
  bomb.start();
  const auto answer = observer.awaitTitle(bomb.identifier(), "image:");
  EXPECT_TRUE(answer);
  EXPECT_TRUE(bomb.running()) << "an image too large to decode ends the web app";
  bomb.stop(SIGKILL);

  EXPECT_TRUE(menuBar.running()) << menuBar.log();
  const long after = menuBar.residentKilobytes();
  std::cout << "menu-bar process: " << before << " kB before the hostile sites, " << after
            << " kB after\n";
  EXPECT_LT(after - before, 1024) << "kB grown";
}

// Every process started from this executable's copies under the folder.
void killProcessesUnder(const fs::path& folder) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    std::ifstream commandLine(entry.path() / "cmdline");
    std::string program;
    std::getline(commandLine, program, '\0');
    if (program.starts_with(folder.string())) {
      ::kill(std::stoi(name), SIGKILL);
    }
  }
}

// The creator as a user meets it: the tray menu's item, the dialog, the
// launcher and the web app started; the engine stays out of the menu bar.
TEST_F(WebAppProcessLiveTest,
       ATrayPickCreatesALauncherAndStartsTheWebAppWithoutTheEngineInTheMenuBar) {
  std::string whyNot;
  FakeTrayWatcher tray(LiveSession::shared(whyNot)->busAddress());
  ASSERT_TRUE(tray.ownsName());
  ProductProcess menuBar(folder.path(), QUILLON_EXECUTABLE, "menu-bar");
  menuBar.start();
  ASSERT_TRUE(LiveSession::runUntil([&] { return !tray.registrations().empty(); }, pageLimit))
      << menuBar.log();
  const auto item = tray.registrations().front();
  const auto menu = tray.menuLayout(item);
  ASSERT_TRUE(menu);
  const auto* create = menu->find("Create web app from URL (Safari)…");
  ASSERT_NE(create, nullptr);
  ASSERT_TRUE(create->enabled) << create->label;
  LiveSession::settle(std::chrono::seconds(1));
  const long before = menuBar.residentKilobytes();

  ASSERT_TRUE(tray.click(item, create->id));
  Observer observer;
  std::optional<Window> dialog;
  ASSERT_TRUE(LiveSession::runUntil(
      [&] { return (dialog = observer.windowTitled("Quillon")).has_value(); }, pageLimit))
      << menuBar.log();
  LiveSession::settle(std::chrono::milliseconds(500));
  // The address field has the focus, its "https://" selected to be typed
  // over; the name is left for the creator to take from the address.
  observer.pressWithControl(*dialog, XK_a);
  observer.type(site.url("/cookie#made") + "\n");

  const fs::path launchers = folder.path() / "share" / "applications";
  std::string identifier;
  ASSERT_TRUE(LiveSession::runUntil(
      [&] {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(launchers, error)) {
          if (entry.path().extension() == ".desktop") {
            identifier = entry.path().stem().string();
          }
        }
        return !identifier.empty();
      },
      pageLimit))
      << menuBar.log();
  EXPECT_TRUE(fs::exists(folder.path() / "Applications" / "127.0.0.1.app"));
  const auto title = observer.awaitTitle(identifier, "cookie:");
  EXPECT_TRUE(title) << "the new web app did not start: " << menuBar.log();
  LiveSession::settle(std::chrono::seconds(1));
  const long after = menuBar.residentKilobytes();
  killProcessesUnder(folder.path() / "Applications");

  EXPECT_TRUE(menuBar.running());
  std::cout << "menu-bar process: " << before << " kB before creating a web app, " << after
            << " kB after\n";
  EXPECT_FALSE(menuBar.maps("webkit2gtk")) << "the menu-bar process loaded the web engine";
  EXPECT_EQ(menuBar.log().find("Quillon webapp: failed"), std::string::npos) << menuBar.log();
}

} // namespace
} // namespace quillon
