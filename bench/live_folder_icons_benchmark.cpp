// The unchanged pass of the Desktop folder icons with this machine's real
// folder watching (inotify) over a real Desktop of 200 folders of 50 files:
// each folder's own date is trusted because a watch on it would have
// reported a change. Target: under 20 ms.
#include "finder/DesktopFolderIcons.h"
#include "platform/linux/InotifyFileEvents.h"
#include "platform/sim/SimDesktop.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace quillon {
namespace {

constexpr int folderCount = 200;
constexpr int filesPerFolder = 50;

void unchangedPassWithInotify(benchmark::State& state) {
  SimDesktop desktop;
  const std::filesystem::path desktopFolder = *desktop.directories().desktop();
  for (int folder = 0; folder < folderCount; ++folder) {
    const auto path = desktopFolder / ("Folder " + std::to_string(folder));
    std::filesystem::create_directories(path);
    for (int file = 0; file < filesPerFolder; ++file) {
      std::ofstream(path / ("File " + std::to_string(file) + ".txt")) << file;
    }
  }
  InotifyFileEvents fileEvents(desktop.log());
  // Everything else is the simulated desktop's; only the watching is real.
  DesktopFolderIcons icons(DesktopFolderIcons::Dependencies{
      desktop.directories(), fileEvents, desktop.workspace(), desktop.extendedAttributes(),
      DefaultsDomain(desktop.defaults(), "com.quillon.Quillon"), desktop.runLoop(),
      desktop.runLoop().backgroundQueue(), desktop.clock(), desktop.log()});
  icons.start();
  desktop.runUntilIdle();
  for (int folder = 0; folder < folderCount; ++folder) {
    if (!fileEvents.reportsChangesIn(desktopFolder / ("Folder " + std::to_string(folder)))) {
      throw std::runtime_error("a folder is not watched; raise fs.inotify.max_user_watches");
    }
  }
  desktop.advance(Duration(1.5));
  desktop.log().takeNewLines();
  for (auto _ : state) {
    icons.applyAll();
  }
  for (const auto& line : desktop.log().takeNewLines()) {
    if (line.find("applyAll done") != std::string::npos) {
      throw std::runtime_error("an unchanged pass drew: " + line);
    }
  }
}
BENCHMARK(unchangedPassWithInotify)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillon
