// The web engine's module: the only code that links WebKitGTK, opened by
// a process only once it knows it runs as a web app.

#include "platform/linux/webkit/WebEngine.h"
#include "platform/linux/webkit/WebKitAppWindows.h"
#include "platform/linux/webkit/WebKitWebViews.h"

namespace quillon {

namespace {

class WebKitEngine final : public WebEngine {
public:
  explicit WebKitEngine(const WebEngineSettings& settings)
      : webViews_(settings.dataFolder, settings.cacheFolder, settings.log),
        appWindows_(settings.application) {}

  WebViews& webViews() override { return webViews_; }
  AppWindows& appWindows() override { return appWindows_; }

private:
  WebKitWebViews webViews_;
  WebKitAppWindows appWindows_;
};

} // namespace

} // namespace quillon

extern "C" __attribute__((visibility("default"))) quillon::WebEngine*
quillon_open_web_engine(const quillon::WebEngineSettings* settings) {
  if (settings == nullptr) {
    return nullptr;
  }
  return std::make_unique<quillon::WebKitEngine>(*settings).release();
}
