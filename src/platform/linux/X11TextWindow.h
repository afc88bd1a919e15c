#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace quillon {

// A small text window of its own: it takes the focus of every keyboard and
// keeps what the keys it receives type, through the layout group the server
// reports with each key. Backspace erases a character. Like any editor it
// copies and pastes through the CLIPBOARD selection with Control+C and
// Control+V (found by key position, whatever the layout), and typing over a
// selection replaces it. The demo types into it, and the tests read what it
// received.
class X11TextWindow {
public:
  // Null when the display cannot be opened.
  static std::unique_ptr<X11TextWindow> open(const std::string& displayName);
  X11TextWindow(const X11TextWindow&) = delete;
  X11TextWindow& operator=(const X11TextWindow&) = delete;
  ~X11TextWindow();

  std::string text() const;
  // The X window's id, as the window manager names it.
  unsigned long windowIdentifier() const { return window_; }
  void clear();
  // Key presses received, counted.
  std::size_t keyPresses() const { return keyPresses_; }
  // The X keycodes of every press received, in order.
  std::string keycodeLog() const;
  // Takes the focus of every master keyboard (again): a new master starts
  // with none.
  void takeFocus();
  // Makes the window slow: it takes this long over every event, as a busy
  // application would.
  void setEventDelay(std::chrono::milliseconds delay) { eventDelay_ = delay.count(); }
  // Selects the whole text, as a user dragging over it would.
  void selectAll();
  // Puts text on the clipboard, as a copy in another application would.
  void setClipboard(const std::string& text);
  // What this window holds on the clipboard while it owns it.
  std::string clipboard() const;

private:
  explicit X11TextWindow(Display* display);
  void waitForMap();
  void run();
  void receiveKey(unsigned keycode, unsigned state);
  void insert(const std::string& text);
  void copy();
  void requestPaste();
  void receivePaste(const XEvent& event);
  void answerRequest(const XEvent& event);

  Display* display_;
  unsigned long window_ = 0;
  mutable std::mutex mutex_;
  std::string text_;
  std::string keycodes_;
  std::string clipboard_;
  bool allSelected_ = false;
  std::atomic<std::size_t> keyPresses_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<long> eventDelay_{0};
  std::thread thread_;
};

} // namespace quillon
