// What layout correction costs on the key path: every letter key-down goes
// through the engine with the input sources queried fresh, and every word end
// is judged by dictionaries and letter-pair scores.
#include "app/AppDelegate.h"
#include "layout/Bigrams.h"
#include "layout/SelectionConverter.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace quillon {
namespace {

struct CorrectingWorld {
  CorrectingWorld() {
    desktop.application().run(app);
    if (app.eventTap() == nullptr || !app.settings().autoSwitchLayoutEnabled()) {
      throw std::runtime_error("layout correction is not running");
    }
  }

  TapVerdict handle(KeyCode key) {
    Event event = makeKeyboardEvent(nullptr, key, true);
    return app.eventTap()->handle(event);
  }

  SimDesktop desktop;
  AppDelegate app{desktop.platform()};
};

// Escape every sixteen keys keeps the word from growing without bound; it
// costs less than a letter.
void letterKeyDown(benchmark::State& state) {
  CorrectingWorld world;
  int typed = 0;
  for (auto _ : state) {
    const KeyCode key = (++typed % 16 == 0) ? keycode::Escape : keycode::G;
    benchmark::DoNotOptimize(world.handle(key));
  }
}
BENCHMARK(letterKeyDown);

void typeWord(CorrectingWorld& world, const std::vector<KeyCode>& keys) {
  for (const KeyCode key : keys) {
    world.handle(key);
  }
}

// "hello" on the English layout: scored in both readings, kept.
void wordEndKept(benchmark::State& state) {
  CorrectingWorld world;
  const std::vector<KeyCode> hello{keycode::H, keycode::E, keycode::L, keycode::L, keycode::O};
  for (auto _ : state) {
    state.PauseTiming();
    typeWord(world, hello);
    state.ResumeTiming();
    benchmark::DoNotOptimize(world.handle(keycode::Space));
  }
}
BENCHMARK(wordEndKept);

// "ghbdtn" on the English layout: the decision to switch to "привет", with
// the retyping itself (which runs later, off the key path) left out.
void wordEndSwitched(benchmark::State& state) {
  CorrectingWorld world;
  const std::vector<KeyCode> privet{keycode::G, keycode::H, keycode::B,
                                    keycode::D, keycode::T, keycode::N};
  for (auto _ : state) {
    state.PauseTiming();
    world.desktop.inputSources().select("com.apple.keylayout.US");
    typeWord(world, privet);
    state.ResumeTiming();
    benchmark::DoNotOptimize(world.handle(keycode::Space));
    state.PauseTiming();
    world.desktop.runUntilIdle();
    world.desktop.textField().clear();
    state.ResumeTiming();
  }
}
BENCHMARK(wordEndSwitched);

void bigramScore(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(Bigrams::score("привет", Bigrams::Language::russian));
    benchmark::DoNotOptimize(Bigrams::score("ghbdtn", Bigrams::Language::english));
  }
}
BENCHMARK(bigramScore);

void transliterateKibibyte(benchmark::State& state) {
  SimDesktop desktop;
  const LayoutTranslator translator(desktop.inputSources());
  const auto maps = SelectionConverter::buildCharMaps(translator, "com.apple.keylayout.US",
                                                      "com.apple.keylayout.Russian");
  std::string text;
  while (text.size() < 1024) {
    text += "Ghbdtn, vbh! Rfr ltkf? ";
  }
  text.resize(1024);
  for (auto _ : state) {
    benchmark::DoNotOptimize(SelectionConverter::transliterate(text, maps.enToRu));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 1024);
}
BENCHMARK(transliterateKibibyte);

} // namespace
} // namespace quillon
