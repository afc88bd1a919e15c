#include "util/ClipboardHistory.h"

#include "platform/EventTaps.h"
#include "platform/KeyCodes.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "text/Unicode.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::string_view popupTitle = "Clipboard history";
constexpr std::string_view emptyTitle = "Clipboard is empty";
constexpr std::string_view clearTitle = "Clear clipboard history";
// Key equivalents 1–9, then 0 for the tenth item.
constexpr std::size_t itemsWithKeyEquivalents = 10;

std::string keyEquivalentFor(std::size_t position) {
  if (position >= itemsWithKeyEquivalents) {
    return {};
  }
  return std::to_string((position + 1) % itemsWithKeyEquivalents);
}

// The string elements of a stored array; absent when the value is not an
// array or holds anything else.
std::optional<std::vector<std::string>> stringArray(const PropertyValue& value) {
  const PropertyArray* array = value.get<PropertyArray>();
  if (array == nullptr) {
    return std::nullopt;
  }
  std::vector<std::string> strings;
  for (const PropertyValue& element : *array) {
    const std::string* text = element.get<std::string>();
    if (text == nullptr) {
      return std::nullopt;
    }
    strings.push_back(*text);
  }
  return strings;
}

} // namespace

void ClipboardHistory::start() {
  load();
  // Whatever is on the pasteboard at launch was copied before we watched.
  lastChangeCount_ = services_.pasteboard.changeCount();
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
  const long changeCount = services_.pasteboard.changeCount();
  if (changeCount == lastChangeCount_) {
    return;
  }
  lastChangeCount_ = changeCount;
  auto text = services_.pasteboard.string();
  if (!text || text->empty()) {
    return;
  }
  std::erase(entries_, *text);
  entries_.insert(entries_.begin(), std::move(*text));
  if (entries_.size() > maxEntries) {
    entries_.resize(maxEntries);
  }
  store();
}

void ClipboardHistory::store() {
  if (storeDisabled_) {
    return;
  }
  PropertyArray array(entries_.begin(), entries_.end());
  if (!services_.defaults.set(storeKey, std::move(array))) {
    services_.log.write("Quillon clipboard: could not store the history");
  }
}

std::string ClipboardHistory::displayText(std::string_view entry) {
  std::string oneLine(entry);
  std::replace_if(
      oneLine.begin(), oneLine.end(), [](char c) { return c == '\n' || c == '\t'; }, ' ');
  std::string shortened;
  std::size_t count = 0;
  forEachCharacter(oneLine, [&](std::string_view character) {
    if (count++ < displayCharacters) {
      shortened += character;
    }
  });
  if (count <= displayCharacters) {
    return oneLine;
  }
  return shortened + "…";
}

std::vector<MenuItem> ClipboardHistory::popupItems(const std::vector<std::string>& entries,
                                                   const Localization& localization) {
  std::vector<MenuItem> items;
  if (entries.empty()) {
    MenuItem empty;
    empty.title = localization.localized(emptyTitle);
    empty.enabled = false;
    items.push_back(std::move(empty));
    return items;
  }
  const std::size_t shown = std::min(popupEntries, entries.size());
  for (std::size_t position = 0; position < shown; ++position) {
    MenuItem item;
    item.title = std::to_string(position + 1) + ".  " + displayText(entries[position]);
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

void ClipboardHistory::showPopupAtCursor(std::optional<RunningApplication> targetApp) {
  prevApp_ = targetApp ? std::move(targetApp) : services_.workspace.frontmostApplication();
  // Each item's action holds its full, unshortened entry, as the menu shows
  // a snapshot of the history.
  const std::size_t shown = std::min(popupEntries, entries_.size());
  std::vector<Task> actions;
  for (std::size_t position = 0; position < shown; ++position) {
    actions.push_back(lifetime_.guard([this, text = entries_[position]] { itemPicked(text); }));
  }
  if (shown > 0) {
    actions.push_back(lifetime_.guard([this] { clearHistory(); }));
  }
  services_.userInterface.popUpMenu(
      services_.localization.localized(popupTitle), popupItems(entries_, services_.localization),
      services_.eventTaps.pointerLocation(), [actions = std::move(actions)](int tag) {
        if (tag >= 0 && static_cast<std::size_t>(tag) < actions.size()) {
          actions[static_cast<std::size_t>(tag)]();
        }
      });
}

void ClipboardHistory::itemPicked(const std::string& text) {
  services_.pasteboard.setString(text);
  // Our own write: the next poll must not move the entry to the front.
  lastChangeCount_ = services_.pasteboard.changeCount();
  services_.mainQueue.asyncAfter(activationDelay, lifetime_.guard([this] {
    if (prevApp_ && !services_.workspace.isTerminated(*prevApp_)) {
      services_.workspace.activate(*prevApp_, ActivationOptions::AllWindows);
    }
    services_.mainQueue.asyncAfter(pasteDelay,
                                   lifetime_.guard([this] { pasteIntoPreviousApplication(); }));
  }));
}

// A fresh source without the product's marker, so the event tap treats the
// paste like the user's own keystroke.
void ClipboardHistory::pasteIntoPreviousApplication() {
  EventTaps& eventTaps = services_.eventTaps;
  const std::optional<EventSource> source =
      eventTaps.createSource(EventSourceState::CombinedSession);
  for (const bool keyDown : {true, false}) {
    Event event = makeKeyboardEvent(source ? &*source : nullptr, keycode::V, keyDown);
    event.setFlags(eventTaps.standardShortcutModifier());
    eventTaps.post(event, TapLocation::Hid);
  }
}

void ClipboardHistory::clearHistory() {
  entries_.clear();
  if (!storeDisabled_) {
    services_.defaults.remove(storeKey);
  }
}

} // namespace quillon
