#pragma once

#include "platform/PasteTargets.h"
#include "platform/Platform.h"
#include "platform/shared/FileBundle.h"
#include "platform/shared/PixbufImageDecoder.h"
#include "platform/shared/PlistDefaults.h"
#include "platform/shared/PosixExtendedAttributes.h"
#include "platform/shared/TableLocalization.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/PmsetLidSleepPrevention.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimAlerts.h"
#include "platform/sim/SimAppWindows.h"
#include "platform/sim/SimAppleScript.h"
#include "platform/sim/SimApplications.h"
#include "platform/sim/SimAudioRecorders.h"
#include "platform/sim/SimScreenCapture.h"
#include "platform/sim/SimDeviceAuthorization.h"
#include "platform/sim/SimDictation.h"
#include "platform/sim/SimDirectories.h"
#include "platform/sim/SimEventTaps.h"
#include "platform/sim/SimFileEvents.h"
#include "platform/sim/SimFileIcons.h"
#include "platform/sim/SimHttp.h"
#include "platform/sim/SimImages.h"
#include "platform/sim/SimInputSources.h"
#include "platform/sim/SimKeyboard.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimLoginItems.h"
#include "platform/sim/SimMouse.h"
#include "platform/sim/SimPower.h"
#include "platform/sim/SimProcesses.h"
#include "platform/sim/SimServices.h"
#include "platform/sim/SimSystemTools.h"
#include "platform/sim/SimTextField.h"
#include "platform/sim/SimTypist.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWebAppTools.h"
#include "platform/sim/SimWebViews.h"
#include "platform/sim/SimWheelDirection.h"
#include "platform/sim/SimWindowLevels.h"
#include "platform/sim/VirtualClock.h"
#include "platform/sim/VirtualRunLoop.h"
#include "platform/sim/XkbLayoutCache.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// A whole desktop in memory: virtual time, a keyboard with real layouts, a
// focused text field, applications, defaults on disk in a private folder and
// every other service the product uses, each inspectable. Tests build a
// fresh world in one line.
class SimDesktop {
public:
  struct Options {
    bool accessibilityTrusted = true;
    // Decides the main bundle, as the running executable's path does.
    std::filesystem::path executablePath = "/Applications/Quillon.app/Contents/MacOS/Quillon";
    // Where defaults domains are kept; a private temporary folder if absent.
    std::optional<std::filesystem::path> defaultsRoot;
    std::vector<std::string> layouts = {"com.apple.keylayout.US", "com.apple.keylayout.Russian"};
  };

  SimDesktop();
  explicit SimDesktop(Options options);
  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  Platform& platform() { return platform_; }

  void advance(Duration duration) { runLoop_.advance(duration); }
  void runUntilIdle() { runLoop_.runUntilIdle(); }

  VirtualClock& clock() { return clock_; }
  VirtualRunLoop& runLoop() { return runLoop_; }
  SimLog& log() { return log_; }
  SimJournal& journal() { return journal_; }
  FileBundle& bundle() { return *bundle_; }
  TableLocalization& localization() { return localization_; }
  PlistDefaults& defaults() { return *defaults_; }
  const std::filesystem::path& defaultsRoot() const { return defaultsRoot_; }
  SimEventTaps& eventTaps() { return eventTaps_; }
  SimInputSources& inputSources() { return inputSources_; }
  SimAccessibility& accessibility() { return accessibility_; }
  SimProcesses& processes() { return processes_; }
  SimWorkspace& workspace() { return workspace_; }
  SimPermissions& permissions() { return permissions_; }
  SimPasteboard& pasteboard() { return pasteboard_; }
  SimApplication& application() { return application_; }
  SimKeyboard& keyboard() { return keyboard_; }
  SimMouse& mouse() { return mouse_; }
  SimTypist& typist() { return typist_; }
  // Makes an application with this bundle identifier frontmost, starting it
  // if it is not running; answers its process identifier.
  int bringToFront(std::string bundleIdentifier,
                   std::optional<std::string> bundlePath = std::nullopt,
                   std::optional<std::string> executablePath = std::nullopt);
  // The frontmost application's rearmost window takes the focus, a lone one
  // getting a sibling first. Each window keeps its own text, which the text
  // field shows while the window has the focus. False when the frontmost
  // application has no window.
  bool focusNextWindow();
  SimSound& sound() { return sound_; }
  SimScreens& screens() { return screens_; }
  // Rearranges the displays as a user does, without telling anyone yet:
  // windows that no display shows any more move onto the primary one, as
  // window servers do when a display goes away.
  void rearrangeScreens(std::vector<ScreenInfo> screens);
  SimApplications& applications() { return applications_; }
  SimWindowLevels& windowLevels() { return windowLevels_; }
  SimUserInterface& userInterface() { return userInterface_; }
  SimLoginItems& loginItems() { return loginItems_; }
  SimTextField& textField() { return textField_; }
  XkbLayoutCache& layouts() { return layouts_; }
  SimPower& power() { return power_; }
  SimDirectories& directories() { return directories_; }
  SimAudioRecorders& audioRecorders() { return audioRecorders_; }
  SimSystemTools& systemTools() { return *systemTools_; }
  SimFileEvents& fileEvents() { return fileEvents_; }
  SimFileIcons& fileIcons() { return fileIcons_; }
  PosixExtendedAttributes& extendedAttributes() { return extendedAttributes_; }
  SimHttp& http() { return http_; }
  SimAppleScript& appleScript() { return appleScript_; }
  SimAlerts& alerts() { return alerts_; }
  SimAppWindows& appWindows() { return appWindows_; }
  SimWebViews& webViews() { return webViews_; }
  SimDeviceAuthorization& deviceAuthorization() { return deviceAuthorization_; }
  SimWheelDirection& wheelDirection() { return wheelDirection_; }
  SimLiveServices& liveServices() { return liveServices_; }
  SimDictation& dictation() { return dictation_; }

private:
  std::unique_ptr<TemporaryDirectory> privateFolder_;
  std::filesystem::path defaultsRoot_;
  VirtualClock clock_;
  VirtualRunLoop runLoop_{clock_};
  SimLog log_;
  SimJournal journal_;
  std::unique_ptr<FileBundle> bundle_;
  TableLocalization localization_;
  std::unique_ptr<PlistDefaults> defaults_;
  SimWorkspace workspace_{journal_};
  SimScreens screens_;
  SimApplications applications_{runLoop_, screens_};
  SimWindowLevels windowLevels_{applications_};
  SimAccessibility accessibility_{journal_, workspace_, applications_};
  SimEventTaps eventTaps_{journal_, accessibility_};
  XkbLayoutCache layouts_;
  SimInputSources inputSources_{journal_, layouts_};
  SimProcesses processes_{journal_, runLoop_.backgroundQueue()};
  SimPermissions permissions_;
  SimPasteboard pasteboard_;
  SimApplication application_{journal_};
  SimKeyboard keyboard_{eventTaps_};
  SimMouse mouse_{eventTaps_, keyboard_};
  SimTypist typist_{keyboard_, runLoop_, clock_, layouts_};
  int nextProcessIdentifier_ = 600;
  SimTextField textField_{inputSources_, pasteboard_};
  SimSound sound_;
  SimUserInterface userInterface_{clock_, runLoop_, journal_};
  SimLoginItems loginItems_{journal_};
  SimPower power_{runLoop_};
  PmsetLidSleepPrevention lidSleepPrevention_{processes_, log_};
  SimDirectories directories_;
  SimImages images_;
  SimAudioRecorders audioRecorders_{runLoop_.backgroundQueue()};
  SimScreenCapture screenCapture_{processes_};
  SimFileEvents fileEvents_{runLoop_};
  PosixExtendedAttributes extendedAttributes_;
  SimFileIcons fileIcons_{extendedAttributes_, directories_, log_};
  std::unique_ptr<SimSystemTools> systemTools_;
  SimWebAppTools webAppTools_{processes_};
  SimWebAppPackaging webAppPackaging_{processes_, workspace_};
  SimHttp http_{log_};
  PixbufImageDecoder imageDecoder_;
  SimAppleScript appleScript_{journal_, {*directories_.home(), directories_.systemRoot()}};
  SimAlerts alerts_{journal_};
  SimAppWindows appWindows_{journal_};
  SimWebViews webViews_{runLoop_, runLoop_.backgroundQueue(), journal_};
  SimDeviceAuthorization deviceAuthorization_;
  SimWheelDirection wheelDirection_;
  // Applications, not windows, are what the product pastes into here.
  NoPasteTargets pasteTargets_;
  SimDictation dictation_{
      {*defaults_, accessibility_, workspace_, eventTaps_, processes_, clock_, log_}};
  SimLiveServices liveServices_;
  Platform platform_;
  // The text of each window but the focused one, whose text is the field's.
  std::map<std::uint64_t, std::string> windowTexts_;
  Observation windowOpened_;
};

} // namespace quillon
