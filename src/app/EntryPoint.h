#pragma once

#include "platform/Application.h"
#include "platform/Permissions.h"
#include "platform/Platform.h"
#include "platform/PropertyValue.h"

#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

enum class ProcessMode {
  // Answers whether screen recording is permitted and exits: a running
  // process's own answer goes stale, so the product asks a fresh one.
  ScreenCaptureProbe,
  WebApp,
  MenuBar,
};

inline constexpr std::string_view ScreenCaptureProbeArgument = "--tcc-check-screen";

bool isScreenCaptureProbe(std::span<const std::string> arguments);
ProcessMode selectProcessMode(std::span<const std::string> arguments,
                              const std::optional<PropertyDictionary>& infoDictionary);
ActivationPolicy activationPolicyFor(ProcessMode mode);

// Prints "YES" or "NO" and a line feed.
int runScreenCaptureProbe(const Permissions& permissions, std::ostream& out);
std::unique_ptr<ApplicationDelegate> makeDelegate(ProcessMode mode, Platform& platform);

// The process entry: the arguments include the program path.
int runProcess(std::span<const std::string> arguments, Platform& platform, std::ostream& out);

} // namespace quillon
