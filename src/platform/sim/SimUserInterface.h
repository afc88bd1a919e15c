#pragma once

#include "platform/Sound.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimObservers.h"
#include "platform/sim/SimScreens.h"
#include "platform/sim/UnreadRecord.h"
#include "platform/sim/VirtualClock.h"
#include "platform/sim/VirtualRunLoop.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

class SimSound final : public Sound {
public:
  // Sounds beyond this many unread ones push out the oldest.
  static constexpr std::size_t maximumUnreadSounds = 10'000;

  void play(std::string_view name) override { played_.push(std::string(name)); }
  // The unread sounds, oldest first.
  std::vector<std::string> played() const { return played_.copy(); }
  // The unread sounds, which are then released.
  std::vector<std::string> takePlayed() { return played_.take(); }

private:
  UnreadRecord<std::string> played_{maximumUnreadSounds};
};

// What became of one window: kept after the window is gone, so tests can
// read its whole life.
struct SimWindowRecord {
  HudWindowStyle style;
  Point origin;
  bool visible = false;
  bool closed = false;
  // Alpha as a function of time: the current animation, if any.
  double alphaFrom = 1;
  double alphaTo = 1;
  TimePoint animationStart;
  Duration animationDuration{0};
  std::optional<TimePoint> orderedFrontAt;
  std::optional<TimePoint> orderedOutAt;

  double alphaAt(TimePoint time) const;
  Rect frame() const { return {origin, style.contentSize}; }
};

// The status item as the user sees it: kept after the item is removed, so
// tests can read its whole life.
struct SimStatusItemRecord {
  StatusItemAppearance appearance;
  std::vector<MenuItem> menu;
  bool menuShowing = false;
  int menuShownCount = 0;
  bool removed = false;
  StatusItemHandlers handlers;
};

// A menu popped up at a point: the last one shown, kept after it closes.
struct SimPopUpMenuRecord {
  std::string title;
  std::vector<MenuItem> items;
  Point location;
  bool showing = false;
  std::function<void(int tag)> chosen;
};

// A floating panel as the user sees it: kept after the panel is closed.
struct SimFloatingPanelRecord {
  FloatingPanelStyle style;
  FloatingPanelContent content;
  Point origin;
  bool visible = false;
  bool closed = false;
  int orderedFrontCount = 0;
  std::function<void(const std::string& path)> cellChosen;

  Rect frame() const { return {origin, content.contentSize}; }
};

enum class MenuChoice {
  Chosen,
  NoMenuShowing,
  NoSuchItem,
  Disabled,
  // The path ends at an item that only opens a submenu.
  OpensSubmenu,
};

class SimUserInterface final : public UserInterface {
public:
  // Beyond these, the oldest window record and the oldest unread message go.
  static constexpr std::size_t maximumHudWindowRecords = 10'000;
  static constexpr std::size_t maximumUnreadHudMessages = 10'000;

  SimUserInterface(VirtualClock& clock, VirtualRunLoop& runLoop, SimJournal& journal)
      : clock_(clock), runLoop_(runLoop), journal_(journal) {}

  std::shared_ptr<OverlayWindow> makeHudWindow(const HudWindowStyle& style) override;
  std::unique_ptr<StatusItem> makeStatusItem(StatusItemHandlers handlers) override;
  void popUpMenu(std::string title, std::vector<MenuItem> items, Point location,
                 std::function<void(int tag)> chosen) override;

  // The item in the menu bar, or null when there is none.
  const SimStatusItemRecord* statusItem() const;
  // A click with the button coming up; false when there is no item. As on a
  // real menu bar, a click while the menu is showing only closes the menu.
  bool clickStatusItem(MouseButton button, int clickCount = 1);
  // The items leading through these titles (a submenu's title, then an item
  // of it, …) to the last one, whether or not the menu is showing; empty when
  // the titles lead nowhere.
  std::vector<const MenuItem*> menuItemsAlong(const std::vector<std::string>& titles) const;
  // Picks the item of the showing menu reached through these titles (a
  // submenu's title, then an item of it, …): runs its action, then closes
  // the menu. Anything but Chosen leaves the menu as it was.
  MenuChoice chooseMenuItem(const std::vector<std::string>& titles);
  // Closes the showing menu without choosing, as Escape does.
  void dismissMenu();

  std::unique_ptr<FloatingPanel>
  makeFloatingPanel(const FloatingPanelStyle& style,
                    std::function<void(const std::string& path)> cellChosen) override;
  Observation addGlobalMonitor(std::uint64_t eventMask,
                               std::function<void(const Event&)> handler) override;
  // An event that went to another application: the global monitors of its
  // type see it on the main queue.
  void deliverToGlobalMonitors(const Event& event);
  std::size_t globalMonitorCount() const { return monitors_.count(); }
  // The most recently made floating panel, or null when none was made.
  const SimFloatingPanelRecord* floatingPanel() const {
    return panels_.empty() ? nullptr : panels_.back().get();
  }
  // A click on the cell of the showing panel with that path; false when no
  // panel shows such a cell. Like any click in the panel, it leaves the
  // frontmost application as it was.
  bool clickPanelCell(std::string_view path);

  // The last pop-up menu, or null when none was ever shown.
  const SimPopUpMenuRecord* popUpMenuRecord() const { return popUp_.get(); }
  // Picks the n-th item (from 1, separators not counted) of the showing
  // pop-up menu, then closes it. Anything but Chosen leaves it as it was.
  MenuChoice choosePopUpMenuItem(std::size_t n);

  // The most recent HUD windows, oldest first, open or closed.
  std::vector<std::shared_ptr<SimWindowRecord>> hudWindows() const { return hudWindows_.copy(); }
  // The unread messages of HUD windows brought on screen, which are then
  // released.
  std::vector<std::string> takeHudMessages() { return shownMessages_.take(); }
  double alphaOf(const SimWindowRecord& window) const { return window.alphaAt(clock_.now()); }

private:
  std::shared_ptr<SimStatusItemRecord> liveStatusItem() const;

  VirtualClock& clock_;
  VirtualRunLoop& runLoop_;
  SimJournal& journal_;
  UnreadRecord<std::shared_ptr<SimWindowRecord>> hudWindows_{maximumHudWindowRecords};
  std::vector<std::shared_ptr<SimStatusItemRecord>> statusItems_;
  std::shared_ptr<SimPopUpMenuRecord> popUp_;
  UnreadRecord<std::string> shownMessages_{maximumUnreadHudMessages};
  std::vector<std::shared_ptr<SimFloatingPanelRecord>> panels_;
  SimObservers<Event> monitors_;
};

} // namespace quillon
