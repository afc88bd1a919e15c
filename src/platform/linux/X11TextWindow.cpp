#include "platform/linux/X11TextWindow.h"

#include <xkbcommon/xkbcommon.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <array>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr int kPollMilliseconds = 20;
constexpr std::chrono::seconds kMapLimit{2};
constexpr int kMapAttempts = 5;
// The modifier bits of a key event's state, without its layout group.
constexpr unsigned kModifierBits = 0xFF;

void eraseLastCharacter(std::string& text) {
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text.back());
    text.pop_back();
    // Continuation bytes of UTF-8 go with their lead byte.
    if ((byte & 0xC0) != 0x80) {
      return;
    }
  }
}

} // namespace

std::unique_ptr<X11TextWindow> X11TextWindow::open(const std::string& displayName) {
  Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
  if (display == nullptr) {
    return nullptr;
  }
  return std::unique_ptr<X11TextWindow>(new X11TextWindow(display));
}

X11TextWindow::X11TextWindow(Display* display) : display_(display) {
  const int screen = DefaultScreen(display_);
  window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 100, 100, 600, 200, 1,
                                BlackPixel(display_, screen), WhitePixel(display_, screen));
  XClassHint hint{const_cast<char*>("quillon-demo"), const_cast<char*>("QuillonDemo")};
  XSetClassHint(display_, window_, &hint);
  XStoreName(display_, window_, "Quillon demo");
  const long process = getpid();
  XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&process), 1);
  XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask | FocusChangeMask);
  waitForMap();
  takeFocus();
  thread_ = std::thread([this] { run(); });
}

// A window manager still starting up may drop the first request to map the
// window, so the request is repeated rather than waited for forever.
void X11TextWindow::waitForMap() {
  for (int attempt = 0; attempt < kMapAttempts; ++attempt) {
    XMapWindow(display_, window_);
    XFlush(display_);
    const auto deadline = std::chrono::steady_clock::now() + kMapLimit;
    XEvent event;
    while (std::chrono::steady_clock::now() < deadline) {
      if (XCheckTypedWindowEvent(display_, window_, MapNotify, &event)) {
        return;
      }
      pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
      poll(&descriptor, 1, kPollMilliseconds);
    }
  }
}

X11TextWindow::~X11TextWindow() {
  stopping_ = true;
  thread_.join();
  XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

void X11TextWindow::takeFocus() {
  const std::lock_guard lock(mutex_);
  XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display_, XIAllMasterDevices, &count);
  for (int index = 0; index < count; ++index) {
    if (devices[index].use == XIMasterKeyboard) {
      XISetFocus(display_, devices[index].deviceid, window_, CurrentTime);
    }
  }
  XIFreeDeviceInfo(devices);
  XSync(display_, False);
}

std::string X11TextWindow::text() const {
  const std::lock_guard lock(mutex_);
  return text_;
}

std::string X11TextWindow::keycodeLog() const {
  const std::lock_guard lock(mutex_);
  return keycodes_;
}

void X11TextWindow::clear() {
  const std::lock_guard lock(mutex_);
  text_.clear();
  keycodes_.clear();
}

void X11TextWindow::run() {
  pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
  while (!stopping_) {
    bool handled = false;
    {
      const std::lock_guard lock(mutex_);
      if (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        handled = true;
        if (event.type == MappingNotify) {
          XRefreshKeyboardMapping(&event.xmapping);
        } else if (event.type == KeyPress) {
          receiveKey(event.xkey.keycode, event.xkey.state);
        } else if (event.type == SelectionNotify) {
          receivePaste(event);
        } else if (event.type == SelectionRequest) {
          answerRequest(event);
        } else if (event.type == SelectionClear) {
          clipboard_.clear();
        }
      }
    }
    if (handled) {
      if (const long delay = eventDelay_; delay > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      }
      continue;
    }
    poll(&descriptor, 1, kPollMilliseconds);
  }
}

// Called with the mutex held.
void X11TextWindow::receiveKey(unsigned keycode, unsigned state) {
  ++keyPresses_;
  keycodes_ += std::to_string(keycode) + " ";
  KeySym symbol = NoSymbol;
  unsigned int consumed = 0;
  if (!XkbLookupKeySym(display_, static_cast<unsigned char>(keycode), state, &consumed, &symbol)) {
    return;
  }
  if ((state & ControlMask) != 0) {
    // Shortcuts go by the key's place in the first group, as toolkits do.
    KeySym base = NoSymbol;
    XkbLookupKeySym(display_, static_cast<unsigned char>(keycode), state & kModifierBits, &consumed,
                    &base);
    if (base == XK_c) {
      copy();
    } else if (base == XK_v) {
      requestPaste();
    }
    return;
  }
  if ((state & (Mod1Mask | Mod4Mask)) != 0) {
    return;
  }
  if (symbol == XK_BackSpace) {
    if (allSelected_) {
      text_.clear();
      allSelected_ = false;
    } else {
      eraseLastCharacter(text_);
    }
    return;
  }
  std::array<char, 16> buffer{};
  if (xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(symbol), buffer.data(), buffer.size()) > 1 &&
      static_cast<unsigned char>(buffer[0]) >= 0x20) {
    insert(buffer.data());
  }
}

void X11TextWindow::insert(const std::string& text) {
  if (allSelected_) {
    text_.clear();
    allSelected_ = false;
  }
  text_ += text;
}

void X11TextWindow::selectAll() {
  const std::lock_guard lock(mutex_);
  allSelected_ = true;
}

void X11TextWindow::setClipboard(const std::string& text) {
  const std::lock_guard lock(mutex_);
  clipboard_ = text;
  XSetSelectionOwner(display_, XInternAtom(display_, "CLIPBOARD", False), window_, CurrentTime);
  XSync(display_, False);
}

std::string X11TextWindow::clipboard() const {
  const std::lock_guard lock(mutex_);
  return clipboard_;
}

// Called with the mutex held, as are the other selection steps.
void X11TextWindow::copy() {
  if (!allSelected_) {
    return;
  }
  clipboard_ = text_;
  XSetSelectionOwner(display_, XInternAtom(display_, "CLIPBOARD", False), window_, CurrentTime);
  XFlush(display_);
}

void X11TextWindow::requestPaste() {
  XConvertSelection(display_, XInternAtom(display_, "CLIPBOARD", False),
                    XInternAtom(display_, "UTF8_STRING", False),
                    XInternAtom(display_, "QUILLON_DEMO_PASTE", False), window_, CurrentTime);
  XFlush(display_);
}

void X11TextWindow::receivePaste(const XEvent& event) {
  if (event.xselection.property == None) {
    return;
  }
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, window_, event.xselection.property, 0, 1 << 20, True,
                         AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
      data != nullptr) {
    insert(std::string(reinterpret_cast<const char*>(data), count));
    XFree(data);
  }
}

void X11TextWindow::answerRequest(const XEvent& event) {
  const XSelectionRequestEvent& request = event.xselectionrequest;
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = request.requestor;
  reply.xselection.selection = request.selection;
  reply.xselection.target = request.target;
  reply.xselection.time = request.time;
  reply.xselection.property = None;
  const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
  const Atom targets = XInternAtom(display_, "TARGETS", False);
  if (request.target == targets) {
    const Atom property = request.property == None ? request.target : request.property;
    const std::array<Atom, 3> offered{targets, utf8, XA_STRING};
    XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(offered.data()),
                    static_cast<int>(offered.size()));
    reply.xselection.property = property;
  } else if (request.target == utf8 || request.target == XA_STRING) {
    const Atom property = request.property == None ? request.target : request.property;
    XChangeProperty(display_, request.requestor, property, request.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(clipboard_.data()),
                    static_cast<int>(clipboard_.size()));
    reply.xselection.property = property;
  }
  XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
  XFlush(display_);
}

} // namespace quillon
