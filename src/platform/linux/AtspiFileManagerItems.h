#pragma once

#include "platform/Geometry.h"
#include "platform/Log.h"
#include "platform/linux/X11WindowProperties.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

typedef struct _AtspiAccessible AtspiAccessible;

namespace quillon {

// A file or folder a file-manager window shows, with where it is drawn.
struct FileManagerItem {
  std::filesystem::path path;
  // X screen coordinates: origin at the top left, y downwards.
  Rect frame;
};

// The item a file manager shows under a point of the screen. File managers
// do not say which file an icon is; they do say, through the accessibility
// bus (AT-SPI), what is drawn where and under which name, and through
// org.freedesktop.FileManager1 which folder each of their windows shows.
// The name under the point within the folder of the window under it is the
// item. Main thread only: AT-SPI's client library is not thread-safe.
class AtspiFileManagerItems {
public:
  static constexpr std::string_view FileManagerBusName = "org.freedesktop.FileManager1";
  static constexpr std::string_view FileManagerObjectPath = "/org/freedesktop/FileManager1";
  static constexpr std::string_view LocationsProperty = "OpenWindowsWithLocations";
  // From the hit to its cell, as many steps up at most.
  static constexpr int MaximumSteps = 8;
  // A hit test that cannot answer in this time finds nothing.
  static constexpr int CallTimeoutMilliseconds = 100;
  // Starting the accessibility bus, once, may take longer.
  static constexpr int BusStartMilliseconds = 2000;

  AtspiFileManagerItems(const X11Connection& connection, Log& log);
  AtspiFileManagerItems(const AtspiFileManagerItems&) = delete;
  AtspiFileManagerItems& operator=(const AtspiFileManagerItems&) = delete;

  // A container's children looked at when its own hit test fails.
  static constexpr int MaximumChildrenScanned = 64;
  // Accessibles looked at for a window's path bar, or below a point.
  static constexpr std::size_t MaximumNodesSearched = 400;
  // Windows whose path bar, or its absence, is remembered.
  static constexpr std::size_t MaximumWindowsRemembered = 32;

  std::optional<FileManagerItem> itemAt(int x, int y);
  // The folder a file-manager window shows, by its X window: the one the
  // file manager publishes, else the one its path bar shows.
  std::optional<std::filesystem::path> windowFolder(unsigned long window);

private:
  std::optional<std::filesystem::path> publishedFolder(unsigned long window) const;
  // X windows by their numbers.
  std::optional<unsigned long> clientWindowAt(int x, int y) const;
  std::optional<unsigned long> processOf(unsigned long window) const;
  std::string titleOf(unsigned long window) const;
  // Where a toplevel's accessibles count from, inside its X window.
  struct Inset {
    int left = 0;
    int top = 0;
  };
  Inset decorationMargin(unsigned long window, AtspiAccessible* frame) const;
  // Said once for each application or view.
  void reportUnsupported(const std::string& where, std::string_view why);
  std::optional<std::string> accessibilityBusAddress() const;
  bool connect();

  Display* display_;
  const X11WindowProperties properties_;
  Log& log_;
  enum class Connection { untried, connected, unavailable };
  Connection state_ = Connection::untried;
  struct AccessibleUnref {
    void operator()(AtspiAccessible* accessible) const;
  };
  using AccessibleRef = std::unique_ptr<AtspiAccessible, AccessibleUnref>;
  // Path bars by X window; a window searched in vain has none.
  std::map<unsigned long, AccessibleRef> pathBars_;
  // Applications whose windows expose no items: said once each.
  std::set<std::string> reported_;
};

} // namespace quillon
