#include "platform/linux/LinuxMainQueue.h"

#include <algorithm>
#include <cmath>
#include <glib.h>

namespace quillon {

namespace {

struct PendingTask {
  Task task;
  bool repeating = false;
};

gboolean runPendingTask(gpointer data) {
  auto& pending = *static_cast<PendingTask*>(data);
  pending.task();
  return pending.repeating ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void deletePendingTask(gpointer data) {
  delete static_cast<PendingTask*>(data);
}

// GLib's timers count whole milliseconds; a positive delay never rounds to
// "now", which would run the task before work queued ahead of it.
guint milliseconds(Duration delay) {
  if (delay <= Duration::zero()) {
    return 0;
  }
  const double ms = std::ceil(delay.count() * 1000.0);
  return static_cast<guint>(std::min(ms, double{G_MAXUINT}));
}

// Owns a reference to the source, so cancelling after it has fired (and
// GLib has dropped its own reference) is harmless.
class SourceToken final : public ScheduledTask::Token {
public:
  explicit SourceToken(GSource* source) : source_(source) {}
  SourceToken(const SourceToken&) = delete;
  SourceToken& operator=(const SourceToken&) = delete;
  ~SourceToken() override { g_source_unref(source_); }
  void cancel() override { g_source_destroy(source_); }

private:
  GSource* source_;
};

GSource* attachTimer(Duration delay, Task task, bool repeating) {
  GSource* source = g_timeout_source_new(milliseconds(delay));
  // The task object is handed to GLib, which frees it through the destroy
  // notify whether the source fires or is cancelled.
  auto pending = std::make_unique<PendingTask>(PendingTask{std::move(task), repeating});
  g_source_set_callback(source, runPendingTask, pending.release(), deletePendingTask);
  g_source_attach(source, nullptr);
  return source;
}

} // namespace

void LinuxMainQueue::async(Task task) {
  auto pending = std::make_unique<PendingTask>(PendingTask{std::move(task), false});
  g_idle_add_full(G_PRIORITY_DEFAULT, runPendingTask, pending.release(), deletePendingTask);
}

void LinuxMainQueue::asyncAfter(Duration delay, Task task) {
  g_source_unref(attachTimer(delay, std::move(task), false));
}

ScheduledTask LinuxMainQueue::scheduleAfter(Duration delay, Task task) {
  return ScheduledTask(std::make_unique<SourceToken>(attachTimer(delay, std::move(task), false)));
}

ScheduledTask LinuxMainQueue::scheduleRepeating(Duration interval, Task task) {
  return ScheduledTask(std::make_unique<SourceToken>(attachTimer(interval, std::move(task), true)));
}

} // namespace quillon
