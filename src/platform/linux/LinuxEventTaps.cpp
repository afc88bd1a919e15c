#include "platform/linux/LinuxEventTaps.h"

#include "platform/linux/X11Devices.h"
#include "platform/linux/X11PointerState.h"
#include "platform/xkb/KeyCodeTable.h"

#include <xkbcommon/xkbcommon.h>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace quillon {

namespace {

constexpr int kLeftButton = 1;
// GTK's default, which X clients of this desktop mostly use.
constexpr Duration kDoubleClickInterval{0.4};

std::vector<char32_t> codePoints(const std::u16string& text) {
  std::vector<char32_t> points;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char16_t unit = text[index];
    if (unit >= 0xD800 && unit < 0xDC00 && index + 1 < text.size() && text[index + 1] >= 0xDC00 &&
        text[index + 1] < 0xE000) {
      points.push_back(0x10000 + ((char32_t{unit} - 0xD800) << 10) +
                       (char32_t{text[index + 1]} - 0xDC00));
      ++index;
    } else {
      points.push_back(unit);
    }
  }
  return points;
}

// What the stop signal's handler may touch: a handler can reach nothing
// else, and sending on a socket is safe there.
std::atomic<int> stopRelaySocket{-1};
std::atomic<std::uint32_t> stopRelayEpoch{0};
std::atomic<bool> stopRelayEnabled{false};

// Ctrl+Z in the terminal that runs the product: the relay lets go of the
// keyboard before the product stops, and takes it back when it continues.
// Without this the relay would still pass keys on after its time-out, but
// only after a pause the user notices.
void onStopSignal(int) {
  const int savedErrno = errno;
  const int socket = stopRelaySocket.load();
  if (socket >= 0) {
    RelayMessage release;
    release.type = RelayMessageType::Disable;
    sendRelayMessage(socket, release, true);
  }
  kill(getpid(), SIGSTOP);
  if (socket >= 0 && stopRelayEnabled.load()) {
    RelayMessage take;
    take.type = RelayMessageType::Enable;
    take.epoch = stopRelayEpoch.load();
    sendRelayMessage(socket, take, true);
  }
  errno = savedErrno;
}

} // namespace

// Installs the stop signal's handler for as long as it lives.
class StopSignalHandler {
public:
  StopSignalHandler() {
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTSTP, &action, &previous_);
  }
  StopSignalHandler(const StopSignalHandler&) = delete;
  StopSignalHandler& operator=(const StopSignalHandler&) = delete;
  ~StopSignalHandler() {
    sigaction(SIGTSTP, &previous_, nullptr);
    stopRelaySocket = -1;
  }

  void update(int socket, std::uint32_t epoch, bool enabled) {
    stopRelayEpoch = epoch;
    stopRelayEnabled = enabled;
    stopRelaySocket = socket;
  }

private:
  struct sigaction previous_ = {};
};

class LinuxEventTaps::Port final : public EventTapPort {
public:
  Port(LinuxEventTaps& taps, std::shared_ptr<Tap> tap) : taps_(taps), tap_(std::move(tap)) {}
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;
  ~Port() override {
    tap_->enabled = false;
    taps_.updateRelay();
    taps_.tap_.reset();
  }

  void attachToMainLoop() override {
    tap_->attached = true;
    taps_.updateRelay();
  }
  void setEnabled(bool enabled) override {
    tap_->enabled = enabled;
    taps_.updateRelay();
  }
  bool isEnabled() const override { return tap_->enabled; }

private:
  LinuxEventTaps& taps_;
  std::shared_ptr<Tap> tap_;
};

LinuxEventTaps::LinuxEventTaps(X11Connection& connection, LinuxInputSources& sources,
                               MainQueue& mainQueue, Clock& clock, Log& log,
                               std::filesystem::path executable)
    : connection_(connection), sources_(sources), mainQueue_(mainQueue), clock_(clock), log_(log),
      executable_(std::move(executable)) {
  ownPointer_ = coreXTestPointer(connection_.display());
  auto raw = xinputMaskWith({XI_RawButtonPress});
  XIEventMask mask{XIAllMasterDevices, static_cast<int>(raw.size()), raw.data()};
  XISelectEvents(connection_.display(), connection_.root(), &mask, 1);
  connection_.flush();
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
}

LinuxEventTaps::~LinuxEventTaps() {
  stopSignal_.reset();
  // The relay lets go of every key it holds once its socket closes.
  relay_.reset();
}

std::unique_ptr<EventTapPort> LinuxEventTaps::createTap(const TapRequest& request,
                                                        TapCallback callback) {
  if (tap_) {
    log_.write("Quillon: only one event tap at a time on this desktop");
    return nullptr;
  }
  if (!relay_ && !startRelay()) {
    return nullptr;
  }
  tap_ = std::make_shared<Tap>(Tap{request, std::move(callback)});
  return std::make_unique<Port>(*this, tap_);
}

bool LinuxEventTaps::startRelay() {
  std::string error;
  relay_ = KeyRelayProcess::start(
      executable_, [this](const std::vector<RelayMessage>& messages) { onRelayMessages(messages); },
      [this] { mainQueue_.async(lifetime_.guard([this] { onRelayEnded(); })); }, error);
  if (!relay_) {
    log_.write("Quillon: " + error);
    return false;
  }
  epoch_ = 0;
  if (!stopSignal_) {
    stopSignal_ = std::make_unique<StopSignalHandler>();
  }
  return true;
}

// The relay holds the keyboards exactly while a tap is attached and enabled.
void LinuxEventTaps::updateRelay() {
  const bool wanted = tap_ && tap_->attached && tap_->enabled;
  if (stopSignal_ && relay_) {
    stopSignal_->update(relay_->socket(), epoch_, wanted);
  }
  RelayMessage message;
  message.type = wanted ? RelayMessageType::Enable : RelayMessageType::Disable;
  message.epoch = epoch_;
  send(message);
}

void LinuxEventTaps::send(RelayMessage message) {
  if (relay_) {
    relay_->send(message);
  }
}

void LinuxEventTaps::sendKey(RelayMessageType type, std::uint32_t keycode, EventFlags modifiers) {
  RelayMessage message;
  message.type = type;
  message.epoch = epoch_;
  message.keycode = keycode;
  message.modifiers = modifiers;
  send(message);
}

// Messages that came in one read are looked at together: keys from before a
// time-out the relay already sent on unjudged, so the logic never sees them.
void LinuxEventTaps::onRelayMessages(const std::vector<RelayMessage>& messages) {
  std::uint32_t latestEpoch = epoch_;
  for (const RelayMessage& message : messages) {
    if (message.type == RelayMessageType::TimedOut) {
      latestEpoch = std::max(latestEpoch, message.epoch);
    }
  }
  for (const RelayMessage& message : messages) {
    switch (message.type) {
    case RelayMessageType::TimedOut:
      if (message.epoch == latestEpoch && message.epoch != epoch_) {
        onTimedOut(message.epoch);
      }
      break;
    case RelayMessageType::KeyDown:
      if (message.epoch == latestEpoch) {
        onKeyDown(message);
      }
      break;
    case RelayMessageType::ModifierChanged:
      if (message.epoch == latestEpoch) {
        onModifierChanged(message);
      }
      break;
    default:
      break;
    }
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

void LinuxEventTaps::onKeyDown(const RelayMessage& message) {
  RelayMessage verdict;
  verdict.type = RelayMessageType::Verdict;
  verdict.epoch = message.epoch;
  verdict.sequence = message.sequence;
  verdict.keycode = message.keycode;
  verdict.modifiers = message.modifiers & flag::GestureModifiers;
  if (const auto keyCode = virtualKeyCodeFor(message.keycode)) {
    Event event(EventType::KeyDown, message.modifiers);
    event.setIntegerField(EventField::KeyboardKeycode, *keyCode);
    if (dispatch(event).value_or(TapVerdict::Deliver) == TapVerdict::Swallow) {
      verdict.flag = 1;
    } else {
      verdict.keycode = xkbKeycodeFor(event.keyCode()).value_or(message.keycode);
      verdict.modifiers = event.flags() & flag::GestureModifiers;
    }
  }
  // The tap may have been told of a time-out meanwhile; the relay drops
  // answers of an older epoch by itself.
  send(verdict);
}

void LinuxEventTaps::onModifierChanged(const RelayMessage& message) {
  Event event(EventType::FlagsChanged, message.modifiers);
  if (const auto keyCode = virtualKeyCodeFor(message.keycode)) {
    event.setIntegerField(EventField::KeyboardKeycode, *keyCode);
  }
  dispatch(event);
}

void LinuxEventTaps::onTimedOut(std::uint32_t epoch) {
  epoch_ = epoch;
  if (stopSignal_ && relay_) {
    stopSignal_->update(relay_->socket(), epoch_, tap_ && tap_->attached && tap_->enabled);
  }
  if (!tap_ || !tap_->enabled) {
    return;
  }
  log_.write("Quillon: the main loop did not answer within 0.5 s; keys went on unchanged");
  tap_->enabled = false;
  Event notice(EventType::TapDisabledByTimeout);
  // The callback may re-enable the tap, which asks the relay again.
  const std::shared_ptr<Tap> tap = tap_;
  tap->callback(notice);
}

// A relay that died (killed, say) may have left keys down on the core XTest
// keyboard; they are let go of here, and a new relay takes the keyboards.
void LinuxEventTaps::onRelayEnded() {
  relay_.reset();
  releaseCoreKeysOfDeadRelay();
  const TimePoint now = clock_.now();
  std::erase_if(relayDeaths_, [now](TimePoint death) { return now - death > relayRestartWindow; });
  relayDeaths_.push_back(now);
  if (static_cast<int>(relayDeaths_.size()) > relayRestartLimit) {
    log_.write("Quillon: the keyboard relay keeps ending; keys now reach applications without "
               "Quillon");
    if (stopSignal_) {
      stopSignal_->update(-1, 0, false);
    }
    return;
  }
  log_.write("Quillon: the keyboard relay ended; starting it again");
  if (startRelay()) {
    updateRelay();
  }
}

void LinuxEventTaps::releaseCoreKeysOfDeadRelay() {
  // The relay that starts next does the same; doing it here as well frees
  // the keys even if none can start.
  releaseCoreXTestKeys(connection_.display());
}

void LinuxEventTaps::onEvent(XEvent& event) {
  if (event.type != GenericEvent || event.xcookie.extension != connection_.xinputOpcode() ||
      event.xcookie.data == nullptr || event.xcookie.evtype != XI_RawButtonPress) {
    return;
  }
  const auto& button = *static_cast<const XIRawEvent*>(event.xcookie.data);
  if (button.detail == kLeftButton) {
    onLeftButton(button.sourceid);
  }
}

void LinuxEventTaps::onLeftButton(int sourceDevice) {
  Event click(EventType::LeftMouseDown, 0);
  click.setLocation(pointerLocation());
  if (sourceDevice == ownPointer_) {
    click.setIntegerField(EventField::SourceUserData, SyntheticEventMarker);
  }
  // Observed, not held: the press has reached its window already.
  dispatch(click);
}

void LinuxEventTaps::type(const std::u16string& text) {
  for (const char32_t character : codePoints(text)) {
    if (const auto stroke = sources_.strokeFor(character)) {
      sendKey(RelayMessageType::PressWithModifiers, stroke->keycode,
              stroke->shift ? flag::Shift : 0);
      sendKey(RelayMessageType::Release, stroke->keycode);
      continue;
    }
    RelayMessage message;
    message.type = RelayMessageType::TypeSymbol;
    message.epoch = epoch_;
    message.symbol = xkb_utf32_to_keysym(character);
    send(message);
  }
}

void LinuxEventTaps::post(const Event& event, TapLocation) {
  const bool down = event.type() == EventType::KeyDown;
  if (!down && event.type() != EventType::KeyUp) {
    return;
  }
  if (!event.unicodeString().empty()) {
    // The whole character goes out on the key-down.
    if (down) {
      type(event.unicodeString());
    }
    return;
  }
  const auto key = xkbKeycodeFor(event.keyCode());
  if (!key) {
    return;
  }
  if (!down) {
    sendKey(RelayMessageType::Release, *key);
  } else if (event.hasExplicitFlags()) {
    sendKey(RelayMessageType::PressWithModifiers, *key, event.flags() & flag::GestureModifiers);
  } else {
    sendKey(RelayMessageType::Press, *key);
  }
}

std::optional<EventSource> LinuxEventTaps::createSource(EventSourceState) {
  return EventSource();
}

Duration LinuxEventTaps::doubleClickInterval() const {
  return kDoubleClickInterval;
}

Point LinuxEventTaps::pointerLocation() const {
  const auto pointer = X11PointerState::query(connection_.display(), connection_.root());
  if (!pointer) {
    return {};
  }
  // The product counts from the bottom-left, y upwards.
  return Point{static_cast<double>(pointer->rootX),
               static_cast<double>(connection_.screenHeight() - pointer->rootY)};
}

EventFlags LinuxEventTaps::modifierFlags() const {
  const auto pointer = X11PointerState::query(connection_.display(), connection_.root());
  return pointer ? pointer->modifiers : 0;
}

} // namespace quillon
