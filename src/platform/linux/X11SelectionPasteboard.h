#pragma once

#include "platform/Pasteboard.h"
#include "platform/linux/X11Connection.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The pasteboard as the X CLIPBOARD selection, plain text only: writing
// makes the product the owner, which hands the text to whoever asks;
// reading asks the owner and waits briefly for the answer. Every change of
// owner, the product's or another client's, counts as a change.
class X11SelectionPasteboard final : public Pasteboard {
public:
  explicit X11SelectionPasteboard(X11Connection& connection);
  X11SelectionPasteboard(const X11SelectionPasteboard&) = delete;
  X11SelectionPasteboard& operator=(const X11SelectionPasteboard&) = delete;
  ~X11SelectionPasteboard() override;

  long changeCount() const override { return changeCount_; }
  std::vector<PasteboardItem> items() const override;
  void clearContents() override;
  void writeItems(std::vector<PasteboardItem> items) override;

private:
  void onEvent(XEvent& event);
  void answer(const XEvent& request);
  void takeOwnership();
  std::optional<std::string> readFromOwner() const;

  X11Connection& connection_;
  X11Window window_;
  X11Atom clipboard_;
  X11Atom utf8_;
  X11Atom targets_;
  X11Atom transfer_;
  std::vector<PasteboardItem> items_;
  bool owner_ = false;
  long changeCount_ = 0;
  int fixesEventBase_ = -1;
  Observation events_;
};

} // namespace quillon
