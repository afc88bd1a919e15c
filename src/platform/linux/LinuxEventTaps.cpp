#include "platform/linux/LinuxEventTaps.h"

#include "platform/xkb/KeyCodeTable.h"

#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <cstring>
#include <string_view>

namespace quillon {

namespace {

constexpr int kLeftButton = 1;
// GTK's default, which X clients of this desktop mostly use.
constexpr Duration kDoubleClickInterval{0.4};

std::vector<unsigned char> maskWith(std::initializer_list<int> events) {
  std::vector<unsigned char> mask(XIMaskLen(XI_LASTEVENT), 0);
  for (const int event : events) {
    // XISetMask, spelled out without its narrowing.
    auto& byte = mask[static_cast<std::size_t>(event >> 3)];
    byte = static_cast<unsigned char>(byte | (1u << (event & 7)));
  }
  return mask;
}

bool isXTestDevice(const XIDeviceInfo& device) {
  return std::string_view(device.name).find("XTEST") != std::string_view::npos;
}

} // namespace

class LinuxEventTaps::Port final : public EventTapPort {
public:
  Port(LinuxEventTaps& taps, std::shared_ptr<Tap> tap) : taps_(taps), tap_(std::move(tap)) {}
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;
  ~Port() override { taps_.stopTap(); }

  void attachToMainLoop() override {
    tap_->attached = true;
    taps_.startTap(*tap_);
  }
  void setEnabled(bool enabled) override {
    tap_->enabled = enabled;
    if (enabled) {
      taps_.startTap(*tap_);
    } else {
      taps_.releaseGrabs();
      taps_.watchdog_->disarm();
    }
  }
  bool isEnabled() const override { return tap_->enabled; }

private:
  LinuxEventTaps& taps_;
  std::shared_ptr<Tap> tap_;
};

LinuxEventTaps::LinuxEventTaps(X11Connection& connection, XTestKeyboard& keyboard,
                               MainQueue& mainQueue, Log& log)
    : connection_(connection), keyboard_(keyboard), mainQueue_(mainQueue), log_(log) {
  findOwnDevices();
  XIEventMask masks[2];
  auto hierarchy = maskWith({XI_HierarchyChanged});
  auto raw = maskWith({XI_RawButtonPress});
  masks[0] = {XIAllDevices, static_cast<int>(hierarchy.size()), hierarchy.data()};
  masks[1] = {XIAllMasterDevices, static_cast<int>(raw.size()), raw.data()};
  XISelectEvents(connection_.display(), connection_.root(), masks, 2);
  connection_.flush();
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
  watchdog_ = std::make_unique<TapWatchdog>(mainQueue_, stallLimit, [this] { onStall(); });
}

LinuxEventTaps::~LinuxEventTaps() {
  watchdog_.reset();
  releaseGrabs();
}

// The core XTest devices are the ones this connection's requests come
// through: the pair attached to the client pointer's master.
void LinuxEventTaps::findOwnDevices() {
  int clientPointer = 0;
  XIGetClientPointer(connection_.display(), None, &clientPointer);
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(connection_.display(), XIAllDevices, &count);
  int masterKeyboard = -1;
  for (int index = 0; index < count; ++index) {
    if (devices[index].deviceid == clientPointer) {
      masterKeyboard = devices[index].attachment;
    }
  }
  for (int index = 0; index < count; ++index) {
    const XIDeviceInfo& device = devices[index];
    if (!isXTestDevice(device)) {
      continue;
    }
    if (device.use == XISlaveKeyboard && device.attachment == masterKeyboard) {
      ownKeyboard_ = device.deviceid;
    } else if (device.use == XISlavePointer && device.attachment == clientPointer) {
      ownPointer_ = device.deviceid;
    }
  }
  XIFreeDeviceInfo(devices);
}

std::unique_ptr<EventTapPort> LinuxEventTaps::createTap(const TapRequest& request,
                                                        TapCallback callback) {
  if (tap_) {
    log_.write("Quillon: only one event tap at a time on this desktop");
    return nullptr;
  }
  tap_ = std::make_shared<Tap>(Tap{request, std::move(callback)});
  return std::make_unique<Port>(*this, tap_);
}

void LinuxEventTaps::startTap(Tap& tap) {
  if (!tap.attached || !tap.enabled) {
    return;
  }
  grabKeyboards();
  watchdog_->arm();
}

void LinuxEventTaps::stopTap() {
  watchdog_->disarm();
  releaseGrabs();
  tap_.reset();
}

bool LinuxEventTaps::isGrabbed(int device) const {
  const std::lock_guard lock(grabMutex_);
  return grabbed_.contains(device);
}

std::set<int> LinuxEventTaps::grabbedDevices() const {
  const std::lock_guard lock(grabMutex_);
  return grabbed_;
}

void LinuxEventTaps::grabKeyboards() {
  Display* display = connection_.display();
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
  std::set<int> present;
  auto keys = maskWith({XI_KeyPress, XI_KeyRelease});
  XIEventMask mask{XIAllDevices, static_cast<int>(keys.size()), keys.data()};
  for (int index = 0; index < count; ++index) {
    const XIDeviceInfo& device = devices[index];
    present.insert(device.deviceid);
    // A floating keyboard reaches no client, except the ones this tap floated.
    if (device.use != XISlaveKeyboard || device.deviceid == ownKeyboard_ ||
        isGrabbed(device.deviceid)) {
      continue;
    }
    mask.deviceid = device.deviceid;
    if (XIGrabDevice(display, device.deviceid, connection_.root(), CurrentTime, None,
                     XIGrabModeAsync, XIGrabModeAsync, False, &mask) == Success) {
      const std::lock_guard lock(grabMutex_);
      grabbed_.insert(device.deviceid);
    }
  }
  XIFreeDeviceInfo(devices);
  std::vector<int> vanished;
  {
    const std::lock_guard lock(grabMutex_);
    for (const int device : grabbed_) {
      if (!present.contains(device)) {
        vanished.push_back(device);
      }
    }
    for (const int device : vanished) {
      grabbed_.erase(device);
    }
  }
  for (const int device : vanished) {
    releaseKeysOf(device);
  }
  connection_.flush();
}

void LinuxEventTaps::releaseGrabs() {
  std::set<int> grabbed;
  {
    const std::lock_guard lock(grabMutex_);
    grabbed.swap(grabbed_);
  }
  for (const int device : grabbed) {
    XIUngrabDevice(connection_.display(), device, CurrentTime);
  }
  connection_.flush();
}

// On the watchdog's thread, while the main thread is stuck: only the grabs
// and the keys held through XTest are touched, both under their own locks.
void LinuxEventTaps::onStall() {
  releaseGrabs();
  keyboard_.releaseAll();
  mainQueue_.async(lifetime_.guard([this] { reportStall(); }));
}

void LinuxEventTaps::reportStall() {
  heldBySource_.clear();
  swallowed_.clear();
  deliveredAs_.clear();
  if (!tap_ || !tap_->enabled) {
    return;
  }
  log_.write("Quillon: the main loop stalled for 2 s; every keyboard grab was released");
  tap_->enabled = false;
  Event notice(EventType::TapDisabledByTimeout);
  // The callback may re-enable the tap, which grabs again.
  const std::shared_ptr<Tap> tap = tap_;
  tap->callback(notice);
}

void LinuxEventTaps::onEvent(XEvent& event) {
  if (event.type != GenericEvent || event.xcookie.extension != connection_.xinputOpcode() ||
      event.xcookie.data == nullptr) {
    return;
  }
  switch (event.xcookie.evtype) {
  case XI_KeyPress:
  case XI_KeyRelease: {
    const auto& key = *static_cast<const XIDeviceEvent*>(event.xcookie.data);
    onKey(key.deviceid, static_cast<std::uint32_t>(key.detail), event.xcookie.evtype == XI_KeyPress,
          (key.flags & XIKeyRepeat) != 0);
    return;
  }
  case XI_RawButtonPress: {
    const auto& button = *static_cast<const XIRawEvent*>(event.xcookie.data);
    if (button.detail == kLeftButton) {
      onLeftButton(button.sourceid);
    }
    return;
  }
  case XI_HierarchyChanged: {
    const auto& hierarchy = *static_cast<const XIHierarchyEvent*>(event.xcookie.data);
    std::vector<int> removed;
    for (int index = 0; index < hierarchy.num_info; ++index) {
      if ((hierarchy.info[index].flags & (XISlaveRemoved | XIDeviceDisabled)) != 0) {
        removed.push_back(hierarchy.info[index].deviceid);
      }
    }
    onDevicesRemoved(removed);
    return;
  }
  default:
    return;
  }
}

std::optional<TapVerdict> LinuxEventTaps::dispatch(Event& event) {
  if (!tap_ || !tap_->enabled || !tap_->attached ||
      (tap_->request.eventMask & eventMaskBit(event.type())) == 0) {
    return std::nullopt;
  }
  // Held, so a callback that removes the tap does not pull it from under us.
  const std::shared_ptr<Tap> tap = tap_;
  return tap->callback(event);
}

void LinuxEventTaps::onKey(int device, std::uint32_t key, bool down, bool repeat) {
  if (!tap_ || !tap_->enabled) {
    // Queued before the grabs were released: the keys the user typed still
    // arrive, as whole presses, so none is left down.
    if (down && XTestKeyboard::modifierFlagOf(key) == 0) {
      keyboard_.press(key);
      keyboard_.release(key);
    }
    return;
  }
  if (XTestKeyboard::modifierFlagOf(key) != 0) {
    if (!repeat) {
      onModifierKey(device, key, down);
    }
    return;
  }
  if (down) {
    onOrdinaryKeyDown(device, key);
  } else {
    onOrdinaryKeyUp(device, key);
  }
}

void LinuxEventTaps::reinject(int device, std::uint32_t key, bool down) {
  if (down) {
    heldBySource_[device].insert(key);
    keyboard_.press(key);
  } else {
    heldBySource_[device].erase(key);
    keyboard_.release(key);
  }
}

// Always sent on, whatever the tap answers: the clients' modifier state
// must stay the user's.
void LinuxEventTaps::onModifierKey(int device, std::uint32_t key, bool down) {
  reinject(device, key, down);
  Event event(EventType::FlagsChanged, keyboard_.heldModifiers());
  if (const auto keyCode = virtualKeyCodeFor(key)) {
    event.setIntegerField(EventField::KeyboardKeycode, *keyCode);
  }
  dispatch(event);
}

void LinuxEventTaps::onOrdinaryKeyDown(int device, std::uint32_t key) {
  const auto keyCode = virtualKeyCodeFor(key);
  if (!keyCode) {
    reinject(device, key, true);
    return;
  }
  const EventFlags held = keyboard_.heldModifiers();
  Event event(EventType::KeyDown, held);
  event.setIntegerField(EventField::KeyboardKeycode, *keyCode);
  const TapVerdict verdict = dispatch(event).value_or(TapVerdict::Deliver);
  if (verdict == TapVerdict::Swallow) {
    swallowed_.insert(key);
    return;
  }
  const std::uint32_t delivered = xkbKeycodeFor(event.keyCode()).value_or(key);
  if (delivered != key) {
    deliveredAs_[key] = delivered;
  }
  const EventFlags wanted = event.flags() & flag::GestureModifiers;
  if (wanted == (held & flag::GestureModifiers)) {
    reinject(device, delivered, true);
    return;
  }
  heldBySource_[device].insert(delivered);
  keyboard_.pressWithModifiers(delivered, wanted);
}

void LinuxEventTaps::onOrdinaryKeyUp(int device, std::uint32_t key) {
  if (swallowed_.erase(key) > 0) {
    return;
  }
  std::uint32_t delivered = key;
  if (const auto found = deliveredAs_.find(key); found != deliveredAs_.end()) {
    delivered = found->second;
    deliveredAs_.erase(found);
  }
  reinject(device, delivered, false);
}

void LinuxEventTaps::onLeftButton(int sourceDevice) {
  Event click(EventType::LeftMouseDown, keyboard_.heldModifiers());
  click.setLocation(pointerLocation());
  if (sourceDevice == ownPointer_) {
    click.setIntegerField(EventField::SourceUserData, SyntheticEventMarker);
  }
  // Observed, not held: the press has reached its window already.
  dispatch(click);
}

void LinuxEventTaps::onDevicesRemoved(const std::vector<int>& devices) {
  for (const int device : devices) {
    {
      const std::lock_guard lock(grabMutex_);
      grabbed_.erase(device);
    }
    releaseKeysOf(device);
  }
  if (tap_ && tap_->enabled && tap_->attached) {
    grabKeyboards();
  }
}

void LinuxEventTaps::releaseKeysOf(int device) {
  const auto found = heldBySource_.find(device);
  if (found == heldBySource_.end()) {
    return;
  }
  for (const std::uint32_t key : found->second) {
    keyboard_.release(key);
  }
  heldBySource_.erase(found);
}

void LinuxEventTaps::post(const Event& event, TapLocation) {
  const bool down = event.type() == EventType::KeyDown;
  if (!down && event.type() != EventType::KeyUp) {
    return;
  }
  if (!event.unicodeString().empty()) {
    // The whole character goes out on the key-down.
    if (down) {
      keyboard_.type(event.unicodeString());
    }
    return;
  }
  const auto key = xkbKeycodeFor(event.keyCode());
  if (!key) {
    return;
  }
  if (!down) {
    keyboard_.release(*key);
  } else if (event.hasExplicitFlags()) {
    keyboard_.pressWithModifiers(*key, event.flags() & flag::GestureModifiers);
  } else {
    keyboard_.press(*key);
  }
}

std::optional<EventSource> LinuxEventTaps::createSource(EventSourceState) {
  return EventSource();
}

Duration LinuxEventTaps::doubleClickInterval() const {
  return kDoubleClickInterval;
}

Point LinuxEventTaps::pointerLocation() const {
  Window rootReturn = None;
  Window child = None;
  int rootX = 0;
  int rootY = 0;
  int windowX = 0;
  int windowY = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(connection_.display(), connection_.root(), &rootReturn, &child, &rootX, &rootY,
                     &windowX, &windowY, &mask)) {
    return {};
  }
  // The product counts from the bottom-left, y upwards.
  return Point{static_cast<double>(rootX), static_cast<double>(connection_.screenHeight() - rootY)};
}

} // namespace quillon
