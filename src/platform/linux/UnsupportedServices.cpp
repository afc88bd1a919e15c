#include "platform/linux/UnsupportedServices.h"

#include "platform/linux/FfmpegSession.h"
#include "platform/linux/GioFolderIcons.h"

#include <filesystem>

namespace quillon {

// Folder icons are metadata kept by GIO's metadata service (gvfs); without
// it they cannot be stored anywhere a file manager would look.
std::optional<std::string> LinuxLiveServices::whyNoFolderIcons() {
  if (GioFolderIcons::metadataWritable()) {
    return std::nullopt;
  }
  return "no GIO metadata service (gvfs) to keep folder icons";
}

std::optional<std::string> LinuxLiveServices::whyNotLive(Capability capability) const {
  switch (capability) {
  case Capability::windowAccess:
    return whyNoWindowAccess_;
  case Capability::screenCapture:
    return std::nullopt;
  case Capability::audioRecording:
    if (!std::filesystem::exists(FfmpegSession::Executable)) {
      return std::string("ffmpeg (") + FfmpegSession::Executable + ") is not installed";
    }
    return std::nullopt;
  case Capability::keepAwake:
    // A refusal comes when it is switched on, with its reason in the log.
    return std::nullopt;
  case Capability::webViews:
    return whyNoWebViews_;
  case Capability::folderPeek:
    // File managers that show no items on the accessibility bus are said
    // once each when pointed at; the others are peeked into.
    return std::nullopt;
  case Capability::desktopFolderIcons:
    return whyNoFolderIcons_;
  case Capability::dictation:
    return "this desktop has no system dictation";
  case Capability::systemSettings:
    return "the macOS system settings do not exist on this desktop";
  }
  return "unknown capability";
}

namespace {

class BlankWindow final : public AppWindow {
public:
  void setTitle(std::string_view) override {}
  void setContent(WebView&) override {}
  void center() override {}
  void makeKeyAndOrderFront() override {}
  bool isVisible() const override { return false; }
};

class BlankWebView final : public WebView {
public:
  double pageZoom() const override { return zoom_; }
  void setPageZoom(double zoom) override { zoom_ = zoom; }
  void load(std::string_view, Duration) override {}
  void reload() override {}
  void addRuleList(const RuleListPointer&) override {}
  void removeRuleList(const RuleListPointer&) override {}
  Observation observeTitle(std::function<void(std::optional<std::string>)> callback) override {
    callback(std::nullopt);
    return {};
  }
  void removeWebsiteData(const std::set<WebsiteDataType>&,
                         std::function<void()> completion) override {
    completion();
  }

private:
  double zoom_ = 1.0;
};

} // namespace

void UnsupportedNotice::report() const {
  if (reported_) {
    return;
  }
  reported_ = true;
  log_.write("Quillon: " + service_ + " is not supported on this desktop yet");
}

std::unique_ptr<AppWindow> UnsupportedAppWindows::makeWindow(const WindowStyle&) {
  notice_.report();
  return std::make_unique<BlankWindow>();
}

std::unique_ptr<WebView> UnsupportedWebViews::makeWebView(const WebViewConfiguration&,
                                                          WebViewPermissionHandlers) {
  notice_.report();
  return std::make_unique<BlankWebView>();
}

} // namespace quillon
