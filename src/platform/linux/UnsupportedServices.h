#pragma once

// The services this desktop does not offer yet. Each answers as a system
// that refuses would, and says so once in the log, so every feature above
// degrades the way it does when the system says no.

#include "platform/AppWindows.h"
#include "platform/AppleScript.h"
#include "platform/DeviceAuthorization.h"
#include "platform/Dictation.h"
#include "platform/LiveServices.h"
#include "platform/Log.h"
#include "platform/WebViews.h"

#include <string>
#include <string_view>

namespace quillon {

// The capabilities served above by stand-ins are not live; the keyboard,
// layouts, tray, HUD, clipboard, sounds, login item and wheel are. Windows
// are, given a window manager that publishes them; screen capture is; sound
// recording is, given ffmpeg to encode it.
class LinuxLiveServices final : public LiveServices {
public:
  explicit LinuxLiveServices(std::optional<std::string> whyNoWindowAccess = std::nullopt,
                             std::optional<std::string> whyNoWebViews =
                                 "web apps need a web engine this desktop does not embed yet")
      : whyNoWindowAccess_(std::move(whyNoWindowAccess)), whyNoWebViews_(std::move(whyNoWebViews)) {
  }
  std::optional<std::string> whyNotLive(Capability capability) const override;

private:
  std::optional<std::string> whyNoWindowAccess_;
  std::optional<std::string> whyNoWebViews_;
  // Asked once: whether the session keeps GIO metadata does not change.
  std::optional<std::string> whyNoFolderIcons_ = whyNoFolderIcons();

  static std::optional<std::string> whyNoFolderIcons();
};

// One log line the first time a service is used.
class UnsupportedNotice {
public:
  UnsupportedNotice(Log& log, std::string service) : log_(log), service_(std::move(service)) {}
  void report() const;

private:
  Log& log_;
  std::string service_;
  mutable bool reported_ = false;
};

// No dictation of the desktop's own: the product runs the user's command
// instead, or greys dictation with the reason, and never asks this.
class UnsupportedDictation final : public Dictation {
public:
  explicit UnsupportedDictation(Log& log) : notice_(log, "system dictation") {}

  void prepare() override { notice_.report(); }
  void start() override { notice_.report(); }

private:
  UnsupportedNotice notice_;
};

class UnsupportedAppleScript final : public AppleScript {
public:
  explicit UnsupportedAppleScript(Log& log) : notice_(log, "AppleScript") {}

  AppleScriptOutcome execute(std::string_view) override {
    notice_.report();
    return {.compiled = false, .error = std::nullopt};
  }

private:
  UnsupportedNotice notice_;
};

class UnsupportedDeviceAuthorization final : public DeviceAuthorization {
public:
  explicit UnsupportedDeviceAuthorization(Log& log) : notice_(log, "camera and location access") {}

  CaptureAuthorization captureStatus(CaptureDevice) const override {
    return CaptureAuthorization::Denied;
  }
  void requestCaptureAccess(CaptureDevice, std::function<void(bool)> answer) override {
    notice_.report();
    answer(false);
  }
  LocationAuthorization locationStatus() const override { return LocationAuthorization::Denied; }
  void requestLocationWhenInUse() override { notice_.report(); }
  Observation observeLocationAuthorization(std::function<void(LocationAuthorization)>) override {
    return {};
  }

private:
  UnsupportedNotice notice_;
};

// Web-app mode needs a web engine, which this desktop does not embed yet:
// windows and views exist, show nothing and load nothing.
class UnsupportedAppWindows final : public AppWindows {
public:
  explicit UnsupportedAppWindows(Log& log) : notice_(log, "web-app windows") {}

  std::unique_ptr<AppWindow> makeWindow(const WindowStyle& style) override;
  void setMainMenu(std::vector<MainMenu>, std::function<void(std::string_view)>) override {}
  void setMenuItemChecked(std::string_view, bool) override {}
  void activateApplication() override {}

private:
  UnsupportedNotice notice_;
};

class UnsupportedWebViews final : public WebViews {
public:
  explicit UnsupportedWebViews(Log& log) : notice_(log, "web views") {}

  std::unique_ptr<WebView> makeWebView(const WebViewConfiguration& configuration,
                                       WebViewPermissionHandlers handlers) override;
  ContentRuleListStore* defaultRuleListStore() override { return nullptr; }

private:
  UnsupportedNotice notice_;
};

} // namespace quillon
