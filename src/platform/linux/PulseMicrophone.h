#pragma once

#include "platform/Processes.h"

namespace quillon {

// The sound server's default input (PulseAudio, or PipeWire speaking its
// protocol). The desktop asks no one for microphone access: there is a
// microphone to record from when the server lists a source.
class PulseMicrophone {
public:
  static constexpr const char* Pactl = "/usr/bin/pactl";
  // What ffmpeg's pulse input calls the server's default source.
  static constexpr const char* DefaultSource = "default";

  explicit PulseMicrophone(Processes& processes) : processes_(processes) {}

  // Blocks while the server is asked.
  bool isAvailable() const;

private:
  Processes& processes_;
};

} // namespace quillon
