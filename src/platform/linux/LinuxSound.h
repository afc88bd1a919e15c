#pragma once

#include "platform/Log.h"
#include "platform/Sound.h"

#include <canberra.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The product's named alert sounds played from the desktop's sound theme
// through libcanberra. Playing never blocks and never fails the caller: a
// desktop without a sound server is said once in the log, then stays quiet.
class LinuxSound final : public Sound {
public:
  // A libcanberra driver ("alsa", "pulse", …) to use instead of its own
  // choice.
  explicit LinuxSound(Log& log, std::optional<std::string> driver = std::nullopt);

  void play(std::string_view name) override;

  // The sound-theme event that stands for one of the product's sounds, or
  // nothing for a name the product never uses.
  static std::optional<std::string_view> themeEventFor(std::string_view name);

private:
  struct ContextDestroy {
    void operator()(ca_context* context) const { ca_context_destroy(context); }
  };

  bool open();
  void reportOnce(bool& reported, const std::string& line);

  Log& log_;
  std::unique_ptr<ca_context, ContextDestroy> context_;
  bool opened_ = false;
  bool unavailable_ = false;
  bool reportedUnavailable_ = false;
  bool reportedUnknownName_ = false;
};

} // namespace quillon
