#include "platform/linux/DesktopEntryIdentity.h"

#include <algorithm>
#include <cctype>
#include <gio/gdesktopappinfo.h>

namespace quillon {

namespace {

constexpr std::string_view DesktopSuffix = ".desktop";

bool equalIgnoringCase(std::string_view first, std::string_view second) {
  return first.size() == second.size() &&
         std::equal(first.begin(), first.end(), second.begin(), [](char left, char right) {
           return std::tolower(static_cast<unsigned char>(left)) ==
                  std::tolower(static_cast<unsigned char>(right));
         });
}

} // namespace

DesktopEntryIdentity DesktopEntryIdentity::installed() {
  std::vector<DesktopEntry> entries;
  GList* all = g_app_info_get_all();
  for (GList* item = all; item != nullptr; item = item->next) {
    auto* info = static_cast<GAppInfo*>(item->data);
    const char* id = g_app_info_get_id(info);
    if (id != nullptr && G_IS_DESKTOP_APP_INFO(info)) {
      std::string name(id);
      if (name.ends_with(DesktopSuffix)) {
        name.resize(name.size() - DesktopSuffix.size());
      }
      const char* windowClass = g_desktop_app_info_get_startup_wm_class(G_DESKTOP_APP_INFO(info));
      entries.push_back({std::move(name), windowClass != nullptr
                                              ? std::optional<std::string>(windowClass)
                                              : std::nullopt});
    }
  }
  g_list_free_full(all, g_object_unref);
  return DesktopEntryIdentity(std::move(entries));
}

const DesktopEntry* DesktopEntryIdentity::byId(std::string_view id, bool ignoringCase) const {
  const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const DesktopEntry& entry) {
    return ignoringCase ? equalIgnoringCase(entry.id, id) : entry.id == id;
  });
  return found == entries_.end() ? nullptr : &*found;
}

std::string DesktopEntryIdentity::identify(const WindowNames& names) const {
  // A GTK application names its launcher outright.
  if (names.gtkApplicationId) {
    if (const DesktopEntry* entry = byId(*names.gtkApplicationId, false)) {
      return entry->id;
    }
  }
  // A launcher that names the window class is the surest match after that.
  for (const std::string& name : {names.windowClass, names.instance}) {
    if (name.empty()) {
      continue;
    }
    const auto claimed = std::find_if(entries_.begin(), entries_.end(), [&](const auto& entry) {
      return entry.startupWindowClass == name;
    });
    if (claimed != entries_.end()) {
      return claimed->id;
    }
  }
  // Launchers are often named after the program, in whatever case.
  for (const std::string& name : {names.instance, names.windowClass}) {
    if (const DesktopEntry* entry = name.empty() ? nullptr : byId(name, true)) {
      return entry->id;
    }
  }
  return names.windowClass;
}

} // namespace quillon
