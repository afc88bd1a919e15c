#include "app/StatusMenu.h"

#include <algorithm>
#include <cassert>
#include <initializer_list>

namespace quillon {

namespace {

// The menu item key equivalents work only while the menu is open; the global
// hotkeys are the event tap's.
constexpr EventFlags controlCommand = flag::Control | flag::Command;
constexpr EventFlags shiftOption = flag::Shift | flag::Option;
constexpr std::string_view leftArrowKey = "\uF702";
constexpr std::string_view rightArrowKey = "\uF703";
constexpr std::string_view upArrowKey = "\uF700";
constexpr std::string_view downArrowKey = "\uF701";
// Lines that explain rather than act sit indented under their heading.
constexpr std::string_view indent = "    ";

constexpr std::array<std::string_view, 10> oneCExplanation{
    "Обход бага Qt 5.6 в толстом/тонком клиенте 1С 8.3.13",
    "на macOS: mouseDoubleClickEvent в табличных полях",
    "срабатывает ненадёжно, событие Выбор не активируется.",
    "Перехватываем два левых клика в одной точке (по системному",
    "double-click interval из macOS Accessibility) в окне 1С",
    "и шлём Ctrl+Enter — клавиатурный «Открыть» в dynamic list,",
    "эквивалент рабочего двойного клика, поднимает событие Выбор",
    "(важно когда в конфиге стоит СтандартнаяОбработка = Ложь).",
    "Pop-звук = патч сработал. Одиночный клик не трогаем.",
    "Bundle id: com.1c.v8.apps.1cv8 и .1cv8c.",
};

constexpr std::array<std::string_view, 3> dictationReminders{
    "⌃⌘H — start system dictation",
    "Fn + Control — start system dictation",
    "⌥⇧H — start system dictation (alt)",
};

constexpr std::array<std::string_view, 13> hotkeyReminders{
    "⌘\\ — convert selection / word / undo",
    "/команда — auto-translate slash command to English",
    "⌃⌘H — start system dictation",
    "Fn + Control — start system dictation",
    "⌥⇧H — start system dictation (alt)",
    "⌥⇧S — area screenshot to clipboard",
    "⌃⌘V — record screen region video",
    "⌃⌘R — toggle audio recording",
    "Double-tap Shift — toggle auto-switch",
    "⌃⌘S — toggle keep-awake",
    "⌃⌘← / → / ↑ / ↓ — snap window: left / right / max / centre",
    "⌃⌘1 / 2 / 3 / 4 — snap window: TL / TR / BL / BR quarter",
    "⌃⌘T — pin window above all apps",
};

class MenuBuilder {
public:
  explicit MenuBuilder(const Localization& localization) : localization_(localization) {}

  MenuItem action(std::string_view title, MenuCommand command, std::string_view key = {},
                  EventFlags modifiers = flag::Command) const {
    MenuItem item;
    item.title = localization_.localized(title);
    item.tag = menuCommandTag(command);
    item.keyEquivalent = std::string(key);
    item.keyEquivalentModifierMask = modifiers;
    return item;
  }

  // A line that only informs: no action, shown greyed.
  MenuItem line(std::string_view title) const {
    MenuItem item;
    item.title = localization_.localized(title);
    item.enabled = false;
    return item;
  }

  MenuItem submenu(std::string_view title, std::vector<MenuItem> items) const {
    MenuItem item;
    item.title = localization_.localized(title);
    item.submenu = std::move(items);
    return item;
  }

  template <std::size_t Count>
  void appendIndentedLines(std::vector<MenuItem>& items,
                           const std::array<std::string_view, Count>& texts) const {
    for (const std::string_view text : texts) {
      items.push_back(line(std::string(indent) + std::string(text)));
    }
  }

private:
  const Localization& localization_;
};

void appendParlandoPromo(std::vector<MenuItem>& items, const MenuBuilder& build) {
  items.push_back(build.action("⌨️ Parlando Quillon", MenuCommand::openQuillonSite));
  items.push_back(build.action("💬 Parlando — мессенджер", MenuCommand::openParlandoSite));
  build.appendIndentedLines(items, promotion::ParlandoFeatures);
  items.push_back(
      build.action(std::string(promotion::ParlandoDomain) + " →", MenuCommand::openParlandoSite));
}

std::vector<MenuItem> oneCSubmenu(const MenuBuilder& build) {
  std::vector<MenuItem> items{build.action("Двойной клик → Ctrl+Enter (Pop при срабатывании)",
                                           MenuCommand::toggleOneCDoubleClick)};
  build.appendIndentedLines(items, oneCExplanation);
  return items;
}

std::vector<MenuItem> snapSubmenu(const MenuBuilder& build) {
  return {
      build.action("Left half", MenuCommand::menuSnapLeft, leftArrowKey, controlCommand),
      build.action("Right half", MenuCommand::menuSnapRight, rightArrowKey, controlCommand),
      build.action("Maximize", MenuCommand::menuSnapMaximize, upArrowKey, controlCommand),
      build.action("Centre", MenuCommand::menuSnapCenter, downArrowKey, controlCommand),
      MenuItem::makeSeparator(),
      build.action("Top-left quarter", MenuCommand::menuSnapTopLeft, "1", controlCommand),
      build.action("Top-right quarter", MenuCommand::menuSnapTopRight, "2", controlCommand),
      build.action("Bottom-left quarter", MenuCommand::menuSnapBottomLeft, "3", controlCommand),
      build.action("Bottom-right quarter", MenuCommand::menuSnapBottomRight, "4", controlCommand),
      MenuItem::makeSeparator(),
      build.action("Auto-snap mouse-dragged windows to exact edges",
                   MenuCommand::toggleAutoSnapMouseDrag),
      build.action("Restore window positions across launches", MenuCommand::toggleRestorePositions),
  };
}

std::vector<MenuItem> hotkeysSubmenu(const MenuBuilder& build) {
  std::vector<MenuItem> items;
  for (const std::string_view reminder : hotkeyReminders) {
    items.push_back(build.line(reminder));
  }
  return items;
}

std::vector<MenuItem> buildItems(const MenuBuilder& build) {
  std::vector<MenuItem> items;
  appendParlandoPromo(items, build);
  auto append = [&items](std::initializer_list<MenuItem> more) {
    items.insert(items.end(), more.begin(), more.end());
  };
  append({
      MenuItem::makeSeparator(),
      build.line("Quillon"),
      MenuItem::makeSeparator(),
      build.action("Cmd+Shift → switch language", MenuCommand::toggleLanguageSwitch),
      build.action("Ctrl or Fn + X/C/V/Z/B/I/U/N/Q → Cmd+…", MenuCommand::toggleCopyKeys),
      build.action("Auto-switch layout (EN ↔ RU)", MenuCommand::toggleAutoSwitch),
      build.action("Check words in dictionaries", MenuCommand::toggleDictionaryCorrection),
      build.action(StatusMenu::ExcludeNoAppTitle, MenuCommand::toggleExcludeFrontmostApp),
      build.action(std::string(StatusMenu::ForgetLearnedWordsTitle) + " (0)",
                   MenuCommand::forgetLearnedWords),
      build.action("Keep awake on lid close (⌃⌘S)", MenuCommand::toggleSleepBlocker),
      build.action("Punctuation: double-tap ⇧/ → , (and ⇧,, → ,, ⇧.. → .)",
                   MenuCommand::togglePunctuationRemaps),
      build.action("Invert mouse wheel scroll", MenuCommand::toggleInvertMouseWheel),
      build.action("⌘ + hover folder in Finder → peek inside", MenuCommand::toggleFolderPeek),
      build.action("Desktop folders → iOS-style icon (2×2 grid of contents)",
                   MenuCommand::toggleDesktopFolderIcons),
      build.submenu("Патч 1С", oneCSubmenu(build)),
      MenuItem::makeSeparator(),
      build.action("Capture screen area to clipboard (⌥⇧S)", MenuCommand::captureScreenshot),
      build.action("Record full-screen video", MenuCommand::recordFullScreenVideo),
      build.action("Built-in screen / window / area recording (⌃⌘V)",
                   MenuCommand::recordRegionVideo),
      build.action(StatusMenu::RecordAudioTitle, MenuCommand::toggleAudioRecording),
      MenuItem::makeSeparator(),
      build.action("Create web app from URL (Safari)…", MenuCommand::createWebApp),
      MenuItem::makeSeparator(),
      build.action("Pin window above all apps", MenuCommand::menuPinAboveAll, "t", controlCommand),
      build.submenu("Snap window", snapSubmenu(build)),
      build.action("Clipboard history…", MenuCommand::menuShowClipboardHistory, "v", shiftOption),
      MenuItem::makeSeparator(),
      build.submenu("Hotkeys", hotkeysSubmenu(build)),
      MenuItem::makeSeparator(),
      build.action("Launch at login", MenuCommand::toggleLaunchAtLogin),
      build.action("Auto-enable on launch", MenuCommand::toggleAutoEnable),
      MenuItem::makeSeparator(),
      build.action("Open Accessibility Settings…", MenuCommand::openAccessibility, ","),
      MenuItem::makeSeparator(),
      build.action("Restart Quillon", MenuCommand::restartApp, "r"),
      build.action("Quit Quillon", MenuCommand::quit, "q"),
  });
  return items;
}

// Depth first, so the first of several items sharing a command wins.
template <typename Items> auto findCommand(Items& items, int tag) -> decltype(&items.front()) {
  for (auto& item : items) {
    if (item.tag == tag) {
      return &item;
    }
    if (auto* found = findCommand(item.submenu, tag)) {
      return found;
    }
  }
  return nullptr;
}

} // namespace

StatusMenu::StatusMenu(const Localization& localization)
    : items_(buildItems(MenuBuilder(localization))) {}

MenuItem& StatusMenu::item(MenuCommand command) {
  MenuItem* found = findCommand(items_, menuCommandTag(command));
  assert(found != nullptr && "every command has an item in the status menu");
  return *found;
}

void StatusMenu::noteDictationUnavailable(const Localization& localization, std::string_view note) {
  std::vector<std::string> titles;
  for (const std::string_view reminder : dictationReminders) {
    titles.push_back(localization.localized(reminder));
  }
  for (MenuItem& item : items_) {
    for (MenuItem& line : item.submenu) {
      if (std::find(titles.begin(), titles.end(), line.title) != titles.end()) {
        line.title += note;
      }
    }
  }
}

const MenuItem& StatusMenu::item(MenuCommand command) const {
  const MenuItem* found = findCommand(items_, menuCommandTag(command));
  assert(found != nullptr && "every command has an item in the status menu");
  return *found;
}

} // namespace quillon
