#pragma once

#include "platform/Accessibility.h"
#include "platform/Log.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Screens.h"
#include "platform/linux/X11WindowProperties.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace quillon {

// Other applications' windows through the window manager's published
// state: the active window, the client list, each window's frame and
// process. X lets every client read and move every window, so access is
// always granted. Controls inside windows are not reachable this way: those
// reads answer nothing.
//
// An application is the set of managed windows naming one process; a window
// that names none is an application of its own. A window's number is its X
// id. Positions are in pixels from the primary monitor's top-left corner.
class X11WindowAccess final : public Accessibility {
public:
  X11WindowAccess(X11Connection& connection, const X11Screens& screens, Log& log);
  X11WindowAccess(const X11WindowAccess&) = delete;
  X11WindowAccess& operator=(const X11WindowAccess&) = delete;

  bool isProcessTrusted() const override { return true; }
  bool isProcessTrustedWithOptions(bool) override { return true; }
  AXElement systemWideElement() override;
  AXElement applicationElement(int processIdentifier) override;
  // Every answer comes from the X server, never from the application, so a
  // hung application cannot hold a read up: there is nothing to time out.
  void setMessagingTimeout(const AXElement&, Duration) override {}
  std::optional<AXValue> copyAttributeValue(const AXElement& element,
                                            std::string_view attribute) override;
  bool setAttributeValue(const AXElement& element, std::string_view attribute,
                         const AXValue& value) override;
  bool performAction(const AXElement&, std::string_view) override { return false; }
  std::optional<AXElement> elementAtPosition(const AXElement&, Point) override {
    return std::nullopt;
  }
  std::optional<std::uint32_t> windowNumber(const AXElement& window) override;
  Observation observe(int processIdentifier, std::string_view notification,
                      std::function<void(const AXElement& element)> callback) override;

  // Whether a window manager publishing the window state runs at all: none,
  // and nothing here can find a window.
  bool windowManagerRunning() const;

  // The window frame in root pixels, decorations included, client-side
  // shadows excluded; what the user sees as the window.
  std::optional<X11PixelRect> visibleFrame(X11Window window) const;

private:
  class Element;
  struct Watch;
  struct WindowFacts {
    // Asked again while unnamed: a client may name its process after mapping.
    std::optional<int> process;
    std::optional<bool> normal;
    std::optional<X11PixelRect> frame;
  };

  AXElement windowElement(X11Window window);
  std::optional<X11Window> activeWindow() const;
  std::optional<int> processOf(X11Window window) const;
  bool isNormalWindow(X11Window window) const;
  std::vector<X11Window> windowsOf(const Element& application) const;
  std::optional<AXValue> applicationAttribute(const Element& application,
                                              std::string_view attribute);
  std::optional<AXValue> windowAttribute(Element& window, std::string_view attribute);
  void writeFrame(Element& window);
  bool isMaximized(X11Window window) const;
  long borderWidth(X11Window window) const;
  void leaveMaximizedState(X11Window window) const;
  bool supportsMoveResize() const;
  WindowFacts& factsOf(X11Window window) const;
  std::optional<X11PixelRect> knownFrame(X11Window window) const;
  void forgetFrame(X11Window window);
  void forgetWindow(X11Window window);
  void onWindowEvent(const XEvent& event);
  void onEvent(XEvent& event);
  void noticeNewWindows();

  X11Connection& connection_;
  const X11Screens& screens_;
  Log& log_;
  X11WindowProperties properties_;
  X11Atom activeWindowAtom_;
  X11Atom clientListAtom_;
  X11Atom supportedAtom_;
  // Both read at most once between the window manager's changes to them:
  // the position manager asks four times a second.
  mutable std::optional<std::optional<X11Window>> activeWindow_;
  mutable std::optional<bool> supportsMoveResize_;
  // What is known of the windows read so far, kept until an event of the
  // window, or of the window manager's frame around it, says it changed:
  // each read is a round trip, and the position manager reads the focused
  // window four times a second.
  mutable std::map<X11Window, WindowFacts> facts_;
  // The window manager's frame around each watched window, to the window.
  mutable std::map<X11Window, X11Window> framesAround_;
  std::set<X11Window> knownWindows_;
  std::vector<std::shared_ptr<Watch>> watches_;
  Observation events_;
};

} // namespace quillon
