// Runs the Desktop folder icons on this session's real services (inotify,
// GIO metadata) in a process of their own, so a test can give it a session
// bus, a home and a metadata store that are not the test runner's.
// Commands on standard input, one a line: "start", "stop", "quit". The
// feature's log goes to standard output.

#include "finder/DesktopFolderIcons.h"
#include "platform/linux/GioFolderIcons.h"
#include "platform/linux/InotifyFileEvents.h"
#include "platform/linux/LinuxMainQueue.h"
#include "platform/linux/MonotonicClock.h"
#include "platform/linux/StreamLog.h"
#include "platform/linux/ThreadBackgroundQueue.h"
#include "platform/shared/PlistDefaults.h"
#include "platform/shared/PosixExtendedAttributes.h"

#include <cstdlib>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <iostream>
#include <string>
#include <unistd.h>

namespace quillon {
namespace {

class HomeDesktop final : public Directories {
public:
  std::optional<std::filesystem::path> home() const override {
    return std::filesystem::path(std::getenv("HOME"));
  }
  std::optional<std::filesystem::path> documents() const override { return *home() / "Documents"; }
  std::optional<std::filesystem::path> desktop() const override { return *home() / "Desktop"; }
};

// Only the file icons are real; nothing else of a workspace is asked for.
class IconWorkspace final : public Workspace {
public:
  explicit IconWorkspace(GioFolderIcons& icons) : icons_(icons) {}
  std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
  bool activate(const RunningApplication&, ActivationOptions) override { return false; }
  bool openUrl(std::string_view) override { return false; }
  std::vector<RunningApplication> runningApplications() const override { return {}; }
  bool isTerminated(const RunningApplication&) const override { return true; }
  Observation observeLaunches(std::function<void(const RunningApplication&)>) override {
    return {};
  }
  Observation observeWake(std::function<void()>) override { return {}; }
  Observation observeActivations(std::function<void()>) override { return {}; }
  std::optional<Image> fileIcon(const std::filesystem::path& path) const override {
    return icons_.iconFor(path);
  }
  bool setFolderIcon(const std::filesystem::path& folder, const Image* image) override {
    return icons_.setFolderIcon(folder, image);
  }
  void noteFileSystemChanged(const std::filesystem::path& path) override { icons_.touch(path); }

private:
  GioFolderIcons& icons_;
};

struct Probe {
  DesktopFolderIcons& icons;
  GMainLoop* loop;
  std::string pending;
};

gboolean readCommands(gint fd, GIOCondition, gpointer data) {
  auto& probe = *static_cast<Probe*>(data);
  char buffer[256];
  const ssize_t length = ::read(fd, buffer, sizeof buffer);
  if (length <= 0) {
    g_main_loop_quit(probe.loop);
    return G_SOURCE_REMOVE;
  }
  probe.pending.append(buffer, static_cast<std::size_t>(length));
  for (auto end = probe.pending.find('\n'); end != std::string::npos;
       end = probe.pending.find('\n')) {
    const std::string command = probe.pending.substr(0, end);
    probe.pending.erase(0, end + 1);
    if (command == "start") {
      probe.icons.start();
    } else if (command == "stop") {
      probe.icons.stop();
    } else if (command == "quit") {
      g_main_loop_quit(probe.loop);
    }
  }
  return G_SOURCE_CONTINUE;
}

} // namespace
} // namespace quillon

int main() {
  using namespace quillon;
  StreamLog log(std::cout);
  LinuxMainQueue mainQueue;
  ThreadBackgroundQueue backgroundQueue;
  MonotonicClock clock;
  HomeDesktop directories;
  InotifyFileEvents fileEvents(log);
  GioFolderIcons gioIcons(GioFolderIcons::pictureFolderFromEnvironment(
                              [](const char* name) { return std::getenv(name); }),
                          log);
  IconWorkspace workspace(gioIcons);
  PosixExtendedAttributes fileSystemAttributes;
  FolderIconAttributes attributes(fileSystemAttributes);
  PlistDefaults defaults(*directories.home() / ".config" / "quillon", log);
  DesktopFolderIcons icons(DesktopFolderIcons::Dependencies{
      directories, fileEvents, workspace, attributes,
      DefaultsDomain(defaults, "com.quillon.Quillon"), mainQueue, backgroundQueue, clock, log});
  std::cout << "probe: metadata " << (GioFolderIcons::metadataWritable() ? "writable" : "absent")
            << std::endl;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  Probe probe{icons, loop, {}};
  g_unix_fd_add(0, G_IO_IN, readCommands, &probe);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  return 0;
}
