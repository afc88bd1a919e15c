// The resident memory of the live desktop's shell on its own: GTK, the tray
// item with its drawn icon and a menu of the product's size, and the GTK
// clipboard, with none of the product's logic. This is the floor under the
// product's own figure from x11_tap_measure. Run by bench/x11_tap_measure.sh
// on its private display:
//   x11_shell_floor

#include "ResidentMemory.h"
#include "platform/linux/LinuxPasteboard.h"
#include "platform/linux/LinuxUserInterface.h"

#include <iostream>
#include <string>

namespace {

constexpr int kMenuItems = 40;
constexpr guint kSettleMilliseconds = 2000;

class SilentLog final : public quillon::Log {
public:
  void write(std::string_view) override {}
};

std::vector<quillon::MenuItem> productSizedMenu() {
  std::vector<quillon::MenuItem> items;
  for (int index = 0; index < kMenuItems; ++index) {
    quillon::MenuItem item;
    item.title = "Menu item " + std::to_string(index);
    item.tag = index;
    item.checked = index % 2 == 0;
    items.push_back(item);
  }
  quillon::MenuItem submenu{.title = "Submenu"};
  submenu.submenu = {items.begin(), items.begin() + 5};
  items.push_back(submenu);
  return items;
}

} // namespace

int main() {
  // As the product does: GTK would otherwise load OpenGL to pick visuals.
  g_setenv("GDK_GL", "disable", FALSE);
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::cerr << "x11_shell_floor: cannot open the display\n";
    return 1;
  }
  SilentLog log;
  quillon::LinuxUserInterface userInterface(log);
  const auto item = userInterface.makeStatusItem({});
  item->setAppearance({.title = "EN", .weight = quillon::FontWeight::Bold, .monospaced = true});
  item->setMenu(productSizedMenu());
  quillon::LinuxPasteboard pasteboard(log);
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_timeout_add(
      kSettleMilliseconds,
      [](gpointer data) {
        g_main_loop_quit(static_cast<GMainLoop*>(data));
        return gboolean{G_SOURCE_REMOVE};
      },
      loop);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  std::cout << "resident memory of the toolkit shell alone: "
            << bench::describe(bench::residentMemory("self")) << "\n";
  return 0;
}
