#pragma once

#include "platform/Log.h"
#include "platform/Pasteboard.h"
#include "platform/linux/GtkMenus.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <vector>

namespace quillon {

// The CLIPBOARD selection through GTK. What the product writes it serves
// itself, from memory, for as long as it owns the selection; what another
// client owns is read over X, which runs the main loop until the owner
// answers. The change count grows with every change the product makes at
// once, and with every other client's change when the X server reports it
// (XFixes "owner-change").
class LinuxPasteboard final : public Pasteboard {
public:
  // Reads and writes the clipboard of this display, or of the default one.
  explicit LinuxPasteboard(Log& log, GdkDisplay* display = nullptr);
  ~LinuxPasteboard() override;
  LinuxPasteboard(const LinuxPasteboard&) = delete;
  LinuxPasteboard& operator=(const LinuxPasteboard&) = delete;

  long changeCount() const override { return changeCount_; }
  std::vector<PasteboardItem> items() const override;
  std::optional<PasteboardTextStart> stringStart(std::size_t maxBytes) const override;
  void clearContents() override;
  void writeItems(std::vector<PasteboardItem> items) override;
  // Asks the owner for its list of targets and, when the hint is among
  // them, for the hint alone.
  bool isConcealed() const override;
  // From the X server's report of each new owner (XFixes), so nobody polls.
  Observation observeChanges(std::function<void()> changed) override;

private:
  class ChangeObserver;
  static void ownerChanged(GtkClipboard*, GdkEventOwnerChange* event, gpointer self);
  static void serve(GtkClipboard*, GtkSelectionData* data, guint info, gpointer self);
  static void ownershipLost(GtkClipboard*, gpointer self);
  bool ownsClipboard() const;
  void cancelPendingClear();
  void publish();
  std::vector<PasteboardItem> readFromOwner() const;
  std::optional<PasteboardTextStart> textStartFromOwner(std::size_t maxBytes) const;
  std::vector<PasteboardItem> textWithoutTargets() const;

  Log& log_;
  GtkClipboard* clipboard_;
  // Identifies this store as the selection's owner.
  GObjectPtr<GObject> owner_;
  gulong ownerChangeHandler_ = 0;
  long changeCount_ = 0;
  // Clears the product made whose report (an owner-change to nobody) is
  // still on its way.
  int pendingOwnClears_ = 0;
  // The idle source that publishes a clear no write followed.
  guint pendingClear_ = 0;
  mutable bool isReading_ = false;
  std::vector<PasteboardItem> written_;
  // Targets in the order they were offered, each with its representation.
  std::vector<std::pair<std::string, PropertyData>> served_;
  std::vector<std::shared_ptr<std::function<void()>>> changeObservers_;
};

} // namespace quillon
