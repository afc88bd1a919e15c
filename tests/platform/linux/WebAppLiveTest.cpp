// The web engine on a private X server: what a page does in a web app's
// window, and the web app as a process of its own. Slow machines only make
// these tests wait longer; nothing here measures time.

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
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// Last: Xlib's macros (None, Status, Bool) would break the headers above.
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

// A web app built by hand as the creator lays it out, run as its own
// process on the private display.
class WebAppProcess {
public:
  WebAppProcess(const fs::path& home, std::string identifier, const std::string& url)
      : home_(home), identifier_(std::move(identifier)) {
    const fs::path contents = home_ / "Applications" / (identifier_ + ".app") / "Contents";
    fs::create_directories(contents / "MacOS");
    executable_ = contents / "MacOS" / "App";
    fs::copy_file(QUILLON_EXECUTABLE, executable_, fs::copy_options::overwrite_existing);
    const PropertyDictionary info{{"CFBundleName", PropertyValue(identifier_)},
                                  {"CFBundleIdentifier", PropertyValue(identifier_)},
                                  {"CFBundleExecutable", PropertyValue("App")},
                                  {"QuillonWebAppURL", PropertyValue(url)}};
    std::ofstream(contents / "Info.plist") << serializePropertyList(info).value();
  }
  WebAppProcess(const WebAppProcess&) = delete;
  WebAppProcess& operator=(const WebAppProcess&) = delete;
  ~WebAppProcess() { stop(SIGKILL); }

  void start() {
    const std::vector<std::pair<std::string, std::string>> variables{
        {"HOME", home_.string()},
        {"XDG_DATA_HOME", (home_ / "share").string()},
        {"XDG_CONFIG_HOME", (home_ / "config").string()},
        {"XDG_STATE_HOME", (home_ / "state").string()}};
    const fs::path log = home_ / (identifier_ + ".log");
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
  const std::string& identifier() const { return identifier_; }
  int pid() const { return process_; }

private:
  fs::path home_;
  std::string identifier_;
  fs::path executable_;
  pid_t process_ = -1;
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

} // namespace
} // namespace quillon
