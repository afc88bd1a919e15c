#include "platform/linux/LinuxPlatform.h"

#include "platform/Application.h"
#include "platform/Directories.h"
#include "platform/LoginItems.h"
#include "platform/Pasteboard.h"
#include "platform/Screens.h"
#include "platform/Sound.h"
#include "platform/UserInterface.h"
#include "platform/linux/AtspiFileManagerItems.h"
#include "platform/linux/FfmpegAudioRecorders.h"
#include "platform/linux/FileManagerAccessibility.h"
#include "platform/linux/FinderUserInterface.h"
#include "platform/linux/GioFolderIcons.h"
#include "platform/linux/InotifyFileEvents.h"
#include "platform/linux/LinuxAlerts.h"
#include "platform/linux/LinuxApplication.h"
#include "platform/linux/LinuxEventTaps.h"
#include "platform/linux/LinuxInputSources.h"
#include "platform/linux/LinuxLoginItems.h"
#include "platform/linux/LinuxMainQueue.h"
#include "platform/linux/LinuxPasteboard.h"
#include "platform/linux/LinuxPermissions.h"
#include "platform/linux/LinuxPower.h"
#include "platform/linux/LinuxSound.h"
#include "platform/linux/LinuxUserInterface.h"
#include "platform/linux/LinuxWebAppPackaging.h"
#include "platform/linux/LinuxWheelDirection.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/LogindLidSleepPrevention.h"
#include "platform/linux/LogindSleepWatch.h"
#include "platform/linux/MonotonicClock.h"
#include "platform/linux/PixbufImages.h"
#include "platform/linux/PosixProcesses.h"
#include "platform/linux/PulseMicrophone.h"
#include "platform/linux/SessionWorkspace.h"
#include "platform/linux/SingleInstanceLock.h"
#include "platform/linux/StreamLog.h"
#include "platform/linux/ThreadBackgroundQueue.h"
#include "platform/linux/UnsupportedServices.h"
#include "platform/linux/WebEngineLoader.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11DisplayPower.h"
#include "platform/linux/X11PasteTargets.h"
#include "platform/linux/X11PointerMonitors.h"
#include "platform/linux/X11ScreenCapture.h"
#include "platform/linux/X11Screens.h"
#include "platform/linux/X11WindowAccess.h"
#include "platform/linux/X11WindowLevels.h"
#include "platform/linux/XdgBaseDirectories.h"
#include "platform/linux/XdgUserDirectories.h"
#include "platform/shared/CurlHttp.h"
#include "platform/shared/FileBundle.h"
#include "platform/shared/LocaleLanguages.h"
#include "platform/shared/PixbufImageDecoder.h"
#include "platform/shared/PlistDefaults.h"
#include "platform/shared/PosixExtendedAttributes.h"
#include "platform/shared/TableLocalization.h"

#include <X11/Xlib.h>
#include <cstdlib>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <string_view>

namespace quillon {

namespace {

class HomeDirectories final : public Directories {
public:
  std::optional<std::filesystem::path> home() const override {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      return std::nullopt;
    }
    return std::filesystem::path(home);
  }
  // The user's own Documents folder where xdg-user-dirs names one, so
  // captures land where a localized desktop shows "Documents".
  std::optional<std::filesystem::path> documents() const override {
    const auto base = home();
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const auto configured =
        base ? xdgUserDirectory(*base, configHome != nullptr ? configHome : "", "XDG_DOCUMENTS_DIR")
             : std::nullopt;
    return configured ? configured : under("Documents");
  }
  std::optional<std::filesystem::path> desktop() const override { return under("Desktop"); }

private:
  std::optional<std::filesystem::path> under(std::string_view name) const {
    const auto base = home();
    return base ? std::optional(*base / name) : std::nullopt;
  }
};

// Windows are found and moved through what the window manager publishes;
// without one there is nothing to ask, and the window keys stay the user's.
std::optional<std::string> whyNoWindowAccess(const X11WindowAccess& access) {
  if (access.windowManagerRunning()) {
    return std::nullopt;
  }
  return "no window manager publishing its windows (EWMH) is running";
}

constexpr const char* gdkOpenGlVariable = "GDK_GL";

// One file per X server: each has its own pointer mapping.
std::optional<std::filesystem::path> wheelStateFile(const LinuxPlatform::Options& options,
                                                    const X11Connection& connection) {
  if (!options.stateFolder) {
    return std::nullopt;
  }
  return *options.stateFolder / (displayFileStem(DisplayString(connection.display())) + ".wheels");
}

// Only a web app's own process opens the engine; the menu-bar process
// needs no more than to know that web apps will find it.
std::unique_ptr<LoadedWebEngine> openWebEngine(const LinuxPlatform::Options& options, Log& log,
                                               Application& application, std::string& error) {
  if (!options.webAppIdentifier) {
    return nullptr;
  }
  const auto folders = WebAppFolders::fromEnvironment();
  if (!folders || !isSafeWebAppIdentifier(*options.webAppIdentifier)) {
    error = "no folder of its own for the web app's data";
    return nullptr;
  }
  const WebEngineSettings settings{log, application,
                                   folders->websiteData(*options.webAppIdentifier),
                                   folders->websiteCache(*options.webAppIdentifier)};
  std::error_code ignored;
  std::filesystem::create_directories(settings.dataFolder, ignored);
  std::filesystem::create_directories(settings.cacheFolder, ignored);
  return LoadedWebEngine::open(settings, error);
}

std::optional<std::string> whyNoWebViews() {
  if (LoadedWebEngine::locate()) {
    return std::nullopt;
  }
  return "web apps need the web engine module, which is not installed";
}

} // namespace

struct LinuxPlatform::Services {
  Services(const Options& options, std::ostream& logStream,
           std::unique_ptr<X11Connection> openConnection, std::string& webEngineError)
      : log(logStream), connection(std::move(openConnection)),
        inputSources(*connection, log, options.desktopRelocksGroup),
        eventTaps(*connection, inputSources, mainQueue, clock, log, options.executable),
        wheelDirection(*connection, log, wheelStateFile(options, *connection)),
        workspace(*connection), sleepWatch(log),
        applicationIdentity(*connection, DesktopEntryIdentity::installed()),
        folderIcons(GioFolderIcons::pictureFolderFromEnvironment(
                        [](const char* name) { return std::getenv(name); }),
                    log),
        sessionWorkspace(workspace, sleepWatch, applicationIdentity, folderIcons),
        bundle(options.executable, log), defaults(options.configurationFolder, log),
        pasteboard(log), sound(log), userInterface(log),
        loginItems(XdgBaseDirectories::fromEnvironment().autostartDirectory(), options.executable),
        screens(*connection), accessibility(*connection, screens, log), power(log),
        displayPower(*connection, log), lidSleepPrevention(displayPower, log),
        microphone(processes), audioRecorders(microphone, backgroundQueue),
        screenCapture(mainQueue, microphone, log, DisplayString(connection->display())),
        windowLevels(*connection),
        application(log, LinuxApplication::Options{options.stallOnUserSignal}), fileEvents(log),
        http(log), appleScript(log), deviceAuthorization(log), appWindows(log), webViews(log),
        pasteTargets(*connection), dictation(log),
        webEngine(openWebEngine(options, log, application, webEngineError)),
        webAppPackaging(WebAppFolders::fromEnvironment(), log),
        liveServices(whyNoWindowAccess(accessibility), whyNoWebViews()),
        platform{clock,
                 mainQueue,
                 backgroundQueue,
                 log,
                 bundle,
                 localization,
                 defaults,
                 eventTaps,
                 inputSources,
                 fileManagerAccessibility,
                 processes,
                 sessionWorkspace,
                 permissions,
                 pasteboard,
                 application,
                 sound,
                 screens,
                 finderUserInterface,
                 loginItems,
                 power,
                 lidSleepPrevention,
                 directories,
                 images,
                 audioRecorders,
                 screenCapture,
                 windowLevels,
                 fileEvents,
                 extendedAttributes,
                 http,
                 imageDecoder,
                 appleScript,
                 alerts,
                 webEngine ? webEngine->engine().appWindows() : appWindows,
                 webEngine ? webEngine->engine().webViews() : webViews,
                 deviceAuthorization,
                 webAppPackaging,
                 wheelDirection,
                 pasteTargets,
                 dictation,
                 liveServices} {
    localization.setPreferredLanguages(
        preferredLanguagesFromEnvironment([](const char* name) { return std::getenv(name); }));
  }

  MonotonicClock clock;
  LinuxMainQueue mainQueue;
  ThreadBackgroundQueue backgroundQueue;
  StreamLog log;
  std::unique_ptr<X11Connection> connection;
  LinuxInputSources inputSources;
  LinuxEventTaps eventTaps;
  // Gives the user's wheels back before the connection closes.
  LinuxWheelDirection wheelDirection;
  LinuxWorkspace workspace;
  LogindSleepWatch sleepWatch;
  X11ApplicationIdentity applicationIdentity;
  GioFolderIcons folderIcons;
  SessionWorkspace sessionWorkspace;
  FileBundle bundle;
  TableLocalization localization;
  PlistDefaults defaults;
  PosixProcesses processes;
  LinuxPermissions permissions;
  LinuxPasteboard pasteboard;
  LinuxSound sound;
  LinuxUserInterface userInterface;
  LinuxLoginItems loginItems;
  X11Screens screens;
  HomeDirectories directories;
  X11WindowAccess accessibility;
  LinuxPower power;
  X11DisplayPower displayPower;
  LogindLidSleepPrevention lidSleepPrevention;
  PulseMicrophone microphone;
  FfmpegAudioRecorders audioRecorders;
  X11ScreenCapture screenCapture;
  X11WindowLevels windowLevels;
  PixbufImages images;
  LinuxApplication application;
  InotifyFileEvents fileEvents;
  PosixExtendedAttributes fileSystemAttributes;
  FolderIconAttributes extendedAttributes{fileSystemAttributes};
  CurlHttp http;
  PixbufImageDecoder imageDecoder;
  LinuxAlerts alerts;
  UnsupportedAppleScript appleScript;
  UnsupportedDeviceAuthorization deviceAuthorization;
  UnsupportedAppWindows appWindows;
  UnsupportedWebViews webViews;
  X11PasteTargets pasteTargets;
  UnsupportedDictation dictation;
  std::unique_ptr<LoadedWebEngine> webEngine;
  LinuxWebAppPackaging webAppPackaging;
  // Folder peek: file managers' items, the pointer, and the peek panel.
  AtspiFileManagerItems fileManagerItems{*connection, log};
  FileManagerAccessibility fileManagerAccessibility{accessibility, fileManagerItems};
  X11PointerMonitors pointerMonitors{*connection, eventTaps.doubleClickInterval(), log};
  FinderUserInterface finderUserInterface{userInterface, screens, pointerMonitors};
  LinuxLiveServices liveServices;
  Platform platform;
};

std::unique_ptr<LinuxPlatform> LinuxPlatform::open(const Options& options, std::ostream& logStream,
                                                   std::string& error) {
  // The tray, the HUD and the menus are GTK's, on the same display and main
  // loop as everything else. GTK comes first: its connection's loss would
  // end the process without a word, so the product's own handling, set up
  // by the connection opened next, must have the last say over both.
  // GTK would otherwise load OpenGL (a software renderer, tens of
  // megabytes, on most machines) only to pick visuals; nothing here draws
  // with it. A user's own choice in the environment stands.
  g_setenv(gdkOpenGlVariable, "disable", FALSE);
  // The desktop groups a web app's windows under its own launcher by this
  // class, which GTK reads only as it starts.
  if (options.webAppIdentifier) {
    g_set_prgname(options.webAppIdentifier->c_str());
  }
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    error = "cannot open the X display " + options.displayName;
    return nullptr;
  }
  // Starting, GTK puts a capitalised program name in its place: the
  // launcher names the class exactly.
  if (options.webAppIdentifier) {
    gdk_set_program_class(options.webAppIdentifier->c_str());
  }
  auto connection = X11Connection::open(options.displayName, error);
  if (!connection) {
    return nullptr;
  }
  connection->reportLossOf(gdk_x11_display_get_xdisplay(gdk_display_get_default()));
  std::string webEngineError;
  auto services =
      std::make_unique<Services>(options, logStream, std::move(connection), webEngineError);
  // A web app without its engine would run with no window at all.
  if (options.webAppIdentifier && !services->webEngine) {
    error = "cannot open the web engine: " + webEngineError;
    return nullptr;
  }
  Log& log = services->log;
  services->connection->setLostHandler(
      [&log] { log.write("Quillon: the X server went away; quitting"); });
  services->connection->attachToMainLoop();
  return std::unique_ptr<LinuxPlatform>(new LinuxPlatform(std::move(services)));
}

LinuxPlatform::LinuxPlatform(std::unique_ptr<Services> services) : services_(std::move(services)) {}

LinuxPlatform::~LinuxPlatform() = default;

Platform& LinuxPlatform::platform() {
  return services_->platform;
}

namespace {

std::filesystem::path configurationFolder() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && *configHome == '/') {
    return std::filesystem::path(configHome) / "quillon";
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr ? home : "/tmp") / ".config" / "quillon";
}

bool environmentNames(const char* variable, std::string_view wanted) {
  const char* value = std::getenv(variable);
  return value != nullptr && std::string_view(value).find(wanted) != std::string_view::npos;
}

} // namespace

LinuxPlatform::Options LinuxPlatform::optionsFromEnvironment(std::filesystem::path executable) {
  Options options;
  options.executable = std::move(executable);
  options.configurationFolder = configurationFolder();
  options.stateFolder = XdgBaseDirectories::fromEnvironment().quillonStateDirectory();
  // GNOME's window manager takes its own layout back after every lock.
  options.desktopRelocksGroup = environmentNames("XDG_CURRENT_DESKTOP", "GNOME");
  options.stallOnUserSignal = environmentNames("QUILLON_TEST_HOOKS", "stall");
  return options;
}

} // namespace quillon
