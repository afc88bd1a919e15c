#include "app/EntryPoint.h"

#include "app/AppDelegate.h"
#include "platform/Bundle.h"
#include "webapp/WebAppDelegate.h"

#include <algorithm>

namespace quillon {

bool isScreenCaptureProbe(std::span<const std::string> arguments) {
  return std::find(arguments.begin(), arguments.end(), ScreenCaptureProbeArgument) !=
         arguments.end();
}

ProcessMode selectProcessMode(std::span<const std::string> arguments,
                              const std::optional<PropertyDictionary>& infoDictionary) {
  if (isScreenCaptureProbe(arguments)) {
    return ProcessMode::ScreenCaptureProbe;
  }
  if (infoDictionary) {
    const auto url = infoDictionary->find(WebAppDelegate::StartUrlKey);
    // Only a text value marks a web app; whether it is usable is the web
    // app's own concern.
    if (url != infoDictionary->end() && url->second.is<std::string>()) {
      return ProcessMode::WebApp;
    }
  }
  return ProcessMode::MenuBar;
}

ActivationPolicy activationPolicyFor(ProcessMode mode) {
  return mode == ProcessMode::WebApp ? ActivationPolicy::Regular : ActivationPolicy::Accessory;
}

int runScreenCaptureProbe(const Permissions& permissions, std::ostream& out) {
  out << (permissions.screenCaptureAccess() ? "YES" : "NO") << '\n';
  out.flush();
  return 0;
}

std::unique_ptr<ApplicationDelegate> makeDelegate(ProcessMode mode, Platform& platform) {
  if (mode == ProcessMode::WebApp) {
    return std::make_unique<WebAppDelegate>(platform);
  }
  return std::make_unique<AppDelegate>(platform);
}

int runProcess(std::span<const std::string> arguments, Platform& platform, std::ostream& out) {
  // The probe answers before anything else is looked at or created.
  if (isScreenCaptureProbe(arguments)) {
    return runScreenCaptureProbe(platform.permissions, out);
  }
  const ProcessMode mode = selectProcessMode(arguments, platform.bundle.infoDictionary());
  const auto delegate = makeDelegate(mode, platform);
  platform.application.setActivationPolicy(activationPolicyFor(mode));
  platform.application.run(*delegate);
  return 0;
}

} // namespace quillon
