#pragma once

#include "platform/PropertyValue.h"
#include "platform/linux/X11TextWindow.h"
#include "platform/linux/X11Typist.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// A private X desktop for tests: Xvfb with openbox, the us,ru layouts, and
// the product started on it as a separate process, as a user would run it.
class X11Session {
public:
  // Null, with the reason in `whyNot`, when Xvfb or openbox is missing.
  static std::unique_ptr<X11Session> start(std::string& whyNot);
  X11Session(const X11Session&) = delete;
  X11Session& operator=(const X11Session&) = delete;
  ~X11Session();

  const std::string& display() const { return display_; }
  void setLayouts(const std::string& layouts);
  unsigned currentGroup() const;
  // Asks the window manager to activate a window, as a task bar does, and
  // tells whether it then named the window active.
  bool activateWindow(unsigned long window) const;
  // The CLIPBOARD selection's text as any client would paste it; absent when
  // no one owns it or the owner does not answer.
  std::optional<std::string> clipboardText() const;
  // The clipboard's contents of that type (an atom's name, "image/png"),
  // as a pasting program gets them.
  std::optional<std::string> clipboardContents(const char* target) const;

  // Starts `quillon` with no arguments on this display, its settings in a
  // fresh folder holding only these, and the test hooks on.
  void startProduct(const std::vector<std::pair<std::string, PropertyValue>>& settings = {},
                    const std::vector<std::string>& environment = {});
  // Starts the product again with the settings its last run left.
  void restartProduct();
  // Starts one more product beside the first, with the same environment,
  // and waits for it to end: its exit status (none if it kept running and
  // was stopped) and everything it printed.
  std::pair<std::optional<int>, std::string> runSecondProduct(std::chrono::milliseconds limit);
  // The product's home: its Desktop, Documents and the like.
  std::filesystem::path productHome() const { return folder_; }
  // Where the product keeps its settings and the other domains it writes.
  std::filesystem::path productConfigFolder() const { return folder_ / "config" / "quillon"; }
  void signalProduct(int signal);
  int productIdentifier() const { return product_; }
  // The product's keyboard relay, once it runs.
  std::optional<int> relayIdentifier() const;
  // Whether the product is stopped (by SIGSTOP or its own job control).
  bool productStopped() const;
  // The keys the core XTest keyboard holds down: whatever the product sent
  // and did not release.
  std::vector<std::uint32_t> coreKeysDown() const;
  // The exit status once the product has ended within the time.
  std::optional<int> waitForProductExit(std::chrono::milliseconds limit);
  bool productRunning();
  std::string productLog() const;
  // The running product's memory map, as /proc shows it.
  std::string productMaps() const;
  // Stops the X server itself, as when a session ends under the product.
  void stopServer();

  static bool waitUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds limit = std::chrono::seconds(5));

private:
  X11Session() = default;
  int runTool(const std::vector<std::string>& arguments) const;
  std::vector<std::string> productEnvironment() const;

  std::filesystem::path folder_;
  std::string display_;
  int server_ = -1;
  int windowManager_ = -1;
  int product_ = -1;
};

} // namespace quillon
