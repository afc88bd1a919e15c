#pragma once

#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Lifetime.h"
#include "platform/MainQueue.h"
#include "platform/UserInterface.h"
#include "platform/Workspace.h"

#include <cstddef>
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

  struct Dependencies {
    Pasteboard& pasteboard;
    // The application's own defaults domain.
    DefaultsDomain defaults;
    MainQueue& mainQueue;
    Workspace& workspace;
    UserInterface& userInterface;
    EventTaps& eventTaps;
    Localization& localization;
    Log& log;
  };

  explicit ClipboardHistory(Dependencies dependencies) : services_(std::move(dependencies)) {}
  ClipboardHistory(const ClipboardHistory&) = delete;
  ClipboardHistory& operator=(const ClipboardHistory&) = delete;

  void start();
  // Pastes a picked entry into targetApp, or into the frontmost application
  // when none is given.
  void showPopupAtCursor(std::optional<RunningApplication> targetApp);
  void itemPicked(const std::string& text);
  void clearHistory();

  // Newest first.
  const std::vector<std::string>& entries() const { return entries_; }
  // What the pop-up shows for these entries.
  static std::vector<MenuItem> popupItems(const std::vector<std::string>& entries,
                                          const Localization& localization);
  // One line of at most displayCharacters characters, then "…".
  static std::string displayText(std::string_view entry);

private:
  void load();
  void poll();
  void store();
  void pasteIntoPreviousApplication();

  Dependencies services_;
  long lastChangeCount_ = -1;
  ScheduledTask pollTimer_;
  std::vector<std::string> entries_;
  // A weak reference: the application may quit before the paste.
  std::optional<RunningApplication> prevApp_;
  // Set when an unreadable stored value could not be kept aside.
  bool storeDisabled_ = false;
  Lifetime lifetime_;
};

} // namespace quillon
