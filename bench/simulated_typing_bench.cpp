// The whole product typing running text on the simulated desktop, driven by
// a `quillon --simulate` script of one `select` and one `keys` per word: a
// user typing each word on the wrong layout (English words on the Russian
// layout, Russian words on the US one), and the product correcting each.
//
// Two figures per direction:
// - typedThroughScript: words per second of CPU through the script runner,
//   in this process, 1,000 words and a `clear` per iteration;
// - quillonExecutable: the real executable (next to this program) on
//   100,000 words with one `clear` at the end, its words per CPU second and
//   its peak resident memory, read from the child's VmHWM.
// Targets on a 2-core machine: at least 50,000 words a second; peak resident
// memory under 30 MB.
//
// Words are drawn at random, the same on every run, from Debian's wamerican
// and hunspell-ru lists (installed by scripts/setup.sh).
#include "WordLists.h"
#include "platform/sim/SimDesktop.h"
#include "simulate/ScriptRunner.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillon {
namespace {

struct Direction {
  std::string layout;      // whose keys type the word
  std::string wrongSource; // the source that is current while it is typed
  std::vector<std::string> words;
};

const Direction& direction(int which) {
  static const std::vector<Direction> directions{
      {"us", "com.apple.keylayout.Russian", bench::readEnglishWords()},
      {"ru(mac)", "com.apple.keylayout.US", bench::readRussianWords()},
  };
  return directions.at(static_cast<std::size_t>(which));
}

constexpr unsigned textSeed = 2026;

// Running text: words drawn at random from the list, the same on every run.
std::vector<std::string> runningText(const Direction& direction, std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> pick(0, direction.words.size() - 1);
  std::vector<std::string> text;
  text.reserve(count);
  for (std::size_t index = 0; index < count; ++index) {
    text.push_back(direction.words[pick(random)]);
  }
  return text;
}

std::string script(const Direction& direction, const std::vector<std::string>& text) {
  std::string lines;
  for (const std::string& word : text) {
    lines += "select " + direction.wrongSource + "\nkeys " + direction.layout + " " + word + " \n";
  }
  return lines;
}

// The share of words the product turned back into what the user meant.
double correctedShare(const std::string& field, const std::vector<std::string>& text) {
  std::istringstream typed(field);
  std::size_t corrected = 0;
  std::string word;
  for (std::size_t index = 0; index < text.size() && typed >> word; ++index) {
    corrected += word == text[index] ? 1 : 0;
  }
  return text.empty() ? 0 : static_cast<double>(corrected) / static_cast<double>(text.size());
}

void typedThroughScript(benchmark::State& state, int which) {
  const Direction& typing = direction(which);
  if (typing.words.empty()) {
    state.SkipWithError("no word list");
    return;
  }
  constexpr std::size_t wordsPerIteration = 1000;
  const auto text = runningText(typing, wordsPerIteration, textSeed);
  const std::string lines = script(typing, text) + "clear\n";
  SimDesktop desktop;
  std::ostringstream out;
  ScriptRunner runner(desktop, out);
  {
    // Launches the product, and measures how much of the text it corrects.
    std::istringstream once(script(typing, text));
    runner.run(once);
    state.counters["corrected"] = correctedShare(desktop.textField().text(), text);
    desktop.textField().clear();
  }
  for (auto _ : state) {
    std::istringstream in(lines);
    runner.run(in);
  }
  if (!out.str().empty()) {
    state.SkipWithError(("the script printed: " + out.str().substr(0, 200)).c_str());
  }
  state.counters["words"] = benchmark::Counter(
      static_cast<double>(state.iterations() * wordsPerIteration), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(typedThroughScript, englishOnRussianLayout, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(typedThroughScript, russianOnUsLayout, 1)->Unit(benchmark::kMillisecond);

struct ChildRun {
  bool started = false;
  bool succeeded = false;
  double cpuSeconds = 0;
  double peakResidentMegabytes = 0;
};

// A running process's VmHWM, its own peak resident memory; absent once it
// has exited.
std::optional<double> peakResidentKilobytes(pid_t process) {
  std::ifstream status("/proc/" + std::to_string(process) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::stod(line.substr(6));
    }
  }
  return std::nullopt;
}

// The last VmHWM read before the child exits; the high-water mark only
// grows, so this misses at most the last few milliseconds of its run.
double sampledPeakResidentKilobytes(pid_t child) {
  constexpr auto samplingInterval = std::chrono::milliseconds(5);
  double peak = 0;
  for (;;) {
    siginfo_t exited{};
    const bool hasExited =
        waitid(P_PID, static_cast<id_t>(child), &exited, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        exited.si_pid == child;
    if (hasExited) {
      return peak;
    }
    peak = std::max(peak, peakResidentKilobytes(child).value_or(0));
    std::this_thread::sleep_for(samplingInterval);
  }
}

// Runs the executable with its standard output in a file and answers its
// resource usage.
ChildRun runChild(const std::filesystem::path& executable, std::vector<std::string> arguments,
                  const std::filesystem::path& output) {
  std::vector<char*> argv;
  const std::string program = executable.string();
  argv.push_back(const_cast<char*>(program.c_str()));
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ChildRun run;
  pid_t child = 0;
  run.started = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!run.started) {
    return run;
  }
  // wait4's ru_maxrss would also count the memory this process had when it
  // spawned the child, so the child's own high-water mark is sampled while
  // it runs (it is gone once the child exits).
  run.peakResidentMegabytes = sampledPeakResidentKilobytes(child) / 1024.0;
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    return run;
  }
  run.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return run;
}

void quillonExecutable(benchmark::State& state, int which) {
  const Direction& typing = direction(which);
  const std::filesystem::path executable =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quillon";
  if (typing.words.empty() || !std::filesystem::exists(executable)) {
    state.SkipWithError("no word list, or no quillon executable next to this program");
    return;
  }
  constexpr std::size_t words = 100'000;
  const auto folder = std::filesystem::temp_directory_path();
  const std::string stem = "quillon-typing-" + std::to_string(getpid());
  const auto scriptPath = folder / (stem + ".qsim");
  const auto outputPath = folder / (stem + ".out");
  std::ofstream(scriptPath) << script(typing, runningText(typing, words, textSeed)) << "clear\n";
  ChildRun run;
  for (auto _ : state) {
    run = runChild(executable, {"--simulate", scriptPath.string()}, outputPath);
    state.SetIterationTime(run.cpuSeconds);
  }
  const bool printedNothing = std::filesystem::file_size(outputPath) == 0;
  std::filesystem::remove(scriptPath);
  std::filesystem::remove(outputPath);
  if (!run.succeeded || !printedNothing) {
    state.SkipWithError("quillon --simulate failed or printed an error");
    return;
  }
  state.counters["words_per_cpu_second"] = static_cast<double>(words) / run.cpuSeconds;
  state.counters["peak_resident_MB"] = run.peakResidentMegabytes;
}
BENCHMARK_CAPTURE(quillonExecutable, englishOnRussianLayout, 0)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(quillonExecutable, russianOnUsLayout, 1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quillon
