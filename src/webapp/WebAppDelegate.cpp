#include "webapp/WebAppDelegate.h"

#include "platform/Bundle.h"
#include "platform/Log.h"
#include "webapp/UrlSyntax.h"

namespace quillon {

std::optional<std::string> WebAppDelegate::readStartUrl() const {
  const auto info = platform_.bundle.infoDictionary();
  if (!info) {
    return std::nullopt;
  }
  const auto found = info->find(StartUrlKey);
  if (found == info->end()) {
    return std::nullopt;
  }
  auto url = found->second.asString();
  if (!url || !isParseableUrl(*url)) {
    return std::nullopt;
  }
  return url;
}

void WebAppDelegate::applicationDidFinishLaunching() {
  startUrl_ = readStartUrl();
  if (!startUrl_) {
    platform_.log.write("Quillon web-app: no QuillonWebAppURL in Info.plist — exiting");
    platform_.application.terminate();
    return;
  }
}

} // namespace quillon
