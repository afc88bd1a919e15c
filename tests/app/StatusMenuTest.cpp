#include "app/StatusMenu.h"

#include "app/MenuSearch.h"
#include "platform/shared/TableLocalization.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

// One line per item, "---" for a separator, "> " before each item of a
// submenu: a whole menu in a form whose differences read at a glance.
void flatten(const std::vector<MenuItem>& items, const std::string& prefix,
             std::vector<std::string>& lines) {
  for (const MenuItem& item : items) {
    lines.push_back(prefix + (item.separator ? "---" : item.title));
    flatten(item.submenu, prefix + "> ", lines);
  }
}

std::vector<std::string> flattened(const StatusMenu& menu) {
  std::vector<std::string> lines;
  flatten(menu.items(), "", lines);
  return lines;
}

TEST(StatusMenuTest, HoldsEveryItemInOrder) {
  const std::vector<std::string> expected{
      "⌨️ Parlando Quillon",
      "💬 Parlando — мессенджер",
      "    Private chats and calls, end-to-end encrypted",
      "    Russian and English side by side, on every device",
      "parlando.chat →",
      "---",
      "Quillon",
      "---",
      "Cmd+Shift → switch language",
      "Ctrl or Fn + X/C/V/Z/B/I/U/N/Q → Cmd+…",
      "Auto-switch layout (EN ↔ RU)",
      "Check words in dictionaries",
      "Don't correct in this application",
      "Forget learned words (0)",
      "Keep awake on lid close (⌃⌘S)",
      "Punctuation: double-tap ⇧/ → , (and ⇧,, → ,, ⇧.. → .)",
      "Invert mouse wheel scroll",
      "⌘ + hover folder in Finder → peek inside",
      "Desktop folders → iOS-style icon (2×2 grid of contents)",
      "Патч 1С",
      "> Двойной клик → Ctrl+Enter (Pop при срабатывании)",
      ">     Обход бага Qt 5.6 в толстом/тонком клиенте 1С 8.3.13",
      ">     на macOS: mouseDoubleClickEvent в табличных полях",
      ">     срабатывает ненадёжно, событие Выбор не активируется.",
      ">     Перехватываем два левых клика в одной точке (по системному",
      ">     double-click interval из macOS Accessibility) в окне 1С",
      ">     и шлём Ctrl+Enter — клавиатурный «Открыть» в dynamic list,",
      ">     эквивалент рабочего двойного клика, поднимает событие Выбор",
      ">     (важно когда в конфиге стоит СтандартнаяОбработка = Ложь).",
      ">     Pop-звук = патч сработал. Одиночный клик не трогаем.",
      ">     Bundle id: com.1c.v8.apps.1cv8 и .1cv8c.",
      "---",
      "Capture screen area to clipboard (⌥⇧S)",
      "Record full-screen video",
      "Built-in screen / window / area recording (⌃⌘V)",
      "Record audio (⌃⌘R)",
      "---",
      "Create web app from URL (Safari)…",
      "---",
      "Pin window above all apps",
      "Snap window",
      "> Left half",
      "> Right half",
      "> Maximize",
      "> Centre",
      "> ---",
      "> Top-left quarter",
      "> Top-right quarter",
      "> Bottom-left quarter",
      "> Bottom-right quarter",
      "> ---",
      "> Auto-snap mouse-dragged windows to exact edges",
      "> Restore window positions across launches",
      "Clipboard history…",
      "---",
      "Hotkeys",
      "> ⌘\\ — convert selection / word / undo",
      "> /команда — auto-translate slash command to English",
      "> ⌃⌘H — start system dictation",
      "> Fn + Control — start system dictation",
      "> ⌥⇧H — start system dictation (alt)",
      "> ⌥⇧S — area screenshot to clipboard",
      "> ⌃⌘V — record screen region video",
      "> ⌃⌘R — toggle audio recording",
      "> Double-tap Shift — toggle auto-switch",
      "> ⌃⌘S — toggle keep-awake",
      "> ⌃⌘← / → / ↑ / ↓ — snap window: left / right / max / centre",
      "> ⌃⌘1 / 2 / 3 / 4 — snap window: TL / TR / BL / BR quarter",
      "> ⌃⌘T — pin window above all apps",
      "---",
      "Launch at login",
      "Auto-enable on launch",
      "---",
      "Open Accessibility Settings…",
      "---",
      "Restart Quillon",
      "Quit Quillon",
  };
  const TableLocalization english;
  const StatusMenu menu(english);
  EXPECT_EQ(flattened(menu), expected);
}

void expectOnlyActionsEnabled(const std::vector<MenuItem>& items) {
  for (const MenuItem& item : items) {
    const bool acts = item.tag.has_value() || !item.submenu.empty();
    EXPECT_EQ(item.enabled, acts) << item.title;
    expectOnlyActionsEnabled(item.submenu);
  }
}

TEST(StatusMenuTest, LinesThatOnlyInformAreGreyed) {
  const TableLocalization english;
  expectOnlyActionsEnabled(StatusMenu(english).items());
}

TEST(StatusMenuTest, KeyEquivalentsAndTheirModifiers) {
  const TableLocalization english;
  const StatusMenu menu(english);
  struct KeyEquivalent {
    MenuCommand command;
    std::string key;
    EventFlags modifiers;
  };
  constexpr EventFlags controlCommand = 0x140000;
  const std::vector<KeyEquivalent> expected{
      {MenuCommand::menuPinAboveAll, "t", controlCommand},
      {MenuCommand::menuSnapLeft, "\uF702", controlCommand},
      {MenuCommand::menuSnapRight, "\uF703", controlCommand},
      {MenuCommand::menuSnapMaximize, "\uF700", controlCommand},
      {MenuCommand::menuSnapCenter, "\uF701", controlCommand},
      {MenuCommand::menuSnapTopLeft, "1", controlCommand},
      {MenuCommand::menuSnapTopRight, "2", controlCommand},
      {MenuCommand::menuSnapBottomLeft, "3", controlCommand},
      {MenuCommand::menuSnapBottomRight, "4", controlCommand},
      {MenuCommand::menuShowClipboardHistory, "v", 0xA0000},
      {MenuCommand::openAccessibility, ",", 0x100000},
      {MenuCommand::restartApp, "r", 0x100000},
      {MenuCommand::quit, "q", 0x100000},
  };
  std::size_t withKeys = 0;
  for (std::size_t index = 0; index < MenuCommandCount; ++index) {
    const auto command = static_cast<MenuCommand>(index);
    const MenuItem& item = menu.item(command);
    ASSERT_EQ(item.tag, menuCommandTag(command)) << "every command has its item";
    withKeys += item.keyEquivalent.empty() ? 0 : 1;
  }
  EXPECT_EQ(withKeys, expected.size()) << "the capture items' shortcuts belong to the event tap";
  for (const auto& [command, key, modifiers] : expected) {
    EXPECT_EQ(menu.item(command).keyEquivalent, key) << menuCommandName(command);
    EXPECT_EQ(menu.item(command).keyEquivalentModifierMask, modifiers) << menuCommandName(command);
  }
}

TEST(StatusMenuTest, TitlesAreLookedUpWithThemselvesAsKey) {
  TableLocalization russian;
  russian.set("Quit Quillon", "Выйти из Quillon");
  russian.set("Snap window", "Окно");
  russian.set("Left half", "Левая половина");
  const StatusMenu menu(russian);
  EXPECT_EQ(menu.item(MenuCommand::quit).title, "Выйти из Quillon");
  EXPECT_EQ(menuPathTo(menu.items(), MenuCommand::menuSnapLeft),
            (std::vector<std::string>{"Окно", "Левая половина"}));
}

} // namespace
} // namespace quillon
