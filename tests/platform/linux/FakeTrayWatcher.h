#pragma once

#include <gio/gio.h>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// A tray host's watcher (org.kde.StatusNotifierWatcher) on the session bus,
// on a connection of its own, that records each item registering with it.
// Also the test's client: it reads what the tray host would read.
class FakeTrayWatcher {
public:
  struct Registration {
    std::string busName;
    std::string objectPath;
  };

  // One entry of the exported menu layout, with the properties a host reads.
  struct MenuEntry {
    int id = 0;
    std::string label;
    std::string type;
    std::string toggleType;
    int toggleState = 0;
    bool enabled = true;
    std::vector<std::string> shortcut;
    std::vector<MenuEntry> children;

    const MenuEntry* find(const std::string& wanted) const;
  };

  explicit FakeTrayWatcher(const std::string& busAddress);
  ~FakeTrayWatcher();
  FakeTrayWatcher(const FakeTrayWatcher&) = delete;
  FakeTrayWatcher& operator=(const FakeTrayWatcher&) = delete;

  bool ownsName() const { return ownsName_; }
  const std::vector<Registration>& registrations() const { return registrations_; }

  // A property of the registered item (org.kde.StatusNotifierItem), waiting
  // for the answer.
  GVariant* itemProperty(const Registration& item, const char* name);
  // The item's whole menu as the host fetches it (GetLayout of the root).
  std::optional<MenuEntry> menuLayout(const Registration& item);
  // Tells the item the user picked this entry, as a host does on a click.
  bool click(const Registration& item, int id);
  // Tells the item its menu is about to be shown.
  bool aboutToShow(const Registration& item);

private:
  static void methodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                         const gchar* method, GVariant* parameters, GDBusMethodInvocation*,
                         gpointer self);
  static GVariant* getProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar* property, GError**, gpointer self);
  GVariant* call(const std::string& busName, const std::string& path, const char* interface,
                 const char* method, GVariant* parameters, const char* replyType);
  std::optional<std::string> menuPath(const Registration& item);

  GDBusConnection* connection_ = nullptr;
  guint objectId_ = 0;
  guint nameId_ = 0;
  bool ownsName_ = false;
  std::vector<Registration> registrations_;
};

} // namespace quillon
