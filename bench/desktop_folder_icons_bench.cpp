// What one pass of the Desktop folder icons costs on a full Desktop: 200
// folders of 50 files each. The first pass draws and writes every icon; an
// unchanged pass (past the cooldown, file events watched as in the running
// product) reads each folder's own date, lists, sorts and fingerprints the
// folders whose turn at a full reading it is, and draws nothing. Target for
// the unchanged pass: under 20 ms.
#include "finder/DesktopFolderIcons.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

#include <array>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace quillon {
namespace {

constexpr int folderCount = 200;
constexpr int filesPerFolder = 50;
constexpr std::array<std::string_view, 5> extensions{".txt", ".png", ".pdf", ".jpg", ".md"};

struct FullDesktop {
  FullDesktop() {
    const std::filesystem::path desktopFolder = *desktop.directories().desktop();
    for (int folder = 0; folder < folderCount; ++folder) {
      const auto path = desktopFolder / ("Folder " + std::to_string(folder));
      std::filesystem::create_directories(path);
      for (int file = 0; file < filesPerFolder; ++file) {
        std::ofstream(path / ("File " + std::to_string(file) +
                              std::string(extensions[file % extensions.size()])))
            << file;
      }
    }
  }

  std::unique_ptr<DesktopFolderIcons> makeIcons() {
    return std::make_unique<DesktopFolderIcons>(DesktopFolderIcons::Dependencies{
        desktop.directories(), desktop.fileEvents(), desktop.workspace(),
        desktop.extendedAttributes(), DefaultsDomain(desktop.defaults(), "com.quillon.Quillon"),
        desktop.runLoop(), desktop.runLoop().backgroundQueue(), desktop.clock(), desktop.log()});
  }

  void expectLastPass(std::string_view counts) {
    const auto lines = desktop.log().takeNewLines();
    if (lines.empty() || lines.back().find(counts) == std::string::npos) {
      throw std::runtime_error("unexpected pass: " + (lines.empty() ? "none" : lines.back()));
    }
  }

  SimDesktop desktop;
};

void firstPass(benchmark::State& state) {
  FullDesktop world;
  for (auto _ : state) {
    state.PauseTiming();
    auto icons = world.makeIcons();
    state.ResumeTiming();
    icons->applyAll();
    state.PauseTiming();
    world.expectLastPass("rendered=200 skipped=0 of 200 items");
    icons.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(firstPass)->Unit(benchmark::kMillisecond)->Iterations(3);

// Argument 1: file events are watched, as in the running product; 0: they
// cannot be, so every item's date is read.
void unchangedPass(benchmark::State& state) {
  FullDesktop world;
  world.desktop.fileEvents().setWatchFails(state.range(0) == 0);
  auto icons = world.makeIcons();
  icons->start();
  world.desktop.runUntilIdle();
  // Past the cooldown, so every folder is considered.
  world.desktop.advance(Duration(1.5));
  world.desktop.log().takeNewLines();
  for (auto _ : state) {
    icons->applyAll();
  }
  // A pass that draws nothing says nothing.
  const auto lines = world.desktop.log().takeNewLines();
  if (!lines.empty()) {
    throw std::runtime_error("unexpected line: " + lines.front());
  }
}
BENCHMARK(unchangedPass)->ArgName("watched")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillon
