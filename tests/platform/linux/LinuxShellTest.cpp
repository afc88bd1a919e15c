#include "FakeTrayWatcher.h"
#include "LiveSession.h"
#include "app/MenuCommand.h"
#include "app/StatusMenu.h"
#include "core/Settings.h"
#include "platform/linux/LinuxHudWindow.h"
#include "platform/linux/LinuxStatusItem.h"
#include "platform/linux/LinuxUserInterface.h"
#include "platform/linux/XdgDefaults.h"
#include "platform/shared/TableLocalization.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/SimLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace quillon {
namespace {

constexpr std::string_view settingsDomain = "com.quillon.Quillon";

class LiveShellTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string whyNot;
    session_ = LiveSession::shared(whyNot);
    if (session_ == nullptr) {
      GTEST_SKIP() << whyNot;
    }
  }

  LiveSession* session_ = nullptr;
  SimLog log_;
};

// The product's own menu, with its check marks kept true to the settings, as
// the status item's owner keeps them.
class TrayMenuTest : public LiveShellTest {
protected:
  void publishMenu() {
    for (const SettingToggle& toggle : StatusMenu::SettingToggles) {
      menu_.item(toggle.command).checked = settings_.value(toggle.key);
    }
    item_->setMenu(menu_.items());
  }

  void chosen(int tag) {
    ++choices_;
    for (const SettingToggle& toggle : StatusMenu::SettingToggles) {
      if (menuCommandForTag(tag) == toggle.command) {
        settings_.set(!settings_.value(toggle.key), toggle.key);
      }
    }
    publishMenu();
  }

  std::unique_ptr<StatusItem> makeItem(LinuxUserInterface& ui) {
    return ui.makeStatusItem({.clicked = nullptr,
                              .menuWillOpen = [this] { ++openings_; },
                              .menuItemChosen = [this](int tag) { chosen(tag); }});
  }

  TemporaryDirectory home_;
  XdgDefaults defaults_{XdgBaseDirectories{home_.path().string(), std::nullopt}, log_};
  NotificationCenter notifications_;
  Settings settings_{DefaultsDomain(defaults_, std::string(settingsDomain)), notifications_};
  const TableLocalization english_;
  StatusMenu menu_{english_};
  std::unique_ptr<StatusItem> item_;
  int choices_ = 0;
  int openings_ = 0;
};

TEST_F(TrayMenuTest, TheTrayHostSeesTheProductsMenuAndAChosenCheckItemTogglesItsSetting) {
  FakeTrayWatcher watcher(session_->busAddress());
  ASSERT_TRUE(watcher.ownsName());
  LinuxUserInterface ui(log_);
  item_ = makeItem(ui);
  item_->setAppearance({.title = "QL", .weight = FontWeight::Semibold, .monospaced = true});
  publishMenu();
  ASSERT_TRUE(LiveSession::runUntil([&] { return !watcher.registrations().empty(); }))
      << "the item never registered with the tray watcher";
  // A copy: the item registers again whenever it sees the watcher anew.
  const auto registration = watcher.registrations().front();

  GVariant* status = watcher.itemProperty(registration, "Status");
  ASSERT_NE(status, nullptr);
  EXPECT_STREQ(g_variant_get_string(status, nullptr), "Active");
  g_variant_unref(status);
  GVariant* icon = watcher.itemProperty(registration, "IconName");
  ASSERT_NE(icon, nullptr);
  EXPECT_THAT(g_variant_get_string(icon, nullptr), ::testing::StartsWith("quillon-status-"));
  g_variant_unref(icon);

  auto layout = watcher.menuLayout(registration);
  ASSERT_TRUE(layout);
  const std::string autoSwitchTitle = "Auto-switch layout (EN ↔ RU)";
  for (const std::string title :
       {"Quit Quillon", "Launch at login", "Snap window", "Left half", "Hotkeys", "Патч 1С"}) {
    EXPECT_NE(layout->find(title), nullptr) << title;
  }
  const auto* autoSwitch = layout->find(autoSwitchTitle);
  ASSERT_NE(autoSwitch, nullptr);
  EXPECT_EQ(autoSwitch->toggleType, "checkmark") << "auto-switch is on by default";
  EXPECT_EQ(autoSwitch->toggleState, 1);
  const auto* leftHalf = layout->find("Left half");
  EXPECT_THAT(leftHalf->shortcut, ::testing::ElementsAre("Control", "Super", "Left"));
  const auto* heading = layout->find("Quillon");
  ASSERT_NE(heading, nullptr);
  EXPECT_FALSE(heading->enabled) << "a heading line is greyed";

  EXPECT_TRUE(watcher.aboutToShow(registration));
  EXPECT_TRUE(LiveSession::runUntil([&] { return openings_ > 0; }))
      << "the owner never heard the menu opening";

  ASSERT_TRUE(watcher.click(registration, autoSwitch->id));
  ASSERT_TRUE(LiveSession::runUntil([&] { return choices_ > 0; }));
  EXPECT_FALSE(settings_.autoSwitchLayoutEnabled());
  EXPECT_EQ(XdgDefaults(XdgBaseDirectories{home_.path().string(), std::nullopt}, log_)
                .object(settingsDomain, "autoSwitchLayoutEnabled"),
            PropertyValue(false))
      << "the toggle reached the settings file";

  ASSERT_TRUE(LiveSession::runUntil([&] {
    layout = watcher.menuLayout(registration);
    const auto* entry = layout ? layout->find(autoSwitchTitle) : nullptr;
    return entry != nullptr && entry->toggleState == 0;
  })) << "the host never saw the check mark go";
  EXPECT_THAT(log_.lines(), ::testing::IsEmpty());
}

TEST_F(TrayMenuTest, WithoutATrayTheProductSaysSoOnceAndGoesOn) {
  LinuxUserInterface ui(log_);
  item_ = makeItem(ui);
  publishMenu();
  ASSERT_TRUE(LiveSession::runUntil([&] { return !log_.lines().empty(); }));
  LiveSession::settle();
  EXPECT_EQ(log_.takeNewLines(),
            std::vector<std::string>{
                "Quillon: no system tray (StatusNotifierWatcher) on the session bus; the tray "
                "icon and menu are unavailable, hotkeys keep working"});
  item_->setAppearance({.title = "●", .color = NamedColor::SystemRed});
  chosen(menuCommandTag(MenuCommand::toggleCopyKeys));
  EXPECT_FALSE(settings_.copyKeysEnabled());
}

// Where the pointer is pressed, which window hears it.
class ClickProbe {
public:
  explicit ClickProbe(GdkRectangle frame) : window_(adoptWidget(gtk_window_new(GTK_WINDOW_POPUP))) {
    gtk_window_move(GTK_WINDOW(window_.get()), frame.x, frame.y);
    gtk_window_set_default_size(GTK_WINDOW(window_.get()), frame.width, frame.height);
    gtk_widget_add_events(window_.get(), GDK_BUTTON_PRESS_MASK);
    g_signal_connect(window_.get(), "button-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer presses) {
                       ++*static_cast<int*>(presses);
                       return gboolean{TRUE};
                     }),
                     &presses_);
    gtk_widget_show_all(window_.get());
  }
  int presses() const { return presses_; }

private:
  GtkWidgetPtr window_;
  int presses_ = 0;
};

void clickAt(int x, int y) {
  Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
}

using HudTest = LiveShellTest;

TEST_F(HudTest, ClicksOnTheHudReachTheWindowBeneath) {
  ClickProbe beneath({400, 300, 480, 200});
  LinuxUserInterface ui(log_);
  HudWindowStyle style;
  style.message = "Auto-switch ON";
  style.contentSize = {320, 80};
  style.ignoresMouseEvents = true;
  style.singleLine = true;
  const auto hud = ui.makeHudWindow(style);
  // Bottom-left coordinates: the box's top edge 360 px below the top of the
  // 800 px high screen.
  hud->setFrameOrigin({480, 800 - 360 - 80});
  hud->orderFrontRegardless();
  GtkWidget* widget = static_cast<LinuxHudWindow&>(*hud).widget();
  ASSERT_TRUE(LiveSession::runUntil([&] {
    int x = 0;
    int y = 0;
    gtk_window_get_position(GTK_WINDOW(widget), &x, &y);
    return gtk_widget_get_mapped(widget) && x == 480 && y == 360;
  })) << "the HUD never showed at its place";
  LiveSession::settle();

  clickAt(640, 400);
  EXPECT_TRUE(LiveSession::runUntil([&] { return beneath.presses() == 1; }))
      << "the click stopped at the HUD";

  bool faded = false;
  hud->animateAlpha(0.0, Duration(0.05), [&faded] { faded = true; });
  EXPECT_TRUE(LiveSession::runUntil([&] { return faded; }));
  EXPECT_DOUBLE_EQ(gtk_widget_get_opacity(widget), 0.0);
  hud->orderOut();
  EXPECT_FALSE(gtk_widget_get_visible(widget));
}

TEST_F(HudTest, AHudThatTakesClicksStopsThem) {
  ClickProbe beneath({400, 300, 480, 200});
  LinuxUserInterface ui(log_);
  HudWindowStyle style;
  style.message = "takes clicks";
  const auto hud = ui.makeHudWindow(style);
  hud->setFrameOrigin({480, 800 - 360 - 80});
  hud->orderFrontRegardless();
  GtkWidget* widget = static_cast<LinuxHudWindow&>(*hud).widget();
  ASSERT_TRUE(LiveSession::runUntil([&] { return gtk_widget_get_mapped(widget) != FALSE; }));
  LiveSession::settle();
  clickAt(640, 400);
  LiveSession::settle();
  EXPECT_EQ(beneath.presses(), 0);
}

} // namespace
} // namespace quillon

namespace quillon {
namespace {

using PopUpMenuTest = LiveShellTest;

TEST_F(PopUpMenuTest, OpensAtThePointAndHearsThePickAfterTheMenuIsDone) {
  LinuxUserInterface ui(log_);
  std::vector<int> chosen;
  ui.popUpMenu("Clipboard history",
               {{.title = "первый", .tag = 7},
                MenuItem::makeSeparator(),
                {.title = "greyed", .tag = 8, .enabled = false},
                {.title = "second", .tag = 9}},
               {100, 700}, [&chosen](int tag) { chosen.push_back(tag); });
  GtkWidget* menu = ui.openPopUpMenu();
  ASSERT_NE(menu, nullptr) << "the menu did not open";
  ASSERT_TRUE(LiveSession::runUntil([&] {
    GdkWindow* window = gtk_widget_get_window(gtk_widget_get_toplevel(menu));
    int x = 0;
    int y = 0;
    if (window != nullptr) {
      gdk_window_get_origin(window, &x, &y);
    }
    return x == 100 && y == 100;
  })) << "the menu is not where it was asked for";

  GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
  EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(g_list_nth_data(items, 2))));
  gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), GTK_WIDGET(g_list_nth_data(items, 3)), TRUE);
  g_list_free(items);
  EXPECT_TRUE(chosen.empty()) << "heard while GTK was still delivering the pick";
  EXPECT_TRUE(LiveSession::runUntil([&] { return !chosen.empty(); }));
  EXPECT_EQ(chosen, std::vector<int>{9});
  EXPECT_EQ(ui.openPopUpMenu(), nullptr);
}

} // namespace
} // namespace quillon
