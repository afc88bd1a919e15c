#include "platform/linux/X11PasteTargets.h"

#include "platform/EventFlags.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>

namespace quillon {

namespace {

// Terminal emulators by WM_CLASS instance or class, lower-cased.
constexpr std::string_view terminalClasses[]{
    "alacritty",
    "com.mitchellh.ghostty",
    "contour",
    "cool-retro-term",
    "deepin-terminal",
    "eterm",
    "foot",
    "footclient",
    "ghostty",
    "gnome-terminal",
    "gnome-terminal-server",
    "guake",
    "hyper",
    "kgx",
    "kitty",
    "konsole",
    "lxterminal",
    "mate-terminal",
    "org.gnome.console",
    "org.gnome.ptyxis",
    "org.wezfurlong.wezterm",
    "ptyxis",
    "qterminal",
    "rio",
    "roxterm",
    "rxvt",
    "sakura",
    "st",
    "st-256color",
    "tabby",
    "terminator",
    "terminology",
    "termite",
    "tilda",
    "tilix",
    "urxvt",
    "uxterm",
    "wezterm",
    "x-terminal-emulator",
    "xfce4-terminal",
    "xterm",
    "yakuake",
    "zutty",
    "terminal",
};

std::string lowercased(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char character) {
    return static_cast<char>(std::tolower(character));
  });
  return lower;
}

} // namespace

class X11PasteTargets::Target final : public PasteTarget {
public:
  Target(const X11PasteTargets& targets, X11Window window, bool terminal)
      : targets_(targets), window_(window), terminal_(terminal) {}

  bool isOpen() const override {
    const auto clients =
        targets_.properties_.windows(targets_.connection_.root(), "_NET_CLIENT_LIST");
    return std::find(clients.begin(), clients.end(), window_) != clients.end();
  }

  bool reactivate() override {
    if (!isOpen()) {
      return false;
    }
    // With the server's time, which window managers that guard against
    // focus stealing compare with the user's last input.
    targets_.properties_.sendToWindowManager(
        window_, "_NET_ACTIVE_WINDOW",
        {X11WindowProperties::SourcePager, static_cast<long>(targets_.serverTime()), 0});
    return true;
  }

  EventFlags pasteModifiers() const override {
    return terminal_ ? flag::Control | flag::Shift : flag::Control;
  }

private:
  const X11PasteTargets& targets_;
  X11Window window_;
  bool terminal_;
};

X11PasteTargets::X11PasteTargets(X11Connection& connection)
    : connection_(connection), properties_(connection),
      clockProperty_(connection.atom("QUILLON_SERVER_TIME")) {
  Display* display = connection_.display();
  XSetWindowAttributes attributes{};
  attributes.event_mask = PropertyChangeMask;
  clockWindow_ = XCreateWindow(display, connection_.root(), -1, -1, 1, 1, 0, CopyFromParent,
                               InputOnly, CopyFromParent, CWEventMask, &attributes);
}

X11PasteTargets::~X11PasteTargets() {
  XDestroyWindow(connection_.display(), clockWindow_);
  connection_.flush();
}

bool X11PasteTargets::isTerminalClass(std::string_view name) {
  const std::string lower = lowercased(name);
  return std::find(std::begin(terminalClasses), std::end(terminalClasses), lower) !=
         std::end(terminalClasses);
}

unsigned long X11PasteTargets::serverTime() const {
  Display* display = connection_.display();
  // An empty append changes nothing but still reports the change, stamped.
  XChangeProperty(display, clockWindow_, clockProperty_, XA_STRING, 8, PropModeAppend, nullptr, 0);
  XEvent event{};
  XWindowEvent(display, clockWindow_, PropertyChangeMask, &event);
  return event.xproperty.time;
}

std::unique_ptr<PasteTarget> X11PasteTargets::focusedWindow() {
  const auto active = properties_.windows(connection_.root(), "_NET_ACTIVE_WINDOW");
  if (active.empty() || active.front() == 0) {
    return nullptr;
  }
  const X11Window window = active.front();
  bool terminal = false;
  XClassHint hint{};
  if (XGetClassHint(connection_.display(), window, &hint) != 0) {
    terminal = (hint.res_name != nullptr && isTerminalClass(hint.res_name)) ||
               (hint.res_class != nullptr && isTerminalClass(hint.res_class));
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  return std::make_unique<Target>(*this, window, terminal);
}

} // namespace quillon
