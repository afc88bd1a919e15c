#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// An installed application's launcher: its desktop entry id (the file name
// without ".desktop") and the window class it says its windows carry.
struct DesktopEntry {
  std::string id;
  std::optional<std::string> startupWindowClass;
};

// What a window says about the application that owns it.
struct WindowNames {
  // WM_CLASS: the instance (often the program's name) and the class.
  std::string instance;
  std::string windowClass;
  std::optional<std::string> gtkApplicationId;
};

// Names an application the same way across launches and versions: by the
// launcher the desktop shows for it where one matches its windows, which is
// the name a user would recognise, and by the window class otherwise.
class DesktopEntryIdentity {
public:
  explicit DesktopEntryIdentity(std::vector<DesktopEntry> entries) : entries_(std::move(entries)) {}
  // The launchers installed for this user and system-wide.
  static DesktopEntryIdentity installed();

  // Empty when the window gives no class either.
  std::string identify(const WindowNames& names) const;

private:
  const DesktopEntry* byId(std::string_view id, bool ignoringCase) const;

  std::vector<DesktopEntry> entries_;
};

} // namespace quillon
