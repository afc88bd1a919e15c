#include "platform/xkb/XkbLayout.h"

#include "platform/xkb/KeyCodeTable.h"

#include <gtest/gtest.h>
#include <unicode/unistr.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Internal linkage keeps this printer from clashing with one in another test.
static void PrintTo(const KeyStroke& stroke, std::ostream* out) {
  *out << "{key " << stroke.keyCode << (stroke.shift ? " +shift" : "")
       << (stroke.option ? " +option" : "") << "}";
}

namespace {

constexpr KeyModifiers kPlain{};
constexpr KeyModifiers kShift{.shift = true};
constexpr KeyModifiers kCaps{.capsLock = true};
constexpr KeyModifiers kCapsShift{.shift = true, .capsLock = true};
constexpr KeyModifiers kOption{.option = true};

constexpr KeyCode kKeypadDecimal = 65;
constexpr KeyCode kKeypadEnter = 76;
constexpr KeyCode kKeypad1 = 83;
constexpr KeyCode kKeypad8 = 91;

// The one code point `text` consists of, if it is exactly one.
std::optional<char32_t> soleCharacter(const std::string& text) {
  const icu::UnicodeString decoded = icu::UnicodeString::fromUTF8(text);
  if (decoded.countChar32() != 1) {
    return std::nullopt;
  }
  return static_cast<char32_t>(decoded.char32At(0));
}

std::string typed(const XkbLayout& layout, const KeyStroke& stroke) {
  return layout.text(stroke.keyCode, {.shift = stroke.shift, .option = stroke.option});
}

// --- The key code table, checked against xkb-data directly ------------------

template <auto Release> struct Releaser {
  template <typename T> void operator()(T* object) const { Release(object); }
};

// The keysym each xkb keycode carries in xkb-data's "us" layout with Num Lock
// on, read without XkbLayout so the table is checked independently of it.
class UsKeysyms {
public:
  UsKeysyms()
      : context_(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)),
        keymap_(compile(context_.get())), state_(xkb_state_new(keymap_.get())) {
    const xkb_mod_index_t numLock = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_NUM);
    xkb_state_update_mask(state_.get(), 0, 0, xkb_mod_mask_t{1} << numLock, 0, 0, 0);
  }

  xkb_keysym_t at(std::uint32_t xkbKeycode) const {
    return xkb_state_key_get_one_sym(state_.get(), xkbKeycode);
  }

private:
  static xkb_keymap* compile(xkb_context* context) {
    const xkb_rule_names names{
        .rules = "evdev", .model = "pc105", .layout = "us", .variant = "", .options = ""};
    return xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  }

  std::unique_ptr<xkb_context, Releaser<xkb_context_unref>> context_;
  std::unique_ptr<xkb_keymap, Releaser<xkb_keymap_unref>> keymap_;
  std::unique_ptr<xkb_state, Releaser<xkb_state_unref>> state_;
};

TEST(KeyCodeTable, EveryEntryMapsBackBothWays) {
  ASSERT_FALSE(keyCodeMappings().empty());
  for (const KeyCodeMapping& mapping : keyCodeMappings()) {
    EXPECT_EQ(xkbKeycodeFor(mapping.keyCode), mapping.xkbKeycode) << "key " << mapping.keyCode;
    EXPECT_EQ(virtualKeyCodeFor(mapping.xkbKeycode), mapping.keyCode)
        << "xkb keycode " << mapping.xkbKeycode;
  }
}

TEST(KeyCodeTable, AnsiPositionsOfTheKeysLayoutsDisagreeOn) {
  EXPECT_EQ(xkbKeycodeFor(keycode::Grave), KEY_GRAVE + 8U);
  EXPECT_EQ(xkbKeycodeFor(keycode::Section), KEY_102ND + 8U);
  EXPECT_EQ(xkbKeycodeFor(keycode::Slash), KEY_SLASH + 8U);
  EXPECT_EQ(xkbKeycodeFor(keycode::Backslash), KEY_BACKSLASH + 8U);
}

TEST(KeyCodeTable, CodesOutsideTheTableHaveNoCounterpart) {
  EXPECT_EQ(xkbKeycodeFor(52), std::nullopt); // unassigned on Mac keyboards
  EXPECT_EQ(xkbKeycodeFor(127), std::nullopt);
  EXPECT_EQ(xkbKeycodeFor(128), std::nullopt);
  EXPECT_EQ(xkbKeycodeFor(0xFFFF), std::nullopt);
  EXPECT_EQ(virtualKeyCodeFor(0), std::nullopt);
  EXPECT_EQ(virtualKeyCodeFor(KEY_RESERVED + 8U), std::nullopt);
  EXPECT_EQ(virtualKeyCodeFor(KEY_SYSRQ + 8U), std::nullopt);
  EXPECT_EQ(virtualKeyCodeFor(KEY_MAX + 8U), std::nullopt);
  EXPECT_EQ(virtualKeyCodeFor(0xFFFFFFFFU), std::nullopt);
}

// Mac function and navigation key codes follow no order, so a slip in the
// table would go unnoticed by anything that only types text.
TEST(KeyCodeTable, NonTextKeysReachTheirXkbKeysyms) {
  struct Case {
    KeyCode key;
    xkb_keysym_t keysym;
  };
  const std::vector<Case> cases{
      {keycode::Return, XKB_KEY_Return},
      {keycode::Tab, XKB_KEY_Tab},
      {keycode::Delete, XKB_KEY_BackSpace},
      {keycode::Escape, XKB_KEY_Escape},
      {keycode::Command, XKB_KEY_Super_L},
      {keycode::RightCommand, XKB_KEY_Super_R},
      {keycode::Shift, XKB_KEY_Shift_L},
      {keycode::RightShift, XKB_KEY_Shift_R},
      {keycode::CapsLock, XKB_KEY_Caps_Lock},
      {keycode::Option, XKB_KEY_Alt_L},
      {keycode::RightOption, XKB_KEY_Alt_R},
      {keycode::Control, XKB_KEY_Control_L},
      {keycode::RightControl, XKB_KEY_Control_R},
      {keycode::Function, XKB_KEY_XF86Fn},
      {keycode::F1, XKB_KEY_F1},
      {keycode::F2, XKB_KEY_F2},
      {keycode::F3, XKB_KEY_F3},
      {keycode::F4, XKB_KEY_F4},
      {keycode::F5, XKB_KEY_F5},
      {keycode::F6, XKB_KEY_F6},
      {keycode::F7, XKB_KEY_F7},
      {keycode::F8, XKB_KEY_F8},
      {keycode::F9, XKB_KEY_F9},
      {keycode::F10, XKB_KEY_F10},
      {keycode::F11, XKB_KEY_F11},
      {keycode::F12, XKB_KEY_F12},
      {keycode::Home, XKB_KEY_Home},
      {keycode::End, XKB_KEY_End},
      {keycode::PageUp, XKB_KEY_Prior},
      {keycode::PageDown, XKB_KEY_Next},
      {keycode::ForwardDelete, XKB_KEY_Delete},
      {keycode::LeftArrow, XKB_KEY_Left},
      {keycode::RightArrow, XKB_KEY_Right},
      {keycode::DownArrow, XKB_KEY_Down},
      {keycode::UpArrow, XKB_KEY_Up},
      {kKeypadDecimal, XKB_KEY_KP_Decimal},
      {67, XKB_KEY_KP_Multiply},
      {69, XKB_KEY_KP_Add},
      {71, XKB_KEY_Num_Lock},
      {75, XKB_KEY_KP_Divide},
      {kKeypadEnter, XKB_KEY_KP_Enter},
      {78, XKB_KEY_KP_Subtract},
      {81, XKB_KEY_KP_Equal},
      {82, XKB_KEY_KP_0},
      {kKeypad1, XKB_KEY_KP_1},
      {84, XKB_KEY_KP_2},
      {85, XKB_KEY_KP_3},
      {86, XKB_KEY_KP_4},
      {87, XKB_KEY_KP_5},
      {88, XKB_KEY_KP_6},
      {89, XKB_KEY_KP_7},
      {kKeypad8, XKB_KEY_KP_8},
      {92, XKB_KEY_KP_9},
  };
  const UsKeysyms keysyms;
  for (const Case& c : cases) {
    const std::optional<std::uint32_t> xkbKeycode = xkbKeycodeFor(c.key);
    ASSERT_TRUE(xkbKeycode.has_value()) << "key " << c.key;
    EXPECT_EQ(keysyms.at(*xkbKeycode), c.keysym) << "key " << c.key;
  }
}

// --- Loading -----------------------------------------------------------------

TEST(XkbLayoutLoad, MalformedSpecsAreRejectedBeforeReachingXkb) {
  for (const std::string_view layoutName :
       {"", "us(", "us)x", "../etc", "us(mac", "us()", "(mac)", "us(mac)x", "us(ma(c))", "us,ru",
        "us ru", "us\n", "/usr/share/X11/xkb/symbols/us", "us(mac))"}) {
    std::string error;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(XkbLayout::load(layoutName, &error).has_value()) << '"' << layoutName << '"';
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(error.empty()) << '"' << layoutName << '"';
  }
  EXPECT_FALSE(XkbLayout::load(std::string(1000, 'u')).has_value());
}

TEST(XkbLayoutLoad, UnknownLayoutsAreReportedQuietly) {
  for (const std::string_view layoutName : {"zz", "us(nosuchvariant)"}) {
    std::string error;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(XkbLayout::load(layoutName, &error).has_value()) << layoutName;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << layoutName;
    EXPECT_NE(error.find(layoutName), std::string::npos) << error;
  }
}

TEST(XkbLayoutLoad, KeepsTheSpecItWasLoadedFrom) {
  const std::optional<XkbLayout> layout = XkbLayout::load("ru(mac)");
  ASSERT_TRUE(layout.has_value());
  EXPECT_EQ(layout->name(), "ru(mac)");
}

// --- Text per layout ----------------------------------------------------------

TEST(XkbLayoutUs, MainBlockKeysTypeTheirLegends) {
  struct Case {
    KeyCode key;
    std::string_view plain;
    std::string_view shifted;
  };
  const std::vector<Case> cases{
      {keycode::A, "a", "A"},           {keycode::S, "s", "S"},
      {keycode::D, "d", "D"},           {keycode::F, "f", "F"},
      {keycode::H, "h", "H"},           {keycode::G, "g", "G"},
      {keycode::Z, "z", "Z"},           {keycode::X, "x", "X"},
      {keycode::C, "c", "C"},           {keycode::V, "v", "V"},
      {keycode::B, "b", "B"},           {keycode::Q, "q", "Q"},
      {keycode::W, "w", "W"},           {keycode::E, "e", "E"},
      {keycode::R, "r", "R"},           {keycode::Y, "y", "Y"},
      {keycode::T, "t", "T"},           {keycode::O, "o", "O"},
      {keycode::U, "u", "U"},           {keycode::I, "i", "I"},
      {keycode::P, "p", "P"},           {keycode::L, "l", "L"},
      {keycode::J, "j", "J"},           {keycode::K, "k", "K"},
      {keycode::N, "n", "N"},           {keycode::M, "m", "M"},
      {keycode::Digit1, "1", "!"},      {keycode::Digit2, "2", "@"},
      {keycode::Digit3, "3", "#"},      {keycode::Digit4, "4", "$"},
      {keycode::Digit5, "5", "%"},      {keycode::Digit6, "6", "^"},
      {keycode::Digit7, "7", "&"},      {keycode::Digit8, "8", "*"},
      {keycode::Digit9, "9", "("},      {keycode::Digit0, "0", ")"},
      {keycode::Minus, "-", "_"},       {keycode::Equal, "=", "+"},
      {keycode::LeftBracket, "[", "{"}, {keycode::RightBracket, "]", "}"},
      {keycode::Semicolon, ";", ":"},   {keycode::Quote, "'", "\""},
      {keycode::Backslash, "\\", "|"},  {keycode::Comma, ",", "<"},
      {keycode::Period, ".", ">"},      {keycode::Slash, "/", "?"},
      {keycode::Grave, "`", "~"},       {keycode::Space, " ", " "},
  };
  const std::optional<XkbLayout> us = XkbLayout::load("us");
  ASSERT_TRUE(us.has_value());
  for (const Case& c : cases) {
    EXPECT_EQ(us->text(c.key, kPlain), c.plain) << "key " << c.key;
    EXPECT_EQ(us->text(c.key, kShift), c.shifted) << "key " << c.key;
  }
}

TEST(XkbLayoutUs, CapsLockFlipsLettersOnly) {
  const std::optional<XkbLayout> us = XkbLayout::load("us");
  ASSERT_TRUE(us.has_value());
  EXPECT_EQ(us->text(keycode::A, kCaps), "A");
  EXPECT_EQ(us->text(keycode::A, kCapsShift), "a");
  EXPECT_EQ(us->text(keycode::Digit1, kCaps), "1");
  EXPECT_EQ(us->text(keycode::Digit1, kCapsShift), "!");
  EXPECT_EQ(us->text(keycode::Slash, kCaps), "/");
}

TEST(XkbLayoutUs, KeysThatTypeNoCharacterGiveEmptyText) {
  const std::optional<XkbLayout> us = XkbLayout::load("us");
  ASSERT_TRUE(us.has_value());
  for (const KeyCode key :
       {keycode::Return, keycode::Tab, keycode::Delete, keycode::Escape, keycode::ForwardDelete,
        kKeypadEnter, keycode::Shift, keycode::F1, keycode::LeftArrow}) {
    for (const KeyModifiers modifiers : {kPlain, kShift, kCaps, kOption}) {
      EXPECT_EQ(us->text(key, modifiers), "") << "key " << key;
    }
  }
  for (const KeyCode outside : {KeyCode{52}, KeyCode{127}, KeyCode{128}, KeyCode{0xFFFF}}) {
    EXPECT_EQ(us->text(outside, kPlain), "") << "key " << outside;
  }
}

// Mac keypads have no Num Lock and always type digits.
TEST(XkbLayoutUs, KeypadTypesDigits) {
  const std::optional<XkbLayout> us = XkbLayout::load("us");
  ASSERT_TRUE(us.has_value());
  EXPECT_EQ(us->text(kKeypad1, kPlain), "1");
  EXPECT_EQ(us->text(kKeypad8, kPlain), "8");
  EXPECT_EQ(us->text(kKeypadDecimal, kPlain), ".");
}

TEST(XkbLayoutRussianMac, TypesCyrillicAndKeepsSlashUnshifted) {
  const std::optional<XkbLayout> ru = XkbLayout::load("ru(mac)");
  ASSERT_TRUE(ru.has_value());
  EXPECT_EQ(ru->text(keycode::G, kPlain), "п");
  EXPECT_EQ(ru->text(keycode::G, kCaps), "П");
  EXPECT_EQ(ru->text(keycode::H, kPlain), "р");
  EXPECT_EQ(ru->text(keycode::H, kOption), "₽");
  EXPECT_EQ(ru->text(keycode::Slash, kPlain), "/");
  EXPECT_EQ(ru->text(keycode::Slash, kShift), "?");
}

// Unlike the Windows-style layout, the Mac variant moves ё to the backslash
// key and puts brackets and angle brackets on the keys left of 1 and Z.
TEST(XkbLayoutRussianMac, PunctuationKeysFollowTheMacArrangement) {
  const std::optional<XkbLayout> ru = XkbLayout::load("ru(mac)");
  ASSERT_TRUE(ru.has_value());
  EXPECT_EQ(ru->text(keycode::Backslash, kPlain), "ё");
  EXPECT_EQ(ru->text(keycode::Grave, kPlain), "]");
  EXPECT_EQ(ru->text(keycode::Grave, kShift), "[");
  EXPECT_EQ(ru->text(keycode::Section, kPlain), "<");
  EXPECT_EQ(ru->text(keycode::Digit6, kShift), ",");
  EXPECT_EQ(ru->text(keycode::Digit7, kShift), ".");
}

TEST(XkbLayoutRussian, WindowsArrangementOfPunctuation) {
  const std::optional<XkbLayout> ru = XkbLayout::load("ru");
  ASSERT_TRUE(ru.has_value());
  EXPECT_EQ(ru->text(keycode::Slash, kPlain), ".");
  EXPECT_EQ(ru->text(keycode::Slash, kShift), ",");
  EXPECT_EQ(ru->text(keycode::Grave, kPlain), "ё");
  EXPECT_EQ(ru->text(keycode::Grave, kCaps), "Ё");
  EXPECT_EQ(ru->text(kKeypadDecimal, kPlain), ",");
}

TEST(XkbLayoutGerman, SwapsYAndZAndHasDeadKeys) {
  const std::optional<XkbLayout> de = XkbLayout::load("de");
  ASSERT_TRUE(de.has_value());
  EXPECT_EQ(de->text(keycode::Z, kPlain), "y");
  EXPECT_EQ(de->text(keycode::Y, kPlain), "z");
  // The key left of 1 is a dead circumflex; shifted it types a plain degree
  // sign, so the empty text comes from the dead key, not a missing mapping.
  EXPECT_EQ(de->text(keycode::Grave, kPlain), "");
  EXPECT_EQ(de->text(keycode::Grave, kShift), "°");
  EXPECT_EQ(de->text(keycode::Equal, kPlain), ""); // dead acute
  EXPECT_EQ(de->text(keycode::E, kOption), "€");
}

// --- Finding the key for a character ------------------------------------------

TEST(XkbLayoutStrokeFor, PicksTheSimplestStroke) {
  const std::optional<XkbLayout> us = XkbLayout::load("us");
  ASSERT_TRUE(us.has_value());
  EXPECT_EQ(us->strokeFor(U'?'), (KeyStroke{keycode::Slash, true, false}));
  EXPECT_EQ(us->strokeFor(U' '), (KeyStroke{keycode::Space, false, false}));
  EXPECT_EQ(us->strokeFor(U'a'), (KeyStroke{keycode::A, false, false}));
  EXPECT_EQ(us->strokeFor(U'A'), (KeyStroke{keycode::A, true, false}));
  // The ISO key types "<" unshifted, but ANSI keyboards lack it: Shift+comma.
  EXPECT_EQ(us->strokeFor(U'<'), (KeyStroke{keycode::Comma, true, false}));
  // What only the ISO key types is still found there.
  const std::optional<XkbLayout> russian = XkbLayout::load("ru(mac)");
  ASSERT_TRUE(russian.has_value());
  EXPECT_EQ(russian->strokeFor(U'>'), (KeyStroke{keycode::Section, true, false}));
  // "|" is Shift+backslash and also Option on the ISO key: Shift wins.
  EXPECT_EQ(us->strokeFor(U'|'), (KeyStroke{keycode::Backslash, true, false}));
  EXPECT_EQ(us->strokeFor(U'1'), (KeyStroke{keycode::Digit1, false, false}));
}

TEST(XkbLayoutStrokeFor, NeverPicksTheKeypad) {
  // The keypad types "," unshifted in "ru"; the main block needs Shift.
  const std::optional<XkbLayout> ru = XkbLayout::load("ru");
  ASSERT_TRUE(ru.has_value());
  EXPECT_EQ(ru->strokeFor(U','), (KeyStroke{keycode::Slash, true, false}));
  const std::optional<XkbLayout> us = XkbLayout::load("us");
  ASSERT_TRUE(us.has_value());
  EXPECT_EQ(us->strokeFor(U'*'), (KeyStroke{keycode::Digit8, true, false}));
}

TEST(XkbLayoutStrokeFor, UsesOptionWhenNothingElseTypesIt) {
  const std::optional<XkbLayout> de = XkbLayout::load("de");
  ASSERT_TRUE(de.has_value());
  EXPECT_EQ(de->strokeFor(U'@'), (KeyStroke{keycode::Q, false, true}));
  const std::optional<XkbLayout> ru = XkbLayout::load("ru(mac)");
  ASSERT_TRUE(ru.has_value());
  EXPECT_EQ(ru->strokeFor(U'₽'), (KeyStroke{keycode::H, false, true}));
}

TEST(XkbLayoutStrokeFor, CharactersOutsideTheLayoutHaveNoStroke) {
  const std::optional<XkbLayout> us = XkbLayout::load("us");
  ASSERT_TRUE(us.has_value());
  EXPECT_EQ(us->strokeFor(U'п'), std::nullopt);
  EXPECT_EQ(us->strokeFor(U'\r'), std::nullopt);
  EXPECT_EQ(us->strokeFor(U'\0'), std::nullopt);
  EXPECT_EQ(us->strokeFor(char32_t{0x110000}), std::nullopt);
}

TEST(XkbLayoutStrokeFor, FindsLetterSpecificToEachCyrillicLayout) {
  const std::optional<XkbLayout> ruMac = XkbLayout::load("ru(mac)");
  ASSERT_TRUE(ruMac.has_value());
  EXPECT_EQ(ruMac->strokeFor(U'ё'), (KeyStroke{keycode::Backslash, false, false}));
  const std::optional<XkbLayout> ua = XkbLayout::load("ua");
  ASSERT_TRUE(ua.has_value());
  const std::optional<KeyStroke> i = ua->strokeFor(U'\u0456');
  ASSERT_TRUE(i.has_value());
  EXPECT_EQ(typed(*ua, *i), "\u0456");
}

// Whatever a layout types from the main block, strokeFor must lead back to a
// stroke typing the same character, and nothing simpler may have been missed
// (the ISO key aside, which is used only when nothing else types it).
TEST(XkbLayoutStrokeFor, AgreesWithTextForEveryTypedCharacter) {
  const std::vector<KeyModifiers> byPreference{
      kPlain, kShift, kOption, {.shift = true, .option = true}};
  for (const std::string_view layoutName : {"us", "ru(mac)", "ru", "ua", "de"}) {
    const std::optional<XkbLayout> layout = XkbLayout::load(layoutName);
    ASSERT_TRUE(layout.has_value()) << layoutName;
    for (const KeyCodeMapping& mapping : keyCodeMappings()) {
      if (mapping.keypad) {
        continue;
      }
      for (std::size_t rank = 0; rank < byPreference.size(); ++rank) {
        const std::string text = layout->text(mapping.keyCode, byPreference[rank]);
        const std::optional<char32_t> character = soleCharacter(text);
        if (!character) {
          continue;
        }
        const std::optional<KeyStroke> stroke = layout->strokeFor(*character);
        ASSERT_TRUE(stroke.has_value()) << layoutName << " " << text;
        EXPECT_EQ(typed(*layout, *stroke), text) << layoutName;
        // The ISO key is a last resort, so any other key may beat it.
        if (mapping.keyCode == keycode::Section) {
          continue;
        }
        EXPECT_NE(stroke->keyCode, keycode::Section) << layoutName << " " << text;
        const KeyModifiers found{.shift = stroke->shift, .option = stroke->option};
        const bool simplerOrEqual =
            (found.option < byPreference[rank].option) ||
            (found.option == byPreference[rank].option && found.shift <= byPreference[rank].shift);
        EXPECT_TRUE(simplerOrEqual) << layoutName << " " << text;
        if (found.shift == byPreference[rank].shift && found.option == byPreference[rank].option) {
          EXPECT_LE(stroke->keyCode, mapping.keyCode) << layoutName << " " << text;
        }
      }
    }
  }
}

} // namespace
} // namespace quillon
