#pragma once

// The services this desktop does not offer yet. Each answers as a system
// that refuses would, and says so once in the log, so every feature above
// degrades the way it does when the system says no.

#include "platform/AppWindows.h"
#include "platform/AppleScript.h"
#include "platform/AudioRecorders.h"
#include "platform/DeviceAuthorization.h"
#include "platform/Images.h"
#include "platform/LiveServices.h"
#include "platform/Log.h"
#include "platform/Power.h"
#include "platform/WebViews.h"

#include <string>
#include <string_view>

namespace quillon {

// The capabilities served above by stand-ins are not live; the keyboard,
// layouts, tray, HUD, clipboard, sounds, login item and wheel are. Windows
// are, given a window manager that publishes them.
class LinuxLiveServices final : public LiveServices {
public:
  explicit LinuxLiveServices(std::optional<std::string> whyNoWindowAccess = std::nullopt)
      : whyNoWindowAccess_(std::move(whyNoWindowAccess)) {}
  std::optional<std::string> whyNotLive(Capability capability) const override;

private:
  std::optional<std::string> whyNoWindowAccess_;
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

class UnsupportedPower final : public Power {
public:
  explicit UnsupportedPower(Log& log) : notice_(log, "power management") {}

  std::optional<std::uint32_t> createAssertion(std::string_view, std::string_view) override;
  void releaseAssertion(std::uint32_t) override {}
  std::optional<std::string> providingPowerSourceType() const override;
  std::optional<PropertyValue> rootDomainProperty(std::string_view) const override;
  InterestResult observeRootDomainInterest(std::function<void()>) override;

private:
  UnsupportedNotice notice_;
};

class UnsupportedAudioRecorders final : public AudioRecorders {
public:
  explicit UnsupportedAudioRecorders(Log& log) : notice_(log, "audio recording") {}

  void requestMicrophoneAccess(std::function<void(bool granted)> answer) override;
  Result makeRecorder(const std::filesystem::path&, const AudioRecorderSettings&) override;

private:
  UnsupportedNotice notice_;
};

class UnsupportedImages final : public Images {
public:
  explicit UnsupportedImages(Log& log) : notice_(log, "image files") {}

  std::optional<PasteboardItem>
  pasteboardItemForImageFile(const std::filesystem::path&) const override;

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
