// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

namespace quillon {

// The desktop's own speech-to-text, started for the user. Where a desktop
// has none, the product runs the user's own command instead, and this
// service is never asked.
class Dictation {
public:
  virtual ~Dictation() = default;
  // Once at launch: makes sure the desktop's dictation can be started from
  // here (a shortcut to press, say).
  virtual void prepare() = 0;
  // Starts it by whatever way the desktop offers; says how in the log.
  virtual void start() = 0;
};

} // namespace quillon
