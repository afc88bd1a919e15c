#include "platform/sim/SimUserInterface.h"

#include <algorithm>

namespace quillon {

namespace {

class SimHudWindow final : public OverlayWindow {
public:
  SimHudWindow(std::shared_ptr<SimWindowRecord> record, VirtualClock& clock,
               VirtualRunLoop& runLoop, UnreadRecord<std::string>& shownMessages)
      : record_(std::move(record)), clock_(clock), runLoop_(runLoop),
        shownMessages_(shownMessages) {}
  ~SimHudWindow() override {
    orderOut();
    record_->closed = true;
  }

  void setFrameOrigin(Point origin) override { record_->origin = origin; }

  void setAlpha(double alpha) override {
    record_->alphaFrom = record_->alphaTo = alpha;
    record_->animationDuration = Duration::zero();
  }

  void animateAlpha(double target, Duration duration, Task completion) override {
    record_->alphaFrom = record_->alphaAt(clock_.now());
    record_->alphaTo = target;
    record_->animationStart = clock_.now();
    record_->animationDuration = duration;
    runLoop_.asyncAfter(duration, std::move(completion));
  }

  void orderFrontRegardless() override {
    if (!record_->visible) {
      shownMessages_.push(record_->style.message);
    }
    record_->visible = true;
    record_->orderedFrontAt = clock_.now();
  }

  void orderOut() override {
    if (record_->visible) {
      record_->visible = false;
      record_->orderedOutAt = clock_.now();
    }
  }

private:
  std::shared_ptr<SimWindowRecord> record_;
  VirtualClock& clock_;
  VirtualRunLoop& runLoop_;
  UnreadRecord<std::string>& shownMessages_;
};

class SimStatusItem final : public StatusItem {
public:
  explicit SimStatusItem(std::shared_ptr<SimStatusItemRecord> record)
      : record_(std::move(record)) {}
  ~SimStatusItem() override {
    record_->removed = true;
    record_->menuShowing = false;
    record_->handlers = {};
  }

  void setAppearance(const StatusItemAppearance& appearance) override {
    record_->appearance = appearance;
  }

  void setMenu(std::vector<MenuItem> items) override { record_->menu = std::move(items); }

  void popUpMenu() override {
    if (record_->menuShowing) {
      return;
    }
    record_->menuShowing = true;
    ++record_->menuShownCount;
    // Copied: the owner may replace its handlers while one runs.
    if (const auto willOpen = record_->handlers.menuWillOpen) {
      willOpen();
    }
  }

private:
  std::shared_ptr<SimStatusItemRecord> record_;
};

// The item a title names among one menu's items, separators never.
const MenuItem* findTitled(const std::vector<MenuItem>& items, const std::string& title) {
  const auto found = std::find_if(items.begin(), items.end(), [&](const MenuItem& item) {
    return !item.separator && item.title == title;
  });
  return found == items.end() ? nullptr : &*found;
}

} // namespace

double SimWindowRecord::alphaAt(TimePoint time) const {
  if (animationDuration <= Duration::zero() ||
      time >= animationStart + toNanoseconds(animationDuration)) {
    return alphaTo;
  }
  if (time <= animationStart) {
    return alphaFrom;
  }
  const double progress = Duration(time - animationStart) / animationDuration;
  return alphaFrom + (alphaTo - alphaFrom) * progress;
}

std::shared_ptr<OverlayWindow> SimUserInterface::makeHudWindow(const HudWindowStyle& style) {
  auto record = std::make_shared<SimWindowRecord>();
  record->style = style;
  hudWindows_.push(record);
  return std::make_shared<SimHudWindow>(std::move(record), clock_, runLoop_, shownMessages_);
}

std::unique_ptr<StatusItem> SimUserInterface::makeStatusItem(StatusItemHandlers handlers) {
  journal_.record("create status item");
  auto record = std::make_shared<SimStatusItemRecord>();
  record->handlers = std::move(handlers);
  statusItems_.push_back(record);
  return std::make_unique<SimStatusItem>(std::move(record));
}

std::shared_ptr<SimStatusItemRecord> SimUserInterface::liveStatusItem() const {
  for (auto item = statusItems_.rbegin(); item != statusItems_.rend(); ++item) {
    if (!(*item)->removed) {
      return *item;
    }
  }
  return nullptr;
}

const SimStatusItemRecord* SimUserInterface::statusItem() const {
  return liveStatusItem().get();
}

bool SimUserInterface::clickStatusItem(MouseButton button, int clickCount) {
  const auto item = liveStatusItem();
  if (item == nullptr) {
    return false;
  }
  if (item->menuShowing) {
    dismissMenu();
    return true;
  }
  if (const auto clicked = item->handlers.clicked) {
    clicked(StatusItemClick{button, clickCount});
  }
  return true;
}

std::vector<const MenuItem*>
SimUserInterface::menuItemsAlong(const std::vector<std::string>& titles) const {
  std::vector<const MenuItem*> chain;
  const auto item = liveStatusItem();
  if (item == nullptr) {
    return chain;
  }
  const std::vector<MenuItem>* menu = &item->menu;
  for (const std::string& title : titles) {
    const MenuItem* found = findTitled(*menu, title);
    if (found == nullptr) {
      return {};
    }
    chain.push_back(found);
    menu = &found->submenu;
  }
  return chain;
}

MenuChoice SimUserInterface::chooseMenuItem(const std::vector<std::string>& titles) {
  // Held, so the menu that closes is this one even if the action replaces
  // the item.
  const auto item = liveStatusItem();
  if (item == nullptr || !item->menuShowing) {
    return MenuChoice::NoMenuShowing;
  }
  const auto chain = menuItemsAlong(titles);
  if (chain.empty()) {
    return MenuChoice::NoSuchItem;
  }
  const bool reachable =
      std::all_of(chain.begin(), chain.end(), [](const MenuItem* step) { return step->enabled; });
  if (!reachable) {
    return MenuChoice::Disabled;
  }
  const MenuItem* chosen = chain.back();
  if (!chosen->submenu.empty()) {
    return MenuChoice::OpensSubmenu;
  }
  // Taken before the action runs: it may rebuild the menu.
  const std::optional<int> tag = chosen->tag;
  const auto menuItemChosen = item->handlers.menuItemChosen;
  if (tag && menuItemChosen) {
    menuItemChosen(*tag);
  }
  item->menuShowing = false;
  return MenuChoice::Chosen;
}

void SimUserInterface::dismissMenu() {
  if (const auto item = liveStatusItem()) {
    item->menuShowing = false;
  }
}

void SimUserInterface::popUpMenu(std::string title, std::vector<MenuItem> items, Point location,
                                 std::function<void(int tag)> chosen) {
  journal_.record("pop up menu " + title);
  popUp_ = std::make_shared<SimPopUpMenuRecord>(
      SimPopUpMenuRecord{std::move(title), std::move(items), location, true, std::move(chosen)});
}

MenuChoice SimUserInterface::choosePopUpMenuItem(std::size_t n) {
  // Held, so the record stays while the action pops up another menu.
  const auto popUp = popUp_;
  if (popUp == nullptr || !popUp->showing) {
    return MenuChoice::NoMenuShowing;
  }
  std::vector<const MenuItem*> choosable;
  for (const MenuItem& item : popUp->items) {
    if (!item.separator) {
      choosable.push_back(&item);
    }
  }
  if (n == 0 || n > choosable.size()) {
    return MenuChoice::NoSuchItem;
  }
  const MenuItem& item = *choosable[n - 1];
  if (!item.enabled) {
    return MenuChoice::Disabled;
  }
  popUp->showing = false;
  if (item.tag && popUp->chosen) {
    popUp->chosen(*item.tag);
  }
  return MenuChoice::Chosen;
}

namespace {

class SimFloatingPanel final : public FloatingPanel {
public:
  SimFloatingPanel(std::shared_ptr<SimFloatingPanelRecord> record, SimJournal& journal)
      : record_(std::move(record)), journal_(journal) {}
  ~SimFloatingPanel() override {
    record_->visible = false;
    record_->closed = true;
  }
  SimFloatingPanel(const SimFloatingPanel&) = delete;
  SimFloatingPanel& operator=(const SimFloatingPanel&) = delete;

  void setContent(FloatingPanelContent content) override { record_->content = std::move(content); }
  Rect frame() const override { return record_->frame(); }
  void setFrameOrigin(Point origin) override { record_->origin = origin; }
  void orderFrontRegardless() override {
    record_->visible = true;
    ++record_->orderedFrontCount;
    journal_.record("panel front");
  }
  void orderOut() override {
    if (record_->visible) {
      journal_.record("panel out");
    }
    record_->visible = false;
  }
  bool isVisible() const override { return record_->visible; }

private:
  std::shared_ptr<SimFloatingPanelRecord> record_;
  SimJournal& journal_;
};

} // namespace

std::unique_ptr<FloatingPanel>
SimUserInterface::makeFloatingPanel(const FloatingPanelStyle& style,
                                    std::function<void(const std::string& path)> cellChosen) {
  auto record = std::make_shared<SimFloatingPanelRecord>();
  record->style = style;
  record->content.contentSize = style.contentSize;
  record->cellChosen = std::move(cellChosen);
  panels_.push_back(record);
  return std::make_unique<SimFloatingPanel>(std::move(record), journal_);
}

Observation SimUserInterface::addGlobalMonitor(std::uint64_t eventMask,
                                               std::function<void(const Event&)> handler) {
  return monitors_.add([eventMask, handler = std::move(handler)](const Event& event) {
    if ((eventMask & eventMaskBit(event.type())) != 0) {
      handler(event);
    }
  });
}

void SimUserInterface::deliverToGlobalMonitors(const Event& event) {
  if (monitors_.count() == 0) {
    return;
  }
  runLoop_.async([this, event] { monitors_.post(event); });
}

bool SimUserInterface::clickPanelCell(std::string_view path) {
  const auto panel = panels_.empty() ? nullptr : panels_.back();
  if (!panel || !panel->visible) {
    return false;
  }
  for (const auto& row : panel->content.rows) {
    for (const PanelCell& cell : row) {
      if (cell.path == path) {
        // The handler may close or refill the panel.
        const auto chosen = panel->cellChosen;
        const std::string chosenPath = cell.path;
        if (chosen) {
          chosen(chosenPath);
        }
        return true;
      }
    }
  }
  return false;
}

} // namespace quillon
