#pragma once

#include "input/EventSynthesizer.h"
#include "layout/LayoutTranslator.h"
#include "platform/InputSources.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Pasteboard.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon {

// Converts finished text between the English and the Russian layout, where
// the keys that typed it are no longer known: character by character through
// maps built from the two layouts.
class SelectionConverter {
public:
  // The application has this long to put the selection on the pasteboard.
  static constexpr Duration copyWait{0.12};
  // And this long to read the converted text back before the user's
  // pasteboard contents return.
  static constexpr Duration pasteWait{0.15};

  struct Dependencies {
    const LayoutTranslator& translator;
    InputSources& inputSources;
    Pasteboard& pasteboard;
    EventSynthesizer& synthesizer;
    MainQueue& mainQueue;
    Log& log;
  };

  explicit SelectionConverter(const Dependencies& dependencies) : services_(dependencies) {}
  SelectionConverter(const SelectionConverter&) = delete;
  SelectionConverter& operator=(const SelectionConverter&) = delete;

  // Converts the selected text between the English and the Russian layout
  // through the pasteboard, selecting the matching source; with nothing
  // selected, runs the fallback instead. Finishes later on the main queue.
  // The user's pasteboard contents are put back afterwards.
  void convertSelectionOrFallback(std::function<void()> noSelectionFallback);
  bool isConverting() const { return converting_; }

  // Replaces the pasteboard's contents with the saved items, in order.
  static void restore(Pasteboard& pasteboard, const std::vector<PasteboardItem>& items);

  enum class Direction {
    enToRu,    // the text is English and is to become Russian
    ruToEn,    // the text is Russian and is to become English
    undecided, // empty, or too mixed to tell
  };

  using CharMap = std::unordered_map<std::string, std::string>;

  // Lower-case characters to lower-case characters, each one user-perceived
  // character as UTF-8.
  struct CharMaps {
    CharMap enToRu;
    CharMap ruToEn;
  };

  // What each key from 0 to 127 types unmodified in one layout against the
  // other. Keys that type nothing in either layout, and keypad keys, which
  // type the same whatever the language, are left out; when several
  // keys type the same character, the lowest key code wins in each map on its
  // own. Built fresh each time: the layouts may have changed since.
  static CharMaps buildCharMaps(const LayoutTranslator& translator, std::string_view en,
                                std::string_view ru);

  // Decided by ASCII letters against basic Cyrillic letters: one script alone
  // wins, and in a mix the larger count must exceed three times the smaller.
  static Direction detectDirection(std::string_view text);

  // Every character through the map, keeping its case: an upper-case
  // character is looked up by its lower-case form and the result upper-cased.
  // Characters the map does not know stay as they are, so the result has as
  // many characters as the text.
  static std::string transliterate(std::string_view text, const CharMap& map);

private:
  void completeAfterCopy(const std::vector<PasteboardItem>& saved,
                         const std::function<void()>& noSelectionFallback);
  void finish(const std::vector<PasteboardItem>& saved);
  void copyShortcut(KeyCode key);

  Dependencies services_;
  // One conversion at a time: a second one starting inside the first's
  // window would save the first's temporary text as the user's contents,
  // and the user's real clipboard would be lost.
  bool converting_ = false;
  Pasteboard::OwnUse pasteboardHold_;
  Lifetime lifetime_;
};

} // namespace quillon
