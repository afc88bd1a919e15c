#include "input/OneCDoubleClick.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>

namespace quillon {

namespace {

constexpr std::array<std::string_view, 2> oneCBundleIDs{"com.1c.v8.apps.1cv8",
                                                        "com.1c.v8.apps.1cv8c"};
constexpr std::array<std::string_view, 4> oneCBundleNamePrefixes{"1cv8.", "1cv8-", "1cv8c.",
                                                                 "1cv8c-"};
constexpr std::array<std::string_view, 2> oneCExecutableNames{"1cv8", "1cv8c"};

std::string lowercasedFileName(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char character) {
    return static_cast<char>(std::tolower(character));
  });
  return name;
}

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& values, std::string_view value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

} // namespace

bool OneCDoubleClick::isFrontmostOneC() const {
  const auto application = workspace_.frontmostApplication();
  if (!application) {
    return false;
  }
  if (application->bundleIdentifier && contains(oneCBundleIDs, *application->bundleIdentifier)) {
    return true;
  }
  if (application->bundlePath) {
    const std::string name = lowercasedFileName(*application->bundlePath);
    for (const std::string_view prefix : oneCBundleNamePrefixes) {
      if (name.starts_with(prefix)) {
        return true;
      }
    }
  }
  if (application->executablePath) {
    return contains(oneCExecutableNames, lowercasedFileName(*application->executablePath));
  }
  return false;
}

void OneCDoubleClick::leftMouseDown(const Event& event) {
  if (!isFrontmostOneC()) {
    return;
  }
  const TimePoint now = clock_.now();
  const Point position = event.location();
  const bool isDoubleClick =
      lastLeftMouseDownAt_ &&
      Duration(now - *lastLeftMouseDownAt_) <= eventTaps_.doubleClickInterval() &&
      std::hypot(position.x - lastLeftMouseDownPos_.x, position.y - lastLeftMouseDownPos_.y) <=
          driftLimit;
  if (!isDoubleClick) {
    lastLeftMouseDownAt_ = now;
    lastLeftMouseDownPos_ = position;
    return;
  }
  log_.write("Quillon: 1С double-click detected → sending Ctrl+Enter");
  sound_.play("Pop");
  mainQueue_.asyncAfter(firstKeyDelay, lifetime_.guard([this] {
    sendOneCDoubleClickKey();
    mainQueue_.asyncAfter(secondKeyDelay, lifetime_.guard([this] { sendOneCDoubleClickKey(); }));
  }));
  // A third click must not pair with the second.
  lastLeftMouseDownAt_.reset();
}

void OneCDoubleClick::sendOneCDoubleClickKey() {
  if (!sourceRequested_) {
    sourceRequested_ = true;
    source_ = eventTaps_.createSource(EventSourceState::CombinedSession);
  }
  if (!source_) {
    return;
  }
  for (const bool keyDown : {true, false}) {
    Event event = makeKeyboardEvent(&*source_, keycode::Return, keyDown);
    event.setFlags(flag::Control);
    event.setIntegerField(EventField::SourceUserData, SyntheticEventMarker);
    eventTaps_.post(event, TapLocation::Hid);
  }
}

} // namespace quillon
