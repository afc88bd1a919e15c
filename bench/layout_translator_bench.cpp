// What layout correction costs on the key path, on the simulated desktop:
// every key press that reaches the auto-switch engine resolves the pair of
// sources and translates the key in both, and every finished word is scored
// twice.
#include "layout/Bigrams.h"
#include "layout/LayoutTranslator.h"
#include "layout/SelectionConverter.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace quillon {
namespace {

struct TranslatorWorld {
  explicit TranslatorWorld(std::vector<std::string> layouts = {"com.apple.keylayout.US",
                                                               "com.apple.keylayout.Russian"})
      : desktop(SimDesktop::Options{.layouts = std::move(layouts)}) {}

  EnglishAndRussian pair() const {
    auto found = translator.enabledEnglishAndRussian();
    if (!found) {
      throw std::runtime_error("no English and Russian layouts");
    }
    return *found;
  }

  SimDesktop desktop;
  LayoutTranslator translator{desktop.inputSources()};
};

// The per-keystroke work of the auto-switch engine.
void pairAndTwoCharacters(benchmark::State& state) {
  TranslatorWorld world;
  for (auto _ : state) {
    const auto pair = world.translator.enabledEnglishAndRussian();
    benchmark::DoNotOptimize(world.translator.character(keycode::G, pair->en));
    benchmark::DoNotOptimize(world.translator.character(keycode::G, pair->ru));
  }
}
BENCHMARK(pairAndTwoCharacters);

// The pair found behind other layouts, as for a user with several enabled.
void pairBehindOtherLayouts(benchmark::State& state) {
  TranslatorWorld world({"com.apple.keylayout.German", "com.apple.keylayout.French",
                         "com.apple.keylayout.Ukrainian", "com.apple.keylayout.British",
                         "com.apple.keylayout.US", "com.apple.keylayout.Russian"});
  for (auto _ : state) {
    benchmark::DoNotOptimize(world.translator.enabledEnglishAndRussian());
  }
}
BENCHMARK(pairBehindOtherLayouts);

void characterOnly(benchmark::State& state) {
  TranslatorWorld world;
  const EnglishAndRussian pair = world.pair();
  for (auto _ : state) {
    benchmark::DoNotOptimize(world.translator.character(keycode::G, pair.ru));
  }
}
BENCHMARK(characterOnly);

// What the engine pays at the end of a word.
void scoreBothReadings(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(Bigrams::score("ghbdtncndeq", Bigrams::Language::english));
    benchmark::DoNotOptimize(Bigrams::score("приветствуй", Bigrams::Language::russian));
  }
}
BENCHMARK(scoreBothReadings);

void buildCharMaps(benchmark::State& state) {
  TranslatorWorld world;
  const EnglishAndRussian pair = world.pair();
  for (auto _ : state) {
    benchmark::DoNotOptimize(SelectionConverter::buildCharMaps(world.translator, pair.en, pair.ru));
  }
}
BENCHMARK(buildCharMaps);

void transliterateSentence(benchmark::State& state) {
  TranslatorWorld world;
  const EnglishAndRussian pair = world.pair();
  const auto maps = SelectionConverter::buildCharMaps(world.translator, pair.en, pair.ru);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        SelectionConverter::transliterate("Ghbdtn, rfr ltkf? Dct [jhjij!", maps.enToRu));
  }
}
BENCHMARK(transliterateSentence);

} // namespace
} // namespace quillon
