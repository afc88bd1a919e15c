#include "platform/linux/X11SelectionPasteboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <chrono>
#include <poll.h>

namespace quillon {

namespace {

// An owner that has not answered by then is taken to have nothing.
constexpr std::chrono::milliseconds kReadTimeout{300};

std::optional<std::string> plainText(const PasteboardItem& item) {
  const auto found = item.representations.find(pasteboardtype::PlainText);
  if (found == item.representations.end()) {
    return std::nullopt;
  }
  return std::string(found->second.begin(), found->second.end());
}

} // namespace

X11SelectionPasteboard::X11SelectionPasteboard(X11Connection& connection)
    : connection_(connection), window_(XCreateSimpleWindow(connection.display(), connection.root(),
                                                           -10, -10, 1, 1, 0, 0, 0)),
      clipboard_(connection.atom("CLIPBOARD")), utf8_(connection.atom("UTF8_STRING")),
      targets_(connection.atom("TARGETS")), transfer_(connection.atom("QUILLON_SELECTION")) {
  int errorBase = 0;
  if (XFixesQueryExtension(connection_.display(), &fixesEventBase_, &errorBase)) {
    XFixesSelectSelectionInput(connection_.display(), window_, clipboard_,
                               XFixesSetSelectionOwnerNotifyMask);
  } else {
    fixesEventBase_ = -1;
  }
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
}

X11SelectionPasteboard::~X11SelectionPasteboard() {
  XDestroyWindow(connection_.display(), window_);
}

void X11SelectionPasteboard::takeOwnership() {
  XSetSelectionOwner(connection_.display(), clipboard_, window_, CurrentTime);
  owner_ = XGetSelectionOwner(connection_.display(), clipboard_) == window_;
  connection_.flush();
}

void X11SelectionPasteboard::clearContents() {
  items_.clear();
  ++changeCount_;
  takeOwnership();
}

void X11SelectionPasteboard::writeItems(std::vector<PasteboardItem> items) {
  items_.insert(items_.end(), items.begin(), items.end());
  ++changeCount_;
  takeOwnership();
}

std::vector<PasteboardItem> X11SelectionPasteboard::items() const {
  if (owner_) {
    return items_;
  }
  const auto text = readFromOwner();
  if (!text) {
    return {};
  }
  PasteboardItem item;
  item.representations.emplace(std::string(pasteboardtype::PlainText),
                               PropertyData(text->begin(), text->end()));
  return {item};
}

// Waits for the owner's answer on this connection, leaving every other event
// queued for the main loop.
std::optional<std::string> X11SelectionPasteboard::readFromOwner() const {
  Display* display = connection_.display();
  if (XGetSelectionOwner(display, clipboard_) == None) {
    return std::nullopt;
  }
  XConvertSelection(display, clipboard_, utf8_, transfer_, window_, CurrentTime);
  XFlush(display);
  const auto deadline = std::chrono::steady_clock::now() + kReadTimeout;
  XEvent event;
  while (!XCheckTypedWindowEvent(display, window_, SelectionNotify, &event)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return std::nullopt;
    }
    pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
    poll(&descriptor, 1, static_cast<int>(left.count()));
  }
  if (event.xselection.property == None) {
    return std::nullopt;
  }
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::optional<std::string> text;
  if (XGetWindowProperty(display, window_, transfer_, 0, 1 << 24, True, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr) {
    text = std::string(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  return text;
}

void X11SelectionPasteboard::onEvent(XEvent& event) {
  if (event.type == SelectionRequest && event.xselectionrequest.owner == window_) {
    answer(event);
  } else if (event.type == SelectionClear && event.xselectionclear.window == window_) {
    owner_ = false;
    items_.clear();
  } else if (fixesEventBase_ >= 0 && event.type == fixesEventBase_ + XFixesSelectionNotify) {
    const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
    if (notify.owner != window_) {
      ++changeCount_;
    }
  }
}

void X11SelectionPasteboard::answer(const XEvent& event) {
  const XSelectionRequestEvent& request = event.xselectionrequest;
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = request.requestor;
  reply.xselection.selection = request.selection;
  reply.xselection.target = request.target;
  reply.xselection.time = request.time;
  // Old clients name no property; the target stands in for it.
  const Atom property = request.property == None ? request.target : request.property;
  reply.xselection.property = None;
  std::string text;
  for (const PasteboardItem& item : items_) {
    if (const auto itemText = plainText(item)) {
      text = *itemText;
      break;
    }
  }
  if (request.target == targets_) {
    const Atom offered[] = {targets_, utf8_, XA_STRING};
    XChangeProperty(connection_.display(), request.requestor, property, XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(offered), 3);
    reply.xselection.property = property;
  } else if (request.target == utf8_ || request.target == XA_STRING) {
    XChangeProperty(connection_.display(), request.requestor, property, request.target, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
    reply.xselection.property = property;
  }
  XSendEvent(connection_.display(), request.requestor, False, NoEventMask, &reply);
  connection_.flush();
}

} // namespace quillon
