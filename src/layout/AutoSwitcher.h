#pragma once

#include "core/Settings.h"
#include "input/EventSynthesizer.h"
#include "layout/Bigrams.h"
#include "layout/DictionaryMode.h"
#include "layout/LayoutTranslator.h"
#include "layout/WordDictionaries.h"
#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/InputSources.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Sound.h"
#include "platform/Workspace.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// One key of the word being typed.
struct BufferEntry {
  KeyCode keyCode;
  // What the key typed in the current layout, unshifted.
  std::string character;
  // A letter typed with Shift.
  bool shifted;
  // Shift was held, whatever the key: retyped in either layout, the key
  // types what it types there with Shift.
  bool shiftHeld;
  // A shifted punctuation key that types a letter in the other layout, kept
  // in the word until its end shows which layout it was meant for.
  bool tentative = false;
};

// What the last switch replaced, so Command+Backslash can put it back.
struct PendingUndo {
  std::string originalChars;
  // User-perceived characters the switch typed: what undo erases.
  std::size_t replacementLength;
  std::string originalSource;
  // The keys of a word switched automatically, as typed: undoing that switch
  // teaches the engine to leave the word alone.
  std::optional<std::string> typedWord;
  friend bool operator==(const PendingUndo&, const PendingUndo&) = default;
};

// Watches every key press, keeps the word being typed as physical keys, and
// at the end of the word decides whether it was typed in the wrong one of
// English and Russian. If so the word is erased, retyped in the other layout,
// and that layout selected, with an undo kept.
class AutoSwitcher {
public:
  // A pause this long starts a new word.
  static constexpr Duration idleReset{3.0};
  static constexpr Duration deletePause{0.002};
  static constexpr Duration sourceSwitchPause{0.015};
  // The score lead the other reading needs; hyphenated words need half.
  static constexpr double defaultGap = 1.0;
  // Words learned from undo kept at most; the oldest go first.
  static constexpr std::size_t maxLearnedWords = 1000;

  struct Dependencies {
    InputSources& inputSources;
    const LayoutTranslator& translator;
    MainQueue& mainQueue;
    Clock& clock;
    Log& log;
    Sound& sound;
    EventSynthesizer& synthesizer;
    Settings& settings;
    const Workspace& workspace;
    std::vector<std::filesystem::path> dictionaryFolders = WordDictionaries::besideExecutable();
  };

  // How an application is named in the exclusion list.
  static std::string applicationKey(const RunningApplication& application);

  explicit AutoSwitcher(const Dependencies& dependencies);
  AutoSwitcher(const AutoSwitcher&) = delete;
  AutoSwitcher& operator=(const AutoSwitcher&) = delete;

  // True when the event must be swallowed: its replacement is scheduled, or
  // it waits for a replacement under way and is typed after it.
  bool handleKeyDown(const Event& event, KeyCode keyCode, EventFlags flags);
  // From a word end until its replacement has been typed: keys that arrive
  // meanwhile are held back, or they would land inside the text being
  // erased.
  bool replacementPending() const { return pendingReplacements_ > 0; }
  // A click or another application in front may have put the caret
  // anywhere: the keys typed so far are no longer the word before it, and an
  // undo would erase unrelated text.
  void caretMayHaveMoved();

  bool decideAndSwitch(const std::optional<std::string>& terminator,
                       const std::string& currentSource, const std::string& altSource,
                       Bigrams::Language currentLang, Bigrams::Language altLang, double strictGap);
  bool forceFlipSlashCommand(const std::optional<std::string>& terminator,
                             const std::string& currentSource, const std::string& altSource,
                             Bigrams::Language currentLang);
  bool looksLikeAcronym() const;

  // Erases eraseCount characters, selects the target source, types the new
  // text and remembers the undo; later, on the main queue.
  void performSwitch(std::size_t eraseCount, std::string targetSource, std::string newText,
                     std::string oldText, std::string previousSource);
  bool consumePendingUndoIfAny();
  bool forceConvertBuffer();
  void performUndo(PendingUndo undo);

  WordDictionaries& dictionaries() { return dictionaries_; }
  const std::vector<BufferEntry>& buffer() const { return buffer_; }
  const std::optional<PendingUndo>& pendingUndo() const { return pendingUndo_; }
  bool inSlashCommand() const { return inSlashCommand_; }

private:
  struct Sources {
    std::string current;
    std::string alternative;
    Bigrams::Language currentLang;
    Bigrams::Language altLang;
  };
  struct Reading {
    std::vector<std::string> characters;
    bool complete;
  };

  // A key held back while a replacement was under way, with the modifiers
  // it was pressed with.
  struct HeldKey {
    KeyCode keyCode;
    EventFlags flags;
    // Replayed after a look-ahead that found no word: judged as the rules
    // would have judged it when typed.
    bool byTheRules = false;
  };

  enum class WordEnd {
    delivered,
    switched,
    // The word's keys and its end are erased and judged again.
    replayed,
  };

  // The engine's judgement of one real key press; true swallows it.
  bool judgeKey(const HeldKey& key);
  // Work that retypes text in the focused field: while it is queued, keys
  // are held back; when it is done, they are judged and typed in order.
  void queueReplacement(Task task);
  void replacementDone();
  void replayHeldKeys();
  std::optional<Sources> resolveSources();
  void reportMissingPair();
  void reportUnmatchedSource(std::string line);
  WordEnd endWord(const std::optional<std::string>& terminator, const Sources& sources,
                  const HeldKey& endKey);
  // The frontmost application is one the user excluded.
  bool correctionIdle() const;
  bool learnedNotToSwitch() const;
  void learn(const std::string& typedWord);
  std::optional<DictionaryMode::Languages> dictionaryLanguages(const Sources& sources);
  bool lookAheadActive(const Sources& sources);
  WordEnd decideWithDictionaries(const std::optional<std::string>& terminator,
                                 const Sources& sources, const DictionaryMode::Languages& languages,
                                 const HeldKey& endKey);
  WordEnd endLookAhead(const std::optional<std::string>& terminator, const Sources& sources,
                       const DictionaryMode::Languages& languages, const HeldKey& endKey);
  DictionaryMode::Word describeWord(const Sources& sources) const;
  void switchKeys(std::size_t count, const std::optional<std::string>& terminator,
                  const Sources& sources, std::string typedWord);
  void clearBuffer();
  Reading alternativeReading(std::size_t count, const std::string& source) const;
  // What the keys from begin to end typed, unshifted.
  std::vector<std::string> typedCharacters(std::size_t begin, std::size_t end) const;
  // The entries' characters in a source, from the first entry on, as their
  // keys type there with the Shift state they were typed with.
  std::string caseRestored(const std::vector<std::string>& characters,
                           std::string_view source) const;
  std::string withShiftState(const BufferEntry& entry, const std::string& character,
                             std::string_view source) const;
  void eraseCharacters(std::size_t count);
  void performSwitch(std::size_t eraseCount, std::string targetSource, std::string newText,
                     std::string oldText, std::string previousSource,
                     std::optional<std::string> typedWord);

  Dependencies services_;
  std::vector<BufferEntry> buffer_;
  std::optional<PendingUndo> pendingUndo_;
  TimePoint lastInputTime_;
  int shiftedLetterCount_ = 0;
  bool inSlashCommand_ = false;
  // The enabled sources when the missing pair was last reported; cleared
  // once a pair is found.
  std::optional<std::vector<InputSourceInfo>> sourcesWithoutPair_;
  // The last "matches neither" line written, while that condition lasts.
  std::optional<std::string> unmatchedSourceReport_;
  std::size_t pendingReplacements_ = 0;
  std::deque<HeldKey> heldKeys_;
  WordDictionaries dictionaries_;
  Lifetime lifetime_;
};

} // namespace quillon
