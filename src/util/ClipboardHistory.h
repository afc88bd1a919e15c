#pragma once

#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Lifetime.h"
#include "platform/MainQueue.h"
#include "platform/Observation.h"
#include "platform/PasteTargets.h"
#include "platform/UserInterface.h"
#include "platform/Workspace.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class EventTaps;
class Localization;
class Log;
class Pasteboard;

// The last texts that passed through the general pasteboard, kept across
// launches, offered again from a pop-up at the pointer and pasted into the
// application that was in front.
class ClipboardHistory {
public:
  static constexpr std::size_t maxEntries = 30;
  static constexpr Duration pollInterval{0.4};
  static constexpr std::string_view storeKey = "QuillonClipboardHistory";
  // Where a stored value that is not a list of texts is set aside, so the
  // next write of the history does not destroy it.
  static constexpr std::string_view unreadableStoreKey = "QuillonClipboardHistoryUnreadable";
  static constexpr std::size_t popupEntries = 20;
  static constexpr std::size_t displayCharacters = 80;
  // The target application is activated first, and the paste waits for it
  // to take the keyboard focus.
  static constexpr Duration activationDelay{0.05};
  static constexpr Duration pasteDelay{0.07};
  // A longer text stays whole on the pasteboard, but the history keeps only
  // its beginning: thirty copies of a huge text must not fill the memory or
  // the defaults file.
  static constexpr std::size_t maxStoredBytes = 1024 * 1024;

  struct Dependencies {
    Pasteboard& pasteboard;
    // The application's own defaults domain.
    DefaultsDomain defaults;
    MainQueue& mainQueue;
    // Where the history is written, so a copy never waits for the disk.
    BackgroundQueue& backgroundQueue;
    Workspace& workspace;
    // The window a picked entry is pasted into, where the desktop names it.
    PasteTargets& pasteTargets;
    UserInterface& userInterface;
    EventTaps& eventTaps;
    Localization& localization;
    Log& log;
  };

  explicit ClipboardHistory(Dependencies dependencies);
  ClipboardHistory(const ClipboardHistory&) = delete;
  ClipboardHistory& operator=(const ClipboardHistory&) = delete;
  // Writes what is still waiting, so a quit right after a copy keeps it.
  ~ClipboardHistory();

  void start();
  // Pastes a picked entry into targetApp, or into the frontmost application
  // when none is given.
  void showPopupAtCursor(std::optional<RunningApplication> targetApp);
  void itemPicked(const std::string& text);
  void clearHistory();

  // Newest first.
  std::vector<std::string> entries() const;
  // What the pop-up shows for these entries.
  static std::vector<MenuItem> popupItems(const std::vector<std::string>& entries,
                                          const Localization& localization);
  // One line of at most displayCharacters characters, then "…".
  static std::string displayText(std::string_view entry);
  // The first maxStoredBytes of a text, ending on a whole character.
  static std::string storedForm(std::string text);
  // Whether an entry is the beginning of a longer text.
  static bool isShortened(std::string_view entry);

private:
  using Entry = std::shared_ptr<const std::string>;
  class Writer;

  void load();
  void poll();
  // text is the copied text's beginning, copiedBytes its whole length.
  void record(std::string text, std::size_t copiedBytes);
  void store();
  // Brings back where the user was; false when that has gone since.
  bool returnToTarget();
  void pasteIntoPreviousApplication();

  Dependencies services_;
  long lastChangeCount_ = -1;
  // The change count at which the newest entry was recorded: while it is
  // current, the pasteboard still holds that text whole.
  long frontChangeCount_ = -1;
  ScheduledTask pollTimer_;
  // Where the pasteboard tells of each change, instead of the timer.
  Observation changes_;
  // Shared with the writer, so a snapshot of the list costs no copy of the
  // texts.
  std::vector<Entry> entries_;
  std::shared_ptr<Writer> writer_;
  // A weak reference: the application may quit before the paste.
  std::optional<RunningApplication> prevApp_;
  // The very window the user was in, where the desktop names it: a paste
  // goes there, never to another window of the same application.
  std::unique_ptr<PasteTarget> pasteTarget_;
  // Set when an unreadable stored value could not be kept aside.
  bool storeDisabled_ = false;
  Lifetime lifetime_;
};

} // namespace quillon
