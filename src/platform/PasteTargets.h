// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/EventFlags.h"

#include <memory>

namespace quillon {

// The window the user was working in when the product took the keyboard for
// a moment (a pop-up menu), so that what the product pastes lands there and
// nowhere else.
class PasteTarget {
public:
  virtual ~PasteTarget() = default;
  // False once the window has closed.
  virtual bool isOpen() const = 0;
  // Brings the window back to the front with the keyboard focus; false when
  // it has closed.
  virtual bool reactivate() = 0;
  // The modifiers the window's application pastes with, together with V:
  // terminals keep the plain shortcut for their programs.
  virtual EventFlags pasteModifiers() const = 0;
};

class PasteTargets {
public:
  virtual ~PasteTargets() = default;
  // The window that has the keyboard focus now; null where the desktop
  // names no such window, and the product then works with applications.
  virtual std::unique_ptr<PasteTarget> focusedWindow() = 0;
};

// A desktop that names no windows to paste into.
class NoPasteTargets final : public PasteTargets {
public:
  std::unique_ptr<PasteTarget> focusedWindow() override { return nullptr; }
};

} // namespace quillon
