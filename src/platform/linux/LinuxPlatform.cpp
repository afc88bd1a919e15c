#include "platform/linux/LinuxPlatform.h"

#include "platform/Application.h"
#include "platform/Directories.h"
#include "platform/LoginItems.h"
#include "platform/Pasteboard.h"
#include "platform/Screens.h"
#include "platform/Sound.h"
#include "platform/UserInterface.h"
#include "platform/linux/AtspiFileManagerItems.h"
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
#include "platform/linux/LinuxSound.h"
#include "platform/linux/LinuxUserInterface.h"
#include "platform/linux/LinuxWheelDirection.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/LogindSleepWatch.h"
#include "platform/linux/MonotonicClock.h"
#include "platform/linux/PosixProcesses.h"
#include "platform/linux/SessionWorkspace.h"
#include "platform/linux/SingleInstanceLock.h"
#include "platform/linux/StreamLog.h"
#include "platform/linux/ThreadBackgroundQueue.h"
#include "platform/linux/UnsupportedServices.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11PointerMonitors.h"
#include "platform/linux/X11Screens.h"
#include "platform/linux/X11WindowAccess.h"
#include "platform/linux/X11WindowLevels.h"
#include "platform/linux/XdgBaseDirectories.h"
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
  std::optional<std::filesystem::path> documents() const override { return under("Documents"); }
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

} // namespace

struct LinuxPlatform::Services {
  Services(const Options& options, std::ostream& logStream,
           std::unique_ptr<X11Connection> openConnection)
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
        audioRecorders(log), windowLevels(*connection), images(log),
        application(log, LinuxApplication::Options{options.stallOnUserSignal}), fileEvents(log),
        http(log), appleScript(log), deviceAuthorization(log), appWindows(log), webViews(log),
        liveServices(whyNoWindowAccess(accessibility)), platform{clock,
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
                                                                 directories,
                                                                 images,
                                                                 audioRecorders,
                                                                 windowLevels,
                                                                 fileEvents,
                                                                 extendedAttributes,
                                                                 http,
                                                                 imageDecoder,
                                                                 appleScript,
                                                                 alerts,
                                                                 appWindows,
                                                                 webViews,
                                                                 deviceAuthorization,
                                                                 wheelDirection,
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
  UnsupportedPower power;
  UnsupportedAudioRecorders audioRecorders;
  X11WindowLevels windowLevels;
  UnsupportedImages images;
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
  // Folder peek: file managers' items, the pointer, and the peek panel.
  AtspiFileManagerItems fileManagerItems{connection->display(), log};
  FileManagerAccessibility fileManagerAccessibility{accessibility, fileManagerItems};
  X11PointerMonitors pointerMonitors{DisplayString(connection->display()),
                                     eventTaps.doubleClickInterval(), log};
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
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    error = "cannot open the X display " + options.displayName;
    return nullptr;
  }
  auto connection = X11Connection::open(options.displayName, error);
  if (!connection) {
    return nullptr;
  }
  connection->reportLossOf(gdk_x11_display_get_xdisplay(gdk_display_get_default()));
  auto services = std::make_unique<Services>(options, logStream, std::move(connection));
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
