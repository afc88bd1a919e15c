#pragma once

#include "platform/Application.h"
#include "platform/Platform.h"

#include <optional>
#include <string>

namespace quillon {

// The web-app mode's composition root: the process is one browser window on
// the start address its bundle names.
class WebAppDelegate final : public ApplicationDelegate {
public:
  static constexpr std::string_view StartUrlKey = "QuillonWebAppURL";

  explicit WebAppDelegate(Platform& platform) : platform_(platform) {}

  void applicationDidFinishLaunching() override;

  // The address being shown, once a launch found a usable one.
  const std::optional<std::string>& startUrl() const { return startUrl_; }

private:
  std::optional<std::string> readStartUrl() const;

  Platform& platform_;
  std::optional<std::string> startUrl_;
};

} // namespace quillon
