#include "platform/linux/X11WindowProperties.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>

namespace quillon {

namespace {

// Far more than any list a window manager publishes, in 32-bit units.
constexpr long LongestProperty = 1 << 16;

} // namespace

std::vector<unsigned long> X11WindowProperties::longs(X11Window window, X11Atom property,
                                                      X11Atom type) const {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> values;
  if (XGetWindowProperty(connection_.display(), window, property, 0, LongestProperty, False, type,
                         &actualType, &format, &count, &after, &data) != Success ||
      data == nullptr) {
    return values;
  }
  if (format == 32 && actualType == type) {
    // Format 32 arrives as longs whatever their size on the wire.
    const auto* first = reinterpret_cast<const unsigned long*>(data);
    values.assign(first, first + count);
  }
  XFree(data);
  return values;
}

std::vector<unsigned long> X11WindowProperties::cardinals(X11Window window,
                                                          const char* property) const {
  return longs(window, connection_.atom(property), XA_CARDINAL);
}

std::vector<X11Window> X11WindowProperties::windows(X11Window window, const char* property) const {
  return longs(window, connection_.atom(property), XA_WINDOW);
}

std::vector<X11Atom> X11WindowProperties::atoms(X11Window window, const char* property) const {
  return longs(window, connection_.atom(property), XA_ATOM);
}

std::optional<std::string> X11WindowProperties::utf8(X11Window window, const char* property) const {
  return text(window, property, connection_.atom("UTF8_STRING"));
}

std::optional<std::string> X11WindowProperties::string(X11Window window,
                                                       const char* property) const {
  return text(window, property, XA_STRING);
}

std::optional<std::string> X11WindowProperties::text(X11Window window, const char* property,
                                                     X11Atom type) const {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(connection_.display(), window, connection_.atom(property), 0,
                         LongestProperty, False, type, &actualType, &format, &count, &after,
                         &data) != Success ||
      data == nullptr) {
    return std::nullopt;
  }
  std::optional<std::string> text;
  if (format == 8 && actualType == type) {
    text = std::string(reinterpret_cast<const char*>(data), count);
  }
  XFree(data);
  return text;
}

void X11WindowProperties::sendToWindowManager(X11Window window, const char* messageType,
                                              const std::vector<long>& data) const {
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = connection_.atom(messageType);
  message.xclient.format = 32;
  std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 5), message.xclient.data.l);
  XSendEvent(connection_.display(), connection_.root(), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &message);
  connection_.flush();
}

} // namespace quillon
