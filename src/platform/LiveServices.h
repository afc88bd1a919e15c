// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace quillon {

// What the product asks of a desktop beyond the keyboard: each one is a
// service a backend either really offers or only stands in for.
enum class Capability {
  windowAccess,
  screenCapture,
  audioRecording,
  keepAwake,
  webViews,
  folderPeek,
  desktopFolderIcons,
  dictation,
  // The preference domains of the system's own programs (window manager,
  // screenshot location, keyboard shortcuts).
  systemSettings,
};
inline constexpr std::array<Capability, 9> AllCapabilities{
    Capability::windowAccess,       Capability::screenCapture, Capability::audioRecording,
    Capability::keepAwake,          Capability::webViews,      Capability::folderPeek,
    Capability::desktopFolderIcons, Capability::dictation,     Capability::systemSettings,
};

// Which capabilities this desktop really serves. A feature whose service is
// only a stand-in must not act at all: its keys belong to the desktop, and
// what it would write or run there means something else (or nothing).
class LiveServices {
public:
  virtual ~LiveServices() = default;
  // Absent when live; otherwise a short reason fit to show the user.
  virtual std::optional<std::string> whyNotLive(Capability capability) const = 0;
  bool isLive(Capability capability) const { return !whyNotLive(capability); }
};

} // namespace quillon
