#include "capture/ScreenCaptureLocationSetup.h"

#include "capture/CaptureFiles.h"

namespace quillon {

void ScreenCaptureLocationSetup::ensureLocation() {
  const capturefiles::Folder folder =
      capturefiles::ensureFolder(directories_, capturefiles::ScreenFolder);
  if (!folder.documentsFound) {
    log_.write("Quillon captureLoc: cannot resolve ~/Documents");
    return;
  }
  if (!folder.path) {
    log_.write("Quillon captureLoc: cannot create " + folder.attempted.string() + ": " +
               folder.error);
    return;
  }
  const std::string target = folder.path->string();
  const auto stored = defaults_.object(Domain, LocationKey);
  const std::optional<std::string> current = stored ? stored->asString() : std::nullopt;
  if (current == target) {
    return;
  }
  log_.write("Quillon captureLoc: changing location from '" +
             current.value_or("<default ~/Desktop>") + "' to '" + target + "'");
  defaults_.set(Domain, LocationKey, PropertyValue(target));
}

} // namespace quillon
