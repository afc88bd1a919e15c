// What the event tap costs per event, on the simulated desktop: every key
// press of the user pays this before any application sees the key.
#include "app/ActionTable.h"
#include "app/Settings.h"
#include "input/EventTap.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

namespace quillon {
namespace {

struct TapWorld {
  TapWorld() {
    actions.wire(Action::toggleKeepAwake, [this] { ++performed; });
    if (!tap.start()) {
      throw std::runtime_error("the event tap did not start");
    }
  }

  SimDesktop desktop;
  NotificationCenter notifications;
  Settings settings{DefaultsDomain(desktop.defaults(), "com.quillon.Quillon"), notifications};
  ActionTable actions;
  EventTap tap{desktop.eventTaps(), desktop.runLoop(), settings, actions};
  long performed = 0;
};

void plainKeyDown(benchmark::State& state) {
  TapWorld world;
  const Event original = makeKeyboardEvent(nullptr, keycode::A, true);
  for (auto _ : state) {
    Event event = original;
    benchmark::DoNotOptimize(world.tap.handle(event));
  }
}
BENCHMARK(plainKeyDown);

void flagsChanged(benchmark::State& state) {
  TapWorld world;
  Event original(EventType::FlagsChanged, flag::Command | flag::Shift);
  original.setIntegerField(EventField::KeyboardKeycode, keycode::Shift);
  for (auto _ : state) {
    Event event = original;
    benchmark::DoNotOptimize(world.tap.handle(event));
  }
}
BENCHMARK(flagsChanged);

// The hotkey's own cost plus running its queued action, so the queue does
// not grow without bound.
void hotkeyWithQueuedAction(benchmark::State& state) {
  TapWorld world;
  Event original = makeKeyboardEvent(nullptr, keycode::S, true);
  original.setFlags(flag::Command | flag::Control);
  for (auto _ : state) {
    Event event = original;
    benchmark::DoNotOptimize(world.tap.handle(event));
    world.desktop.runUntilIdle();
  }
  state.counters["performed"] = static_cast<double>(world.performed);
}
BENCHMARK(hotkeyWithQueuedAction);

void markedSyntheticEvent(benchmark::State& state) {
  TapWorld world;
  const EventSource marked(SyntheticEventMarker);
  const Event original = makeKeyboardEvent(&marked, keycode::A, true);
  for (auto _ : state) {
    Event event = original;
    benchmark::DoNotOptimize(world.tap.handle(event));
  }
}
BENCHMARK(markedSyntheticEvent);

} // namespace
} // namespace quillon
