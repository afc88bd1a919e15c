#pragma once

#include "platform/MainQueue.h"

namespace quillon {

// The main queue on GLib's default main context, the one GTK runs on too, so
// toolkit callbacks, X events and the product's tasks take turns on one
// thread. async may be called from any thread; everything runs on the thread
// that runs the context.
class LinuxMainQueue final : public MainQueue {
public:
  void async(Task task) override;
  void asyncAfter(Duration delay, Task task) override;
  ScheduledTask scheduleAfter(Duration delay, Task task) override;
  ScheduledTask scheduleRepeating(Duration interval, Task task) override;
};

} // namespace quillon
