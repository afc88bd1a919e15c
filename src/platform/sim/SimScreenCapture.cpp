#include "platform/sim/SimScreenCapture.h"

namespace quillon {

namespace {

// The tool leaves its verdict in the file it writes or not; its exit status
// says nothing more.
std::function<void(std::optional<int>)> endOf(ScreenCapture::EndHandler ended) {
  return [ended = std::move(ended)](std::optional<int>) { ended(CaptureEnd{}); };
}

class ToolRecording final : public ScreenRecording {
public:
  explicit ToolRecording(std::unique_ptr<ChildProcess> process) : process_(std::move(process)) {}
  bool isRunning() override { return process_->isRunning(); }
  // As Ctrl+C in a terminal: the tool finishes the movie and exits.
  void stop() override { process_->interrupt(); }

private:
  std::unique_ptr<ChildProcess> process_;
};

} // namespace

std::optional<std::string> SimScreenCapture::captureAreaToFile(const std::filesystem::path& file,
                                                               EndHandler ended) {
  SpawnRequest request{std::string(Tool), {"-i", "-x", "-t", "jpg", file.string()}};
  request.terminationHandler = endOf(std::move(ended));
  SpawnResult started = processes_.spawn(request);
  if (!started.process) {
    return started.error;
  }
  return std::nullopt;
}

// The tool records the whole main display; picking a part is the system
// overlay's, so an area never reaches it.
ScreenCapture::Recording SimScreenCapture::recordScreen(const std::filesystem::path& file,
                                                        std::optional<ScreenArea>,
                                                        EndHandler ended) {
  SpawnRequest request{std::string(Tool), {"-v", "-D", "1", "-g", "-x", file.string()}};
  request.terminationHandler = endOf(std::move(ended));
  SpawnResult started = processes_.spawn(request);
  if (!started.process) {
    return {nullptr, std::move(started.error)};
  }
  return {std::make_unique<ToolRecording>(std::move(started.process)), {}};
}

std::optional<std::string>
SimScreenCapture::chooseArea(std::function<void(std::optional<ScreenArea>)>) {
  return "the system's own overlay picks the areas it records";
}

} // namespace quillon
