#pragma once

#include "platform/Application.h"
#include "platform/Log.h"

#include <functional>

struct _GMainLoop;

namespace quillon {

// The process's GLib main loop on the default context. SIGINT and SIGTERM
// end it like a quit, so every grab and file is let go in order.
class LinuxApplication final : public Application {
public:
  // A test-only hook: with it, SIGUSR1 blocks the main loop for this long,
  // standing in for a hung tap.
  struct Options {
    bool stallOnUserSignal = false;
  };

  LinuxApplication(Log& log, Options options);
  LinuxApplication(const LinuxApplication&) = delete;
  LinuxApplication& operator=(const LinuxApplication&) = delete;
  ~LinuxApplication() override;

  void setActivationPolicy(ActivationPolicy) override {}
  void run(ApplicationDelegate& delegate) override;
  void terminate() override;
  int processIdentifier() const override;

private:
  Log& log_;
  Options options_;
  _GMainLoop* loop_;
};

} // namespace quillon
