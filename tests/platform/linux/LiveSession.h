#pragma once

#include "platform/shared/TemporaryDirectory.h"

#include <chrono>
#include <functional>
#include <gtk/gtk.h>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quillon {

// A private X server (Xvfb) and session bus for the live shell's tests,
// started on first use and stopped when the test process ends: the user's
// own session is never touched. GTK runs on it from then on.
class LiveSession {
public:
  // The running session, or null with the reason in `whyNot` (no Xvfb, say).
  static LiveSession* shared(std::string& whyNot);

  ~LiveSession();
  LiveSession(const LiveSession&) = delete;
  LiveSession& operator=(const LiveSession&) = delete;

  const std::string& displayName() const { return displayName_; }
  const std::string& busAddress() const { return busAddress_; }

  // Runs the default main context until `done` answers true, giving up (and
  // answering false) after `limit`: a guard against a hang, not a timing.
  static bool runUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Runs whatever is pending now and what it posts in turn, for a while.
  static void settle(std::chrono::milliseconds period = std::chrono::milliseconds(200));

private:
  LiveSession() = default;
  std::optional<std::string> start();

  // The session bus's configuration.
  TemporaryDirectory busFiles_{"quillon-live-bus"};
  pid_t xServer_ = -1;
  pid_t bus_ = -1;
  std::string displayName_;
  std::string busAddress_;
};

} // namespace quillon
