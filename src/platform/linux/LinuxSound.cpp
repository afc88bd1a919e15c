#include "platform/linux/LinuxSound.h"

#include <array>
#include <utility>

namespace quillon {

namespace {

// Each of the other system's alert sounds the product may name, as the
// freedesktop theme event closest to it in feel; on and off (Tink, Bottle)
// stay a pair.
constexpr std::array<std::pair<std::string_view, std::string_view>, 14> themeEvents{{
    {"Basso", "dialog-error"},
    {"Blow", "window-attention"},
    {"Bottle", "device-removed"},
    {"Frog", "window-question"},
    {"Funk", "dialog-warning"},
    {"Glass", "complete"},
    {"Hero", "complete"},
    {"Morse", "message"},
    {"Ping", "bell"},
    {"Pop", "message-new-instant"},
    {"Purr", "message"},
    {"Sosumi", "dialog-warning"},
    {"Submarine", "dialog-information"},
    {"Tink", "device-added"},
}};

} // namespace

std::optional<std::string_view> LinuxSound::themeEventFor(std::string_view name) {
  for (const auto& [sound, event] : themeEvents) {
    if (sound == name) {
      return event;
    }
  }
  return std::nullopt;
}

LinuxSound::LinuxSound(Log& log, std::optional<std::string> driver) : log_(log) {
  ca_context* context = nullptr;
  if (const int error = ca_context_create(&context); error != CA_SUCCESS) {
    unavailable_ = true;
    reportOnce(reportedUnavailable_, std::string("Quillon: sounds are off: ") + ca_strerror(error));
    return;
  }
  context_.reset(context);
  ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Quillon", CA_PROP_APPLICATION_ID,
                          "app.quillon", nullptr);
  if (driver) {
    ca_context_set_driver(context, driver->c_str());
  }
}

// Opened on the first sound rather than at launch, so a slow or absent sound
// server costs nothing until a sound is due.
bool LinuxSound::open() {
  if (opened_ || unavailable_) {
    return opened_;
  }
  if (const int error = ca_context_open(context_.get()); error != CA_SUCCESS) {
    unavailable_ = true;
    reportOnce(reportedUnavailable_,
               std::string("Quillon: sounds are off, no sound server: ") + ca_strerror(error));
    return false;
  }
  opened_ = true;
  return true;
}

void LinuxSound::play(std::string_view name) {
  const auto event = themeEventFor(name);
  if (!event) {
    reportOnce(reportedUnknownName_, "Quillon: no sound stands for \"" + std::string(name) + "\"");
    return;
  }
  if (!open()) {
    return;
  }
  const std::string eventId(*event);
  if (const int error = ca_context_play(context_.get(), 0, CA_PROP_EVENT_ID, eventId.c_str(),
                                        CA_PROP_EVENT_DESCRIPTION, eventId.c_str(), nullptr);
      error != CA_SUCCESS) {
    reportOnce(reportedUnavailable_,
               "Quillon: could not play sound " + std::string(name) + ": " + ca_strerror(error));
  }
}

void LinuxSound::reportOnce(bool& reported, const std::string& line) {
  if (!std::exchange(reported, true)) {
    log_.write(line);
  }
}

} // namespace quillon
