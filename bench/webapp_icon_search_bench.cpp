// The peak memory of a web app's icon search when every candidate is
// hostile: a GIF and a truncated PNG declaring gigantic pictures, an
// oversized PNG, an SVG served as PNG and an ICO name holding a GIF. Target:
// under 64 MB above the process's memory before the search.
#include "../tests/support/HostileImages.h"
#include "ResidentMemory.h"
#include "platform/sim/LoopbackHttpServer.h"
#include "platform/sim/SimDesktop.h"
#include "webapp/WebAppIcon.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <stdexcept>

namespace quillon {
namespace {

void iconSearchOverHostileCandidates(benchmark::State& state) {
  using Reply = LoopbackHttpServer::Reply;
  const std::map<std::string, std::string> site{
      {"/apple-touch-icon-180x180.png", testimages::hugeGif()},
      {"/apple-touch-icon-precomposed.png", testimages::truncatedHugePng()},
      {"/apple-touch-icon.png", testimages::greyPng(2049, 2049)},
      {"/favicon.png", testimages::svgServedAsPng()},
      {"/favicon.ico", testimages::hugeGif()},
  };
  LoopbackHttpServer server([&site](const std::string& path) {
    const auto found = site.find(path);
    return found == site.end() ? Reply{404, "", Reply::Kind::Normal}
                               : Reply{200, found->second, Reply::Kind::Normal};
  });
  SimDesktop desktop;
  desktop.http().mapHost("hostile.example", server.origin());
  WebAppIcon icon{{desktop.http(), desktop.platform().imageDecoder,
                   desktop.platform().webAppPackaging, desktop.directories(), desktop.log()}};
  const auto resources = desktop.directories().home().value() / "Resources";
  std::filesystem::create_directories(resources);
  double worst = 0;
  for (auto _ : state) {
    const long before = bench::statusKilobytes("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5";
    if (icon.downloadAndAttachIcon("https://hostile.example/", resources)) {
      throw std::runtime_error("a hostile candidate became the icon");
    }
    worst =
        std::max(worst, static_cast<double>(bench::statusKilobytes("VmHWM:") - before) / 1024.0);
  }
  state.counters["peak_above_start_MB"] = worst;
}
BENCHMARK(iconSearchOverHostileCandidates)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillon
