#include "platform/sim/SimAppWindows.h"

namespace quillon {

namespace {

class SimAppWindow final : public AppWindow {
public:
  SimAppWindow(std::shared_ptr<SimAppWindowRecord> record, SimJournal& journal)
      : record_(std::move(record)), journal_(journal) {}
  ~SimAppWindow() override {
    record_->closed = true;
    record_->visible = false;
  }
  SimAppWindow(const SimAppWindow&) = delete;
  SimAppWindow& operator=(const SimAppWindow&) = delete;

  void setTitle(std::string_view title) override { record_->title = std::string(title); }
  void setContent(WebView&) override { record_->hasContent = true; }
  void center() override { record_->centered = true; }
  void makeKeyAndOrderFront() override {
    journal_.record("window order front");
    record_->visible = true;
    record_->key = true;
  }
  bool isVisible() const override { return record_->visible; }

private:
  std::shared_ptr<SimAppWindowRecord> record_;
  SimJournal& journal_;
};

} // namespace

std::unique_ptr<AppWindow> SimAppWindows::makeWindow(const WindowStyle& style) {
  journal_.record("make window");
  lastWindow_ = std::make_shared<SimAppWindowRecord>();
  lastWindow_->style = style;
  return std::make_unique<SimAppWindow>(lastWindow_, journal_);
}

void SimAppWindows::setMainMenu(std::vector<MainMenu> menus,
                                std::function<void(std::string_view action)> chosen) {
  journal_.record("set main menu");
  menus_ = std::move(menus);
  chosen_ = std::move(chosen);
}

MainMenuItem* SimAppWindows::findItem(std::string_view action) {
  for (MainMenu& menu : menus_) {
    for (MainMenuItem& item : menu.items) {
      if (!item.separator && item.action == action && item.target == MenuTarget::Delegate) {
        return &item;
      }
    }
  }
  return nullptr;
}

void SimAppWindows::setMenuItemChecked(std::string_view action, bool checked) {
  if (MainMenuItem* item = findItem(action)) {
    item->checked = checked;
  }
}

void SimAppWindows::activateApplication() {
  journal_.record("activate application");
  ++activations_;
}

bool SimAppWindows::chooseMainMenuAction(std::string_view action) {
  if (findItem(action) == nullptr || !chosen_) {
    return false;
  }
  chosen_(action);
  return true;
}

void SimAppWindows::closeLastWindow() {
  if (lastWindow_) {
    lastWindow_->visible = false;
    lastWindow_->key = false;
  }
}

} // namespace quillon
