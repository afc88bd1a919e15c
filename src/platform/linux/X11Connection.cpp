#include "platform/linux/X11Connection.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <cstdlib>
#include <glib.h>

namespace quillon {

namespace {

// Requests on devices that vanished between listing and grabbing (a keyboard
// unplugged) fail with BadDevice, and Xlib's default handler would end the
// process for it. Such failures are expected and harmless, so they are
// dropped: the hierarchy event that follows tells the real story.
int ignoreProtocolError(Display*, XErrorEvent*) {
  return 0;
}

// Xlib's default would print its own message and exit before the exit
// handler, which says it in the product's words, ever runs.
int passToExitHandler(Display*) {
  return 0;
}

void onIoErrorExit(Display*, void* connection) {
  static_cast<X11Connection*>(connection)->connectionLost();
}

} // namespace

struct X11Connection::Source {
  GSource base;
  X11Connection* owner;
  GPollFD poll;
};

class X11Connection::ListenerToken final : public Observation::Token {
public:
  ListenerToken(X11Connection& connection, std::shared_ptr<Listener> listener)
      : connection_(connection), listener_(std::move(listener)) {}
  void cancel() override { std::erase(connection_.listeners_, listener_); }

private:
  X11Connection& connection_;
  std::shared_ptr<Listener> listener_;
};

std::unique_ptr<X11Connection> X11Connection::open(const std::string& displayName,
                                                   std::string& error) {
  // The watchdog releases grabs from a thread of its own on this connection.
  XInitThreads();
  XSetErrorHandler(ignoreProtocolError);
  XSetIOErrorHandler(passToExitHandler);
  Display* display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
  if (display == nullptr) {
    error = "cannot open the X display " + displayName;
    return nullptr;
  }
  int opcode = 0;
  int event = 0;
  int errorBase = 0;
  int major = 2;
  int minor = 2;
  if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &errorBase) ||
      XIQueryVersion(display, &major, &minor) != Success || major < 2 ||
      (major == 2 && minor < 2)) {
    XCloseDisplay(display);
    error = "the X server lacks XInput 2.2";
    return nullptr;
  }
  int testEvent = 0;
  int testError = 0;
  int testMajor = 0;
  int testMinor = 0;
  if (!XTestQueryExtension(display, &testEvent, &testError, &testMajor, &testMinor)) {
    XCloseDisplay(display);
    error = "the X server lacks XTest";
    return nullptr;
  }
  int xkbOpcode = 0;
  int xkbEvent = 0;
  int xkbError = 0;
  int xkbMajor = XkbMajorVersion;
  int xkbMinor = XkbMinorVersion;
  if (!XkbQueryExtension(display, &xkbOpcode, &xkbEvent, &xkbError, &xkbMajor, &xkbMinor)) {
    XCloseDisplay(display);
    error = "the X server lacks XKB";
    return nullptr;
  }
  return std::unique_ptr<X11Connection>(new X11Connection(display, opcode, xkbEvent));
}

X11Connection::X11Connection(Display* display, int xinputOpcode, int xkbEventBase)
    : display_(display), xinputOpcode_(xinputOpcode), xkbEventBase_(xkbEventBase) {
  XSetIOErrorExitHandler(display_, onIoErrorExit, this);
}

void X11Connection::reportLossOf(Display* other) {
  if (other != nullptr && other != display_) {
    XSetIOErrorExitHandler(other, onIoErrorExit, this);
  }
}

X11Connection::~X11Connection() {
  if (source_ != nullptr) {
    g_source_destroy(&source_->base);
    g_source_unref(&source_->base);
  }
  XCloseDisplay(display_);
}

void X11Connection::connectionLost() {
  if (lostHandler_) {
    lostHandler_();
  }
  std::exit(1);
}

int X11Connection::screenHeight() const {
  return DisplayHeight(display_, DefaultScreen(display_));
}

X11Window X11Connection::root() const {
  return DefaultRootWindow(display_);
}

void X11Connection::flush() const {
  XFlush(display_);
}

X11Atom X11Connection::atom(const char* name) const {
  return XInternAtom(display_, name, False);
}

Observation X11Connection::listen(Listener listener) {
  auto shared = std::make_shared<Listener>(std::move(listener));
  listeners_.push_back(shared);
  return Observation(std::make_unique<ListenerToken>(*this, std::move(shared)));
}

int X11Connection::prepareSource(GSource* source, int* timeout) {
  *timeout = -1;
  return XPending(reinterpret_cast<Source*>(source)->owner->display_) > 0;
}

int X11Connection::checkSource(GSource* source) {
  auto* self = reinterpret_cast<Source*>(source);
  return (self->poll.revents & G_IO_IN) != 0 || XPending(self->owner->display_) > 0;
}

int X11Connection::dispatchSource(GSource* source, int (*)(void*), void*) {
  reinterpret_cast<Source*>(source)->owner->dispatchPending();
  return G_SOURCE_CONTINUE;
}

void X11Connection::attachToMainLoop() {
  if (source_ != nullptr) {
    return;
  }
  static GSourceFuncs functions{prepareSource, checkSource, dispatchSource,
                                nullptr,       nullptr,     nullptr};
  GSource* source = g_source_new(&functions, sizeof(Source));
  source_ = reinterpret_cast<Source*>(source);
  source_->owner = this;
  source_->poll.fd = ConnectionNumber(display_);
  source_->poll.events = G_IO_IN | G_IO_HUP | G_IO_ERR;
  source_->poll.revents = 0;
  g_source_add_poll(source, &source_->poll);
  // Input shares the main queue's priority: each turn of the loop handles
  // the events that came and the work they queued, so a flood of keys can
  // neither starve that work nor pile it up without bound.
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_attach(source, nullptr);
}

void X11Connection::dispatchPending() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    const bool hasData = XGetEventData(display_, &event.xcookie);
    dispatch(event);
    if (hasData) {
      XFreeEventData(display_, &event.xcookie);
    }
  }
}

void X11Connection::dispatch(XEvent& event) {
  // A copy, so listeners may stop listening from their own callback.
  const auto listeners = listeners_;
  for (const auto& listener : listeners) {
    (*listener)(event);
  }
}

} // namespace quillon
