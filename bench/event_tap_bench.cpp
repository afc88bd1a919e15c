// What the event tap costs per event, on the simulated desktop with the
// product launched and every switch on: every key press and modifier change
// of the user pays this before any application sees it.
#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace quillon {
namespace {

struct LaunchedWorld {
  LaunchedWorld() {
    desktop.application().run(app);
    for (const Settings::Key key : Settings::allKeys()) {
      app.settings().set(true, key);
    }
    app.actions().wire(Action::toggleKeepAwake, [this] { ++performed; });
    if (app.eventTap() == nullptr) {
      throw std::runtime_error("the event tap did not start");
    }
  }

  TapVerdict handle(Event& event) { return app.eventTap()->handle(event); }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
  long performed = 0;
};

// A letter as typed in a word: through every step, layout correction last.
// Escape every sixteen keys ends the word so it does not grow without bound.
void plainKeyDown(benchmark::State& state) {
  LaunchedWorld world;
  const Event letter = makeKeyboardEvent(nullptr, keycode::A, true);
  const Event escape = makeKeyboardEvent(nullptr, keycode::Escape, true);
  int typed = 0;
  for (auto _ : state) {
    Event event = (++typed % 16 == 0) ? escape : letter;
    benchmark::DoNotOptimize(world.handle(event));
  }
}
BENCHMARK(plainKeyDown);

// Through all three detectors: the chord's press and release alternate.
void flagsChangedThroughDetectors(benchmark::State& state) {
  LaunchedWorld world;
  Event down(EventType::FlagsChanged, flag::Control | flag::Option);
  down.setIntegerField(EventField::KeyboardKeycode, keycode::Option);
  Event up(EventType::FlagsChanged, 0);
  up.setIntegerField(EventField::KeyboardKeycode, keycode::Option);
  bool pressed = false;
  for (auto _ : state) {
    Event event = pressed ? up : down;
    pressed = !pressed;
    benchmark::DoNotOptimize(world.handle(event));
  }
}
BENCHMARK(flagsChangedThroughDetectors);

// A key through the hotkey table, the punctuation step and the remap, which
// rewrites it (Control+C becomes Command+C).
void remappedKeyDown(benchmark::State& state) {
  LaunchedWorld world;
  Event original = makeKeyboardEvent(nullptr, keycode::C, true);
  original.setFlags(flag::Control);
  for (auto _ : state) {
    Event event = original;
    benchmark::DoNotOptimize(world.handle(event));
  }
}
BENCHMARK(remappedKeyDown);

// A shifted punctuation key that never pairs (its presses are far apart in
// virtual time, which stands still here, so each one is a first press).
void punctuationKeyDown(benchmark::State& state) {
  LaunchedWorld world;
  Event shifted = makeKeyboardEvent(nullptr, keycode::Slash, true);
  shifted.setFlags(flag::Shift);
  Event plain = makeKeyboardEvent(nullptr, keycode::Slash, true);
  bool useShift = false;
  for (auto _ : state) {
    Event event = useShift ? shifted : plain;
    useShift = !useShift;
    benchmark::DoNotOptimize(world.handle(event));
  }
}
BENCHMARK(punctuationKeyDown);

// The hotkey's own cost plus running its queued action, so the queue does
// not grow without bound.
void hotkeyWithQueuedAction(benchmark::State& state) {
  LaunchedWorld world;
  Event original = makeKeyboardEvent(nullptr, keycode::S, true);
  original.setFlags(flag::Command | flag::Control);
  for (auto _ : state) {
    Event event = original;
    benchmark::DoNotOptimize(world.handle(event));
    world.desktop.runUntilIdle();
  }
  state.counters["performed"] = static_cast<double>(world.performed);
}
BENCHMARK(hotkeyWithQueuedAction);

void markedSyntheticEvent(benchmark::State& state) {
  LaunchedWorld world;
  const EventSource marked(SyntheticEventMarker);
  const Event original = makeKeyboardEvent(&marked, keycode::A, true);
  for (auto _ : state) {
    Event event = original;
    benchmark::DoNotOptimize(world.handle(event));
  }
}
BENCHMARK(markedSyntheticEvent);

} // namespace
} // namespace quillon
