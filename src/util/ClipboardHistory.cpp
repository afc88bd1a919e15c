#include "util/ClipboardHistory.h"

#include "platform/EventTaps.h"
#include "platform/KeyCodes.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "text/Unicode.h"

#include <algorithm>
#include <mutex>
#include <tuple>
#include <utility>

namespace quillon {

namespace {

constexpr std::string_view popupTitle = "Clipboard history";
constexpr std::string_view emptyTitle = "Clipboard is empty";
constexpr std::string_view clearTitle = "Clear clipboard history";
constexpr std::string_view shortenedNote = "(first 1 MB)";
// Where the storedForm cut can fall short of maxStoredBytes: the rest of a
// character that did not fit.
constexpr std::size_t longestCharacterTail = 3;
// Key equivalents 1–9, then 0 for the tenth item.
constexpr std::size_t itemsWithKeyEquivalents = 10;

std::string keyEquivalentFor(std::size_t position) {
  if (position >= itemsWithKeyEquivalents) {
    return {};
  }
  return std::to_string((position + 1) % itemsWithKeyEquivalents);
}

// The texts of a stored array, shared with the store; absent when the value
// is not an array or holds anything else.
std::optional<std::vector<std::shared_ptr<const std::string>>>
stringArray(const PropertyValue& value) {
  const PropertyArray* array = value.get<PropertyArray>();
  if (array == nullptr) {
    return std::nullopt;
  }
  std::vector<std::shared_ptr<const std::string>> strings;
  for (const PropertyValue& element : *array) {
    const auto* text = std::get_if<SharedString>(&element.storage());
    if (text == nullptr) {
      return std::nullopt;
    }
    strings.push_back(text->shared());
  }
  return strings;
}

// No property-list file can hold a NUL character: the stores cut texts at it.
bool storeCanHold(std::string_view text) {
  return text.find('\0') == std::string_view::npos;
}

} // namespace

// Writes snapshots of the list on the background queue, one at a time, and
// of the snapshots taken while it was busy only the newest: a burst of copies
// costs one or two writes, not one each.
class ClipboardHistory::Writer : public std::enable_shared_from_this<Writer> {
public:
  Writer(DefaultsDomain defaults, BackgroundQueue& queue, Log& log)
      : defaults_(std::move(defaults)), queue_(queue), log_(log) {}

  void submit(std::vector<Entry> snapshot) {
    const std::lock_guard lock(pendingMutex_);
    pending_ = std::move(snapshot);
    if (!queued_) {
      queued_ = true;
      queue_.async([self = shared_from_this()] { self->writePending(); });
    }
  }

  // On the calling thread, after any write already under way.
  void flush() { writePending(); }

private:
  void writePending() {
    const std::lock_guard writing(writeMutex_);
    std::optional<std::vector<Entry>> snapshot;
    {
      const std::lock_guard lock(pendingMutex_);
      snapshot = std::exchange(pending_, std::nullopt);
      queued_ = false;
    }
    if (snapshot) {
      write(*snapshot);
    }
  }

  void write(const std::vector<Entry>& snapshot) {
    if (snapshot.empty()) {
      defaults_.remove(storeKey);
      return;
    }
    PropertyArray array;
    array.reserve(snapshot.size());
    for (const Entry& entry : snapshot) {
      if (storeCanHold(*entry)) {
        // The store keeps the entry's text itself, not a copy of it.
        array.emplace_back(SharedString(entry));
      }
    }
    if (!defaults_.set(storeKey, std::move(array))) {
      log_.write("Quillon clipboard: could not store the history");
    }
  }

  DefaultsDomain defaults_;
  BackgroundQueue& queue_;
  Log& log_;
  // Held through a write, so snapshots reach the store in the order taken.
  std::mutex writeMutex_;
  std::mutex pendingMutex_;
  std::optional<std::vector<Entry>> pending_;
  bool queued_ = false;
};

ClipboardHistory::ClipboardHistory(Dependencies dependencies)
    : services_(std::move(dependencies)),
      writer_(
          std::make_shared<Writer>(services_.defaults, services_.backgroundQueue, services_.log)) {}

ClipboardHistory::~ClipboardHistory() {
  writer_->flush();
}

std::vector<std::string> ClipboardHistory::entries() const {
  std::vector<std::string> texts;
  texts.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    texts.push_back(*entry);
  }
  return texts;
}

void ClipboardHistory::start() {
  load();
  // Whatever is on the pasteboard at launch was copied before we watched.
  lastChangeCount_ = services_.pasteboard.changeCount();
  // Read from the main queue, not inside the pasteboard's report: reading
  // may wait for the new owner, and the report may come from deep in a call.
  changes_ = services_.pasteboard.observeChanges(
      [this] { services_.mainQueue.async(lifetime_.guard([this] { poll(); })); });
  if (changes_.isActive()) {
    return;
  }
  pollTimer_ =
      services_.mainQueue.scheduleRepeating(pollInterval, lifetime_.guard([this] { poll(); }));
}

void ClipboardHistory::load() {
  const auto stored = services_.defaults.object(storeKey);
  if (!stored) {
    return;
  }
  if (auto strings = stringArray(*stored)) {
    entries_ = std::move(*strings);
    return;
  }
  // Set aside rather than overwritten by the next copy: it may be the only
  // copy of the user's history.
  const bool keptAside = services_.defaults.set(unreadableStoreKey, *stored);
  services_.log.write(std::string("Quillon clipboard: stored history under ") +
                      std::string(storeKey) + " is not a list of texts; " +
                      (keptAside ? "kept it under " + std::string(unreadableStoreKey)
                                 : std::string("could not keep a copy of it")) +
                      ", starting with an empty history");
  if (!keptAside) {
    // Without a copy elsewhere, the original stays where it is and the
    // history lives in memory only.
    storeDisabled_ = true;
  }
}

void ClipboardHistory::poll() {
  Pasteboard& pasteboard = services_.pasteboard;
  const long changeCount = pasteboard.changeCount();
  if (changeCount == lastChangeCount_ || pasteboard.isInOwnUse()) {
    // The product is borrowing the pasteboard: looked at again once it has
    // put back what the user had there.
    return;
  }
  lastChangeCount_ = changeCount;
  if (pasteboard.lastOwnChangeCount() == changeCount) {
    return;
  }
  if (pasteboard.isConcealed()) {
    services_.log.write("Quillon clipboard: a copy marked secret by its owner is not recorded");
    return;
  }
  // One byte past the kept length tells whether the cut falls inside a
  // character.
  auto text = pasteboard.stringStart(maxStoredBytes + 1);
  if (!text || text->length == 0) {
    return;
  }
  record(std::move(text->start), text->length);
  frontChangeCount_ = changeCount;
}

void ClipboardHistory::record(std::string text, std::size_t copiedBytes) {
  Entry entry = std::make_shared<const std::string>(storedForm(std::move(text)));
  if (entry->size() < copiedBytes) {
    services_.log.write("Quillon clipboard: keeping the first " + std::to_string(entry->size()) +
                        " of " + std::to_string(copiedBytes) + " bytes of a copied text");
  }
  if (!storeCanHold(*entry)) {
    services_.log.write("Quillon clipboard: a copied text of " + std::to_string(entry->size()) +
                        " bytes holds a NUL character; it is left out of the stored history");
  }
  std::erase_if(entries_, [&entry](const Entry& existing) { return *existing == *entry; });
  entries_.insert(entries_.begin(), std::move(entry));
  if (entries_.size() > maxEntries) {
    entries_.resize(maxEntries);
  }
  store();
}

void ClipboardHistory::store() {
  if (storeDisabled_) {
    return;
  }
  writer_->submit(entries_);
}

std::string ClipboardHistory::storedForm(std::string text) {
  if (text.size() <= maxStoredBytes) {
    return text;
  }
  std::size_t end = maxStoredBytes;
  // Back to the first byte of the character that did not fit.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
    --end;
  }
  text.resize(end);
  text.shrink_to_fit();
  return text;
}

bool ClipboardHistory::isShortened(std::string_view entry) {
  return entry.size() + longestCharacterTail >= maxStoredBytes;
}

namespace {

// The first `limit` characters of text on one line, and whether more follow.
std::pair<std::string, bool> firstCharactersOnOneLine(std::string_view text, std::size_t limit) {
  std::string oneLine(text);
  std::replace_if(
      oneLine.begin(), oneLine.end(), [](char c) { return c == '\n' || c == '\t'; }, ' ');
  std::string shortened;
  std::size_t count = 0;
  forEachCharacter(oneLine, [&](std::string_view character) {
    if (count++ < limit) {
      shortened += character;
    }
  });
  if (count <= limit) {
    return {std::move(oneLine), false};
  }
  return {std::move(shortened), true};
}

} // namespace

std::string ClipboardHistory::displayText(std::string_view entry) {
  // Far more than the characters shown, so a megabyte entry is not copied and
  // segmented whole for every pop-up; only text of extraordinarily long
  // characters needs all of it.
  constexpr std::size_t enoughBytes = 64 * 1024;
  auto [shown, more] = firstCharactersOnOneLine(entry.substr(0, enoughBytes), displayCharacters);
  if (!more && entry.size() > enoughBytes) {
    std::tie(shown, more) = firstCharactersOnOneLine(entry, displayCharacters);
  }
  return more ? shown + "…" : shown;
}

namespace {

// Over views of the entries: thirty of them may hold thirty megabytes, and the
// pop-up needs only their beginnings and lengths.
std::vector<MenuItem> popupItemsFor(const std::vector<std::string_view>& entries,
                                    const Localization& localization) {
  std::vector<MenuItem> items;
  if (entries.empty()) {
    MenuItem empty;
    empty.title = localization.localized(emptyTitle);
    empty.enabled = false;
    items.push_back(std::move(empty));
    return items;
  }
  const std::size_t shown = std::min(ClipboardHistory::popupEntries, entries.size());
  for (std::size_t position = 0; position < shown; ++position) {
    MenuItem item;
    item.title =
        std::to_string(position + 1) + ".  " + ClipboardHistory::displayText(entries[position]);
    if (ClipboardHistory::isShortened(entries[position])) {
      item.title.append(" ").append(localization.localized(shortenedNote));
    }
    item.tag = static_cast<int>(position);
    item.keyEquivalent = keyEquivalentFor(position);
    items.push_back(std::move(item));
  }
  items.push_back(MenuItem::makeSeparator());
  MenuItem clear;
  clear.title = localization.localized(clearTitle);
  clear.tag = static_cast<int>(shown);
  items.push_back(std::move(clear));
  return items;
}

} // namespace

std::vector<MenuItem> ClipboardHistory::popupItems(const std::vector<std::string>& entries,
                                                   const Localization& localization) {
  return popupItemsFor(std::vector<std::string_view>(entries.begin(), entries.end()), localization);
}

void ClipboardHistory::showPopupAtCursor(std::optional<RunningApplication> targetApp) {
  prevApp_ = targetApp ? std::move(targetApp) : services_.workspace.frontmostApplication();
  // Read before the menu appears, while the user's window still has the
  // keyboard.
  pasteTarget_ = services_.pasteTargets.focusedWindow();
  // Each item's action holds its full, unshortened entry, as the menu shows
  // a snapshot of the history.
  const std::size_t shown = std::min(popupEntries, entries_.size());
  std::vector<Task> actions;
  std::vector<std::string_view> shownEntries;
  for (std::size_t position = 0; position < shown; ++position) {
    actions.push_back(lifetime_.guard([this, entry = entries_[position]] { itemPicked(*entry); }));
    shownEntries.emplace_back(*entries_[position]);
  }
  if (shown > 0) {
    actions.push_back(lifetime_.guard([this] { clearHistory(); }));
  }
  services_.userInterface.popUpMenu(
      services_.localization.localized(popupTitle),
      popupItemsFor(shownEntries, services_.localization), services_.eventTaps.pointerLocation(),
      [actions = std::move(actions)](int tag) {
        if (tag >= 0 && static_cast<std::size_t>(tag) < actions.size()) {
          actions[static_cast<std::size_t>(tag)]();
        }
      });
}

void ClipboardHistory::itemPicked(const std::string& text) {
  Pasteboard& pasteboard = services_.pasteboard;
  // The newest entry's whole text may still be there, longer than the entry.
  const bool wholeTextThere = !entries_.empty() && *entries_.front() == text &&
                              pasteboard.changeCount() == frontChangeCount_;
  if (!wholeTextThere) {
    pasteboard.setOwnString(text);
  }
  // Our own write: the next poll must not move the entry to the front.
  lastChangeCount_ = pasteboard.changeCount();
  services_.mainQueue.asyncAfter(activationDelay, lifetime_.guard([this] {
    // The paste would land in whatever is in front instead: the text stays
    // on the pasteboard for the user to paste where they mean to.
    if (!returnToTarget()) {
      services_.log.write(
          "Quillon clipboard: the window to paste into has closed; the entry is on the "
          "clipboard, nothing pasted");
      return;
    }
    services_.mainQueue.asyncAfter(pasteDelay,
                                   lifetime_.guard([this] { pasteIntoPreviousApplication(); }));
  }));
}

bool ClipboardHistory::returnToTarget() {
  if (pasteTarget_) {
    return pasteTarget_->reactivate();
  }
  if (!prevApp_) {
    return true;
  }
  if (services_.workspace.isTerminated(*prevApp_)) {
    return false;
  }
  services_.workspace.activate(*prevApp_, ActivationOptions::AllWindows);
  return true;
}

// A fresh source without the product's marker, so the event tap treats the
// paste like the user's own keystroke.
void ClipboardHistory::pasteIntoPreviousApplication() {
  if (pasteTarget_ && !pasteTarget_->isOpen()) {
    services_.log.write("Quillon clipboard: the window to paste into closed before the paste; "
                        "the entry is on the clipboard, nothing pasted");
    return;
  }
  EventTaps& eventTaps = services_.eventTaps;
  const EventFlags modifiers =
      pasteTarget_ ? pasteTarget_->pasteModifiers() : eventTaps.standardShortcutModifier();
  const std::optional<EventSource> source =
      eventTaps.createSource(EventSourceState::CombinedSession);
  for (const bool keyDown : {true, false}) {
    Event event = makeKeyboardEvent(source ? &*source : nullptr, keycode::V, keyDown);
    event.setFlags(modifiers);
    eventTaps.post(event, TapLocation::Hid);
  }
}

void ClipboardHistory::clearHistory() {
  entries_.clear();
  store();
}

} // namespace quillon
