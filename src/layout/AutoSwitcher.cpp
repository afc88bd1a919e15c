#include "layout/AutoSwitcher.h"

#include "layout/WordSets.h"
#include "text/Unicode.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace quillon {

namespace {

// Keys that move the caret: whatever was being typed is no longer a word.
constexpr std::array<KeyCode, 9> navigationKeys{
    keycode::Escape,    keycode::Home,       keycode::PageUp,    keycode::End,    keycode::PageDown,
    keycode::LeftArrow, keycode::RightArrow, keycode::DownArrow, keycode::UpArrow};

constexpr EventFlags chordModifiers = flag::Control | flag::Option | flag::Command;

bool isLetter(std::string_view character) {
  int32_t offset = 0;
  const UChar32 codePoint = character.empty() ? U_SENTINEL : nextCodePoint(character, offset);
  return codePoint >= 0 && u_hasBinaryProperty(codePoint, UCHAR_ALPHABETIC) != 0;
}

bool isAsciiDigit(std::string_view character) {
  return character.size() == 1 && character[0] >= '0' && character[0] <= '9';
}

bool isAsciiLetter(std::string_view character) {
  return character.size() == 1 && ((character[0] >= 'a' && character[0] <= 'z') ||
                                   (character[0] >= 'A' && character[0] <= 'Z'));
}

std::string joined(const std::vector<std::string>& characters) {
  std::string text;
  for (const std::string& character : characters) {
    text += character;
  }
  return text;
}

std::string formatted(const char* format, double value) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), format, value);
  return buffer.data();
}

// The log may be read by anyone with the user's files, and X11 has no
// secure input: a password typed into a terminal reaches this engine like any
// word. So the log tells how long a word was, never what it was.
std::string lengthOf(std::string_view text) {
  return std::to_string(characterCount(text));
}

const StringSet& knownWords(Bigrams::Language language) {
  return language == Bigrams::Language::english ? englishKnownWords() : russianKnownWords();
}

} // namespace

AutoSwitcher::AutoSwitcher(const Dependencies& dependencies)
    : services_(dependencies), lastInputTime_(dependencies.clock.now()),
      dictionaries_(dependencies.dictionaryFolders, dependencies.log) {
  // Read at launch when the mode is on, so the first words already have them.
  if (services_.settings.dictionaryCorrectionEnabled()) {
    dictionaries_.load();
  }
}

std::string AutoSwitcher::applicationKey(const RunningApplication& application) {
  return application.bundleIdentifier.value_or(application.localizedName);
}

void AutoSwitcher::clearBuffer() {
  buffer_.clear();
  shiftedLetterCount_ = 0;
}

// Said once for the sources the user has, not at every key press.
void AutoSwitcher::reportMissingPair() {
  std::vector<InputSourceInfo> enabled = services_.inputSources.keyboardSources(false);
  if (enabled == sourcesWithoutPair_) {
    return;
  }
  sourcesWithoutPair_ = std::move(enabled);
  services_.log.write("Quillon autoswitch: EN+RU pair not found — buffer cleared");
}

// A user who types a whole day in a third layout would otherwise fill the
// log with one line per key: the line is written when the condition starts
// and again only once it reads differently.
void AutoSwitcher::reportUnmatchedSource(std::string line) {
  if (line == unmatchedSourceReport_) {
    return;
  }
  services_.log.write(line);
  unmatchedSourceReport_ = std::move(line);
}

std::optional<AutoSwitcher::Sources> AutoSwitcher::resolveSources() {
  const auto pair = services_.translator.enabledEnglishAndRussian();
  if (!pair) {
    unmatchedSourceReport_.reset();
    reportMissingPair();
    clearBuffer();
    return std::nullopt;
  }
  sourcesWithoutPair_.reset();
  // Only the identifier, on every key; a source without one is still a
  // source that matches neither.
  const std::optional<std::string> current =
      services_.inputSources.currentKeyboardSourceIdentifier();
  if (!current && !services_.inputSources.currentKeyboardSource()) {
    return std::nullopt;
  }
  if (current == pair->en) {
    unmatchedSourceReport_.reset();
    return Sources{pair->en, pair->ru, Bigrams::Language::english, Bigrams::Language::russian};
  }
  if (current == pair->ru) {
    unmatchedSourceReport_.reset();
    return Sources{pair->ru, pair->en, Bigrams::Language::russian, Bigrams::Language::english};
  }
  reportUnmatchedSource("Quillon autoswitch: current source " + current.value_or("nil") +
                        " matches neither EN (" + pair->en + ") nor RU (" + pair->ru + ")");
  clearBuffer();
  return std::nullopt;
}

void AutoSwitcher::caretMayHaveMoved() {
  clearBuffer();
  inSlashCommand_ = false;
  pendingUndo_.reset();
}

bool AutoSwitcher::handleKeyDown(const Event& event, KeyCode keyCode, EventFlags flags) {
  // The product's own keystrokes never change the word or the undo.
  if (event.isMarkedSynthetic()) {
    return false;
  }
  if (replacementPending()) {
    heldKeys_.push_back({keyCode, flags});
    return true;
  }
  return judgeKey({keyCode, flags});
}

void AutoSwitcher::queueReplacement(Task task) {
  ++pendingReplacements_;
  services_.mainQueue.async(lifetime_.guard([this, task = std::move(task)] {
    task();
    replacementDone();
  }));
}

void AutoSwitcher::replacementDone() {
  if (pendingReplacements_ > 0) {
    --pendingReplacements_;
  }
  replayHeldKeys();
}

// Each held key is judged now, as if it had just been typed: it lands after
// the replacement, in the layout the switch selected, and may end a word of
// its own. A key that starts another replacement leaves the rest waiting for
// that one. Replayed keys carry their own modifiers, since the ones the user
// holds by now may differ.
void AutoSwitcher::replayHeldKeys() {
  while (!replacementPending() && !heldKeys_.empty()) {
    const HeldKey key = heldKeys_.front();
    heldKeys_.pop_front();
    if (!judgeKey(key)) {
      services_.synthesizer.postKey(key.keyCode, key.flags);
    }
  }
}

bool AutoSwitcher::judgeKey(const HeldKey& key) {
  const KeyCode keyCode = key.keyCode;
  const EventFlags flags = key.flags;
  if (std::find(navigationKeys.begin(), navigationKeys.end(), keyCode) != navigationKeys.end()) {
    clearBuffer();
    pendingUndo_.reset();
    return false;
  }
  // Any other real key press ends the undo window.
  pendingUndo_.reset();
  if ((flags & chordModifiers) != 0) {
    clearBuffer();
    return false;
  }
  const auto sources = resolveSources();
  if (!sources) {
    return false;
  }

  if (services_.settings.dictionaryCorrectionEnabled()) {
    dictionaries_.load();
  }

  const TimePoint now = services_.clock.now();
  if (Duration(now - lastInputTime_) > idleReset) {
    clearBuffer();
    inSlashCommand_ = false;
  }
  lastInputTime_ = now;

  if (keyCode == keycode::Return || keyCode == keycode::Tab) {
    const WordEnd end = endWord(std::nullopt, *sources, key);
    if (end != WordEnd::switched) {
      return end == WordEnd::replayed;
    }
    // The key itself arrives after the retyped word. It may send the line or
    // move the focus to another field, so nothing typed before it can be
    // erased safely: the switch leaves no undo behind.
    queueReplacement([this, keyCode] {
      pendingUndo_.reset();
      services_.synthesizer.postKey(keyCode, 0);
    });
    return true;
  }
  if (keyCode == keycode::Delete) {
    if (!buffer_.empty()) {
      if (buffer_.back().shifted) {
        shiftedLetterCount_ = std::max(0, shiftedLetterCount_ - 1);
      }
      buffer_.pop_back();
    }
    if (buffer_.empty()) {
      inSlashCommand_ = false;
    }
    return false;
  }

  const auto character = services_.translator.character(keyCode, sources->current);
  if (!character) {
    clearBuffer();
    inSlashCommand_ = false;
    return false;
  }
  const bool shift = hasFlag(flags, flag::Shift);
  // With Shift the slash key types "?" on the Russian layout: a question, not
  // a command.
  if (*character == "/" && !shift && sources->currentLang == Bigrams::Language::russian &&
      buffer_.empty()) {
    inSlashCommand_ = true;
    return false;
  }
  const auto alternative = services_.translator.character(keyCode, sources->alternative);
  const bool alternativeIsLetter = alternative && isLetter(*alternative);
  const bool letter = isLetter(*character);

  // Keypad keys type the same in every language: never part of a word.
  const bool keypad = LayoutTranslator::isKeypadKey(keyCode);
  const bool endsWord = keypad || (!letter && *character != "-" && (!alternativeIsLetter || shift));
  const bool digitInsideWord = !keypad && isAsciiDigit(*character) && !buffer_.empty();
  // Shift+"," is "<" here and "Б" there: which one, only the whole word tells.
  const bool tentative = endsWord && !keypad && shift && !letter && *character != "-" &&
                         alternativeIsLetter && !key.byTheRules && lookAheadActive(*sources);
  if (endsWord && !digitInsideWord && !tentative) {
    // Retyped after the word just as it was typed, Shift included.
    const std::string terminator =
        shift
            ? services_.translator.shiftedCharacter(keyCode, sources->current).value_or(*character)
            : *character;
    return endWord(terminator, *sources, key) != WordEnd::delivered;
  }

  const bool shifted = letter && shift;
  if (shifted) {
    ++shiftedLetterCount_;
  }
  buffer_.push_back({keyCode, *character, shifted, shift, tentative});
  return false;
}

AutoSwitcher::WordEnd AutoSwitcher::endWord(const std::optional<std::string>& terminator,
                                            const Sources& sources, const HeldKey& endKey) {
  const auto switchedIf = [](bool switched) {
    return switched ? WordEnd::switched : WordEnd::delivered;
  };
  WordEnd end = WordEnd::delivered;
  if (buffer_.empty() || correctionIdle()) {
    end = WordEnd::delivered;
  } else if (inSlashCommand_) {
    end = switchedIf(forceFlipSlashCommand(terminator, sources.current, sources.alternative,
                                           sources.currentLang));
  } else if (learnedNotToSwitch()) {
    services_.log.write("Quillon autoswitch: learned from undo, length=" +
                        std::to_string(buffer_.size()) + " — kept");
  } else if (const auto languages =
                 endKey.byTheRules ? std::nullopt : dictionaryLanguages(sources)) {
    end = decideWithDictionaries(terminator, sources, *languages, endKey);
  } else {
    end = switchedIf(decideAndSwitch(terminator, sources.current, sources.alternative,
                                     sources.currentLang, sources.altLang, defaultGap));
  }
  inSlashCommand_ = false;
  clearBuffer();
  return end;
}

bool AutoSwitcher::correctionIdle() const {
  const auto frontmost = services_.workspace.frontmostApplication();
  if (!frontmost) {
    return false;
  }
  const auto excluded = services_.settings.list(Settings::ListKey::autoSwitchExcludedApps);
  return std::find(excluded.begin(), excluded.end(), applicationKey(*frontmost)) != excluded.end();
}

bool AutoSwitcher::learnedNotToSwitch() const {
  const auto learned = services_.settings.list(Settings::ListKey::autoSwitchNeverSwitch);
  if (learned.empty()) {
    return false;
  }
  std::size_t coreLength = buffer_.size();
  while (coreLength > 0 &&
         (buffer_[coreLength - 1].character == "." || buffer_[coreLength - 1].character == ",")) {
    --coreLength;
  }
  const auto isLearned = [&](std::size_t length) {
    return std::find(learned.begin(), learned.end(), joined(typedCharacters(0, length))) !=
           learned.end();
  };
  return isLearned(buffer_.size()) || (coreLength > 0 && isLearned(coreLength));
}

void AutoSwitcher::learn(const std::string& typedWord) {
  auto learned = services_.settings.list(Settings::ListKey::autoSwitchNeverSwitch);
  std::erase(learned, typedWord);
  learned.push_back(typedWord);
  if (learned.size() > maxLearnedWords) {
    learned.erase(learned.begin(),
                  learned.begin() + static_cast<std::ptrdiff_t>(learned.size() - maxLearnedWords));
  }
  services_.settings.setList(learned, Settings::ListKey::autoSwitchNeverSwitch);
  services_.log.write("Quillon autoswitch: learned a word not to switch (" +
                      std::to_string(learned.size()) + " learned)");
}

std::optional<DictionaryMode::Languages> AutoSwitcher::dictionaryLanguages(const Sources& sources) {
  if (!services_.settings.dictionaryCorrectionEnabled()) {
    return std::nullopt;
  }
  dictionaries_.load();
  const Dictionary* current = dictionaries_.dictionary(sources.currentLang);
  const Dictionary* alternative = dictionaries_.dictionary(sources.altLang);
  if (current == nullptr || alternative == nullptr) {
    return std::nullopt;
  }
  return DictionaryMode::Languages{sources.currentLang, sources.altLang, *current, *alternative};
}

bool AutoSwitcher::lookAheadActive(const Sources& sources) {
  return !inSlashCommand_ && dictionaryLanguages(sources) && !correctionIdle();
}

DictionaryMode::Word AutoSwitcher::describeWord(const Sources& sources) const {
  DictionaryMode::Word word;
  const std::size_t count = buffer_.size();
  const std::vector<std::string> typed = typedCharacters(0, count);
  word.anyLetter = std::any_of(buffer_.begin(), buffer_.end(),
                               [](const BufferEntry& entry) { return isLetter(entry.character); });
  word.acronym = looksLikeAcronym();
  word.lastKey = buffer_.back().character;
  word.typed = caseRestored(typed, sources.current);
  word.typedWithoutLast = caseRestored(typedCharacters(0, count - 1), sources.current);
  if (const Reading reading = alternativeReading(count, sources.alternative); reading.complete) {
    word.reading = caseRestored(reading.characters, sources.alternative);
    word.readingKeys = joined(reading.characters);
  }
  word.coreLength = count;
  while (word.coreLength > 0 && (buffer_[word.coreLength - 1].character == "." ||
                                 buffer_[word.coreLength - 1].character == ",")) {
    --word.coreLength;
  }
  const std::vector<std::string> core = typedCharacters(0, word.coreLength);
  word.typedCore = caseRestored(core, sources.current);
  word.typedCoreKeys = joined(core);
  if (const Reading reading = alternativeReading(word.coreLength, sources.alternative);
      reading.complete) {
    word.readingCore = caseRestored(reading.characters, sources.alternative);
    word.readingCoreKeys = joined(reading.characters);
  }
  return word;
}

AutoSwitcher::WordEnd AutoSwitcher::decideWithDictionaries(
    const std::optional<std::string>& terminator, const Sources& sources,
    const DictionaryMode::Languages& languages, const HeldKey& endKey) {
  if (std::any_of(buffer_.begin(), buffer_.end(),
                  [](const BufferEntry& entry) { return entry.tentative; })) {
    return endLookAhead(terminator, sources, languages, endKey);
  }
  const DictionaryMode::Word word = describeWord(sources);
  switch (DictionaryMode::decide(word, languages)) {
  case DictionaryMode::Verdict::keep:
    services_.log.write("Quillon autoswitch: dictionaries keep length=" + lengthOf(word.typed));
    return WordEnd::delivered;
  case DictionaryMode::Verdict::rules:
    return decideAndSwitch(terminator, sources.current, sources.alternative, sources.currentLang,
                           sources.altLang, defaultGap)
               ? WordEnd::switched
               : WordEnd::delivered;
  case DictionaryMode::Verdict::switchWhole:
    services_.log.write("Quillon autoswitch: dictionary word alt length=" +
                        lengthOf(*word.reading) + " (trailing punct as letter) — switching");
    switchKeys(buffer_.size(), terminator, sources, joined(typedCharacters(0, buffer_.size())));
    return WordEnd::switched;
  case DictionaryMode::Verdict::switchCore:
    services_.log.write("Quillon autoswitch: dictionary word alt length=" +
                        lengthOf(*word.readingCore) + " — switching");
    switchKeys(word.coreLength, terminator, sources, word.typedCoreKeys);
    return WordEnd::switched;
  }
  return WordEnd::delivered;
}

AutoSwitcher::WordEnd AutoSwitcher::endLookAhead(const std::optional<std::string>& terminator,
                                                 const Sources& sources,
                                                 const DictionaryMode::Languages& languages,
                                                 const HeldKey& endKey) {
  const auto firstTentative = static_cast<std::size_t>(
      std::find_if(buffer_.begin(), buffer_.end(),
                   [](const BufferEntry& entry) { return entry.tentative; }) -
      buffer_.begin());
  const Reading whole = alternativeReading(buffer_.size(), sources.alternative);
  if (whole.complete) {
    const std::string reading = caseRestored(whole.characters, sources.alternative);
    const bool otherWord = languages.alternativeDictionary.isWord(reading) ||
                           DictionaryMode::inList(joined(whole.characters), sources.altLang);
    const std::string before = caseRestored(typedCharacters(0, firstTentative), sources.current);
    if (otherWord && !languages.currentDictionary.isWord(before)) {
      services_.log.write("Quillon autoswitch: look-ahead word alt length=" + lengthOf(reading) +
                          " — switching");
      switchKeys(buffer_.size(), terminator, sources, joined(typedCharacters(0, buffer_.size())));
      return WordEnd::switched;
    }
  }
  // The rules ended the word at the shifted key: its keys, and the key
  // that ends it now, are judged again as they were typed.
  services_.log.write("Quillon autoswitch: look-ahead found no word — judging the keys again");
  std::vector<HeldKey> keys;
  for (const BufferEntry& entry : buffer_) {
    keys.push_back({entry.keyCode, entry.shiftHeld ? flag::Shift : EventFlags{0}, true});
  }
  keys.push_back({endKey.keyCode, endKey.flags, true});
  queueReplacement([this, count = buffer_.size()] { eraseCharacters(count); });
  heldKeys_.insert(heldKeys_.begin(), keys.begin(), keys.end());
  return WordEnd::replayed;
}

void AutoSwitcher::switchKeys(std::size_t count, const std::optional<std::string>& terminator,
                              const Sources& sources, std::string typedWord) {
  const Reading reading = alternativeReading(count, sources.alternative);
  const std::string tail = joined(typedCharacters(count, buffer_.size()));
  const std::string ending = terminator.value_or("");
  performSwitch(buffer_.size(), sources.alternative,
                caseRestored(reading.characters, sources.alternative) + tail + ending,
                caseRestored(typedCharacters(0, count), sources.current) + tail + ending,
                sources.current, std::move(typedWord));
}

bool AutoSwitcher::looksLikeAcronym() const {
  if (shiftedLetterCount_ <= 1) {
    return false;
  }
  std::vector<const BufferEntry*> letters;
  for (const BufferEntry& entry : buffer_) {
    if (isLetter(entry.character)) {
      letters.push_back(&entry);
    }
  }
  if (letters.empty()) {
    return false;
  }
  if (letters.size() < 5 || letters.size() <= 2 * static_cast<std::size_t>(shiftedLetterCount_)) {
    return true;
  }
  for (std::size_t index = 1; index < letters.size(); ++index) {
    if (letters[index - 1]->shifted && letters[index]->shifted) {
      return true;
    }
  }
  return false;
}

AutoSwitcher::Reading AutoSwitcher::alternativeReading(std::size_t count,
                                                       const std::string& source) const {
  Reading reading{{}, true};
  for (std::size_t index = 0; index < count && index < buffer_.size(); ++index) {
    if (auto character = services_.translator.character(buffer_[index].keyCode, source)) {
      reading.characters.push_back(std::move(*character));
    } else {
      reading.complete = false;
    }
  }
  return reading;
}

std::vector<std::string> AutoSwitcher::typedCharacters(std::size_t begin, std::size_t end) const {
  std::vector<std::string> characters;
  for (std::size_t index = begin; index < end && index < buffer_.size(); ++index) {
    characters.push_back(buffer_[index].character);
  }
  return characters;
}

std::string AutoSwitcher::caseRestored(const std::vector<std::string>& characters,
                                       std::string_view source) const {
  std::string text;
  for (std::size_t index = 0; index < characters.size(); ++index) {
    text += index < buffer_.size() ? withShiftState(buffer_[index], characters[index], source)
                                   : characters[index];
  }
  return text;
}

std::string AutoSwitcher::withShiftState(const BufferEntry& entry, const std::string& character,
                                         std::string_view source) const {
  if (!entry.shiftHeld) {
    return character;
  }
  if (isLetter(character)) {
    return uppercased(character);
  }
  // Shift+6 types "^" on the English layout and "," on the Russian one: only
  // the layout knows what a key types with Shift.
  return services_.translator.shiftedCharacter(entry.keyCode, source).value_or(character);
}

bool AutoSwitcher::decideAndSwitch(const std::optional<std::string>& terminator,
                                   const std::string& currentSource, const std::string& altSource,
                                   Bigrams::Language currentLang, Bigrams::Language altLang,
                                   double strictGap) {
  if (buffer_.empty() || looksLikeAcronym()) {
    return false;
  }
  const StringSet& currentWords = knownWords(currentLang);
  const StringSet& altWords = knownWords(altLang);
  const bool altIsEnglish = altLang == Bigrams::Language::english;
  const std::string ending = terminator.value_or("");

  const std::vector<std::string> typed = typedCharacters(0, buffer_.size());

  // A trailing "," or "." may be a letter key of the other layout.
  const std::string& last = buffer_.back().character;
  if (last == "," || last == ".") {
    const Reading whole = alternativeReading(buffer_.size(), altSource);
    const std::string altWord = joined(whole.characters);
    if (whole.complete &&
        (altWords.contains(altWord) || (altIsEnglish && englishTechWords().contains(altWord)))) {
      services_.log.write("Quillon autoswitch: dictionary match alt length=" + lengthOf(altWord) +
                          " (trailing punct as letter) — switching");
      performSwitch(buffer_.size(), altSource, caseRestored(whole.characters, altSource) + ending,
                    caseRestored(typed, currentSource) + ending, currentSource, joined(typed));
      return true;
    }
  }

  std::size_t coreLength = buffer_.size();
  while (coreLength > 0 &&
         (buffer_[coreLength - 1].character == "." || buffer_[coreLength - 1].character == ",")) {
    --coreLength;
  }
  if (coreLength == 0) {
    return false;
  }
  const std::vector<std::string> coreTyped = typedCharacters(0, coreLength);
  // The tail is never translated: it keeps its typed form.
  const std::string tail = joined(typedCharacters(coreLength, buffer_.size()));
  const std::string word = joined(coreTyped);
  const Reading core = alternativeReading(coreLength, altSource);
  if (!core.complete) {
    return false;
  }
  const std::string alt = joined(core.characters);
  if (currentWords.contains(word) ||
      (currentLang == Bigrams::Language::english && englishTechWords().contains(word))) {
    return false;
  }

  bool switchWord = false;
  if (altWords.contains(alt)) {
    services_.log.write("Quillon autoswitch: dictionary match alt length=" + lengthOf(alt) +
                        " — switching");
    switchWord = true;
  } else if (altIsEnglish && englishTechWords().contains(alt)) {
    services_.log.write("Quillon autoswitch: tech word match alt length=" + lengthOf(alt) +
                        " — switching");
    switchWord = true;
  } else if (buffer_.size() >= 3) {
    const double currentScore = Bigrams::score(word, currentLang);
    const double altScore = Bigrams::score(alt, altLang);
    const double gap = word.find('-') != std::string::npos ? strictGap * 0.5 : strictGap;
    services_.log.write("Quillon autoswitch: word length=" + lengthOf(word) +
                        " score=" + formatted("%.2f", currentScore) + " vs alt score=" +
                        formatted("%.2f", altScore) + " (need gap≥" + formatted("%.1f", gap) + ")");
    switchWord = altScore - currentScore >= gap;
  }
  if (!switchWord) {
    return false;
  }
  performSwitch(buffer_.size(), altSource, caseRestored(core.characters, altSource) + tail + ending,
                caseRestored(coreTyped, currentSource) + tail + ending, currentSource, word);
  return true;
}

bool AutoSwitcher::forceFlipSlashCommand(const std::optional<std::string>& terminator,
                                         const std::string& currentSource,
                                         const std::string& altSource,
                                         Bigrams::Language currentLang) {
  if (currentLang != Bigrams::Language::russian || buffer_.empty()) {
    return false;
  }
  const Reading reading = alternativeReading(buffer_.size(), altSource);
  if (!reading.complete || !std::all_of(reading.characters.begin(), reading.characters.end(),
                                        [](const std::string& c) { return isAsciiLetter(c); })) {
    return false;
  }
  const std::string oldText = caseRestored(typedCharacters(0, buffer_.size()), currentSource);
  const std::string newText = caseRestored(reading.characters, altSource);
  services_.log.write("Quillon autoswitch: slash-command flip, length=" + lengthOf(newText));
  const std::string ending = terminator.value_or("");
  performSwitch(buffer_.size(), altSource, newText + ending, oldText + ending, currentSource);
  return true;
}

void AutoSwitcher::eraseCharacters(std::size_t count) {
  for (std::size_t erased = 0; erased < count; ++erased) {
    services_.synthesizer.postKey(keycode::Delete, 0);
    services_.clock.sleep(deletePause);
  }
}

void AutoSwitcher::performSwitch(std::size_t eraseCount, std::string targetSource,
                                 std::string newText, std::string oldText,
                                 std::string previousSource) {
  performSwitch(eraseCount, std::move(targetSource), std::move(newText), std::move(oldText),
                std::move(previousSource), std::nullopt);
}

void AutoSwitcher::performSwitch(std::size_t eraseCount, std::string targetSource,
                                 std::string newText, std::string oldText,
                                 std::string previousSource, std::optional<std::string> typedWord) {
  queueReplacement([this, eraseCount, targetSource = std::move(targetSource),
                    newText = std::move(newText), oldText = std::move(oldText),
                    previousSource = std::move(previousSource), typedWord = std::move(typedWord)] {
    eraseCharacters(eraseCount);
    services_.inputSources.select(targetSource);
    services_.clock.sleep(sourceSwitchPause);
    services_.synthesizer.sendUnicodeString(newText);
    pendingUndo_ = PendingUndo{oldText, characterCount(newText), previousSource, typedWord};
    services_.sound.play("Pop");
  });
}

bool AutoSwitcher::consumePendingUndoIfAny() {
  if (!pendingUndo_) {
    return false;
  }
  services_.log.write("Quillon autoswitch: undo via Cmd+\\ — restoring length=" +
                      lengthOf(pendingUndo_->originalChars));
  PendingUndo undo = std::move(*pendingUndo_);
  pendingUndo_.reset();
  clearBuffer();
  if (undo.typedWord) {
    learn(*undo.typedWord);
  }
  performUndo(std::move(undo));
  return true;
}

void AutoSwitcher::performUndo(PendingUndo undo) {
  queueReplacement([this, undo = std::move(undo)] {
    eraseCharacters(undo.replacementLength);
    services_.inputSources.select(undo.originalSource);
    services_.clock.sleep(sourceSwitchPause);
    services_.synthesizer.sendUnicodeString(undo.originalChars);
  });
}

bool AutoSwitcher::forceConvertBuffer() {
  if (buffer_.empty()) {
    services_.log.write("Quillon autoswitch: forceConvert — buffer is empty, nothing to convert");
    return false;
  }
  const auto pair = services_.translator.enabledEnglishAndRussian();
  if (!pair) {
    services_.log.write("Quillon autoswitch: forceConvert — EN+RU pair not found");
    return false;
  }
  const auto currentSource = services_.inputSources.currentKeyboardSource();
  if (!currentSource) {
    return false;
  }
  const std::optional<std::string>& current = currentSource->identifier;
  std::string target;
  if (current == pair->en) {
    target = pair->ru;
  } else if (current == pair->ru) {
    target = pair->en;
  } else {
    return false;
  }
  const Reading reading = alternativeReading(buffer_.size(), target);
  if (!reading.complete) {
    return false;
  }
  const std::string oldText = caseRestored(typedCharacters(0, buffer_.size()), *current);
  const std::string newText = caseRestored(reading.characters, target);
  services_.log.write("Quillon autoswitch: FORCE convert, length=" + lengthOf(newText));
  performSwitch(buffer_.size(), target, newText, oldText, *current);
  clearBuffer();
  return true;
}

} // namespace quillon
