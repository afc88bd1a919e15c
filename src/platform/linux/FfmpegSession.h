#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillon {

// One run of ffmpeg writing a recording. It is asked to stop with "q" on
// its standard input, after which it writes the file's index and exits.
// Until its first progress report it is still opening its inputs, and a
// stop then would leave a file without an index: such a stop waits for that
// report.
class FfmpegSession {
public:
  static constexpr const char* Executable = "/usr/bin/ffmpeg";

  // Runs on the session's own thread once ffmpeg has ended: none when it
  // ended as asked, else why it did not.
  using EndHandler = std::function<void(std::optional<std::string> failure)>;

  // The arguments after the executable's name; the progress and stop
  // arguments are added here.
  static std::unique_ptr<FfmpegSession> start(const std::vector<std::string>& arguments,
                                              EndHandler ended, std::string& error);

  FfmpegSession(const FfmpegSession&) = delete;
  FfmpegSession& operator=(const FfmpegSession&) = delete;
  // Stops a session still running and waits for its end.
  ~FfmpegSession();

  bool isRunning() const { return !ended_; }
  // Returns at once; the end handler runs when the file is finished.
  void stop();
  // Stops and waits, at most `limit`, for the file to be finished.
  bool stopAndWait(std::chrono::milliseconds limit);
  int pid() const { return pid_; }

private:
  FfmpegSession(int pid, int input, int progress, int errors, EndHandler ended);
  void watch();
  void handleProgress(std::string_view text);
  void sendStop();

  int pid_;
  int input_;
  int progress_;
  int errors_;
  EndHandler endedHandler_;
  std::mutex mutex_;
  std::condition_variable endedSignal_;
  bool reporting_ = false;
  bool stopRequested_ = false;
  bool stopSent_ = false;
  std::atomic<bool> ended_{false};
  std::string progressLine_;
  std::string lastErrorLine_;
  std::string errorLine_;
  std::thread watcher_;
};

} // namespace quillon
