// What the window position manager costs while it runs: four polls a second,
// each reading the frontmost application's focused window and its frame.
#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace quillon {
namespace {

struct PollingWorld {
  PollingWorld() {
    desktop.application().run(app);
    app.settings().set(true, Settings::Key::restoreWindowPositionsEnabled);
    const int editor = desktop.bringToFront("com.example.editor");
    desktop.applications().openWindow(editor, {{100, 100}, {1300, 700}});
    // Let the frame settle and be saved, as it is between the user's moves.
    desktop.advance(Duration(1));
    if (!app.windowPositions().isRunning() ||
        !app.windowPositions().savedFrame("com.example.editor")) {
      throw std::runtime_error("the position manager is not watching the editor");
    }
  }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
};

// The common poll: a settled frame that was already handled.
void pollSettledWindow(benchmark::State& state) {
  PollingWorld world;
  for (auto _ : state) {
    world.app.windowPositions().tick();
  }
}
BENCHMARK(pollSettledWindow);

// A poll while both switches are off returns before any accessibility call.
void pollWithSwitchesOff(benchmark::State& state) {
  PollingWorld world;
  world.app.settings().set(false, Settings::Key::restoreWindowPositionsEnabled);
  world.app.settings().set(false, Settings::Key::autoSnapMouseDragEnabled);
  for (auto _ : state) {
    world.app.windowPositions().tick();
  }
}
BENCHMARK(pollWithSwitchesOff);

} // namespace
} // namespace quillon
