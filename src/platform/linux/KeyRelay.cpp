#include "platform/linux/KeyRelay.h"

#include "platform/linux/LinuxMainQueue.h"
#include "platform/linux/MonotonicClock.h"
#include "platform/linux/X11Devices.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <csignal>
#include <glib-unix.h>
#include <glib.h>
#include <iostream>
#include <vector>

namespace quillon {

namespace {

// How often a keyboard the user still holds a key on is looked at again
// before it is taken: grabbing it then would leave that key down for good.
constexpr Duration kGrabRetryInterval{0.05};
constexpr Duration kTimedOutRetryInterval{0.1};

} // namespace

KeyRelay::KeyRelay(X11Connection& connection, XTestKeyboard& keyboard, MainQueue& mainQueue,
                   Clock& clock, std::function<bool(const RelayMessage&)> send)
    : connection_(connection), keyboard_(keyboard), mainQueue_(mainQueue), clock_(clock),
      send_(std::move(send)), keyStates_(connection.display()) {
  ownKeyboard_ = coreXTestKeyboard(connection_.display());
  auto hierarchy = xinputMaskWith({XI_HierarchyChanged});
  XIEventMask mask{XIAllDevices, static_cast<int>(hierarchy.size()), hierarchy.data()};
  XISelectEvents(connection_.display(), connection_.root(), &mask, 1);
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
  releaseStuckCoreKeys();
}

KeyRelay::~KeyRelay() {
  keyboard_.releaseAll();
  ungrabAll();
}

// A relay killed outright leaves the keys it had pressed down on the core
// XTest keyboard, where no user can release them; the next one lets them go
// before taking anything.
void KeyRelay::releaseStuckCoreKeys() {
  releaseCoreXTestKeys(connection_.display());
}

void KeyRelay::receive(const RelayMessage& message) {
  switch (message.type) {
  case RelayMessageType::Verdict:
    onVerdict(message);
    return;
  case RelayMessageType::Press:
  case RelayMessageType::Release:
  case RelayMessageType::PressWithModifiers:
  case RelayMessageType::TypeSymbol:
    onPost(message);
    return;
  case RelayMessageType::Enable:
    // An enable sent before the product heard of a time-out is stale: the
    // product re-enables once it has heard.
    if (message.epoch == epoch_) {
      setMode(Mode::Asking);
    }
    return;
  case RelayMessageType::Disable:
    if (mode_ != Mode::Idle) {
      setMode(Mode::Releasing);
    }
    return;
  default:
    return;
  }
}

void KeyRelay::setMode(Mode mode) {
  mode_ = mode;
  if (mode_ == Mode::Asking || mode_ == Mode::Bypass) {
    grabIdleKeyboards();
  } else if (mode_ == Mode::Releasing) {
    grabRetry_.cancel();
    finishReleasingWhenIdle();
  }
}

void KeyRelay::finishReleasingWhenIdle() {
  if (mode_ != Mode::Releasing || userHoldsKeys() || !queue_.empty()) {
    return;
  }
  keyboard_.releaseAll();
  ungrabAll();
  mode_ = Mode::Idle;
}

void KeyRelay::onEvent(XEvent& event) {
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
  case XI_HierarchyChanged: {
    const auto& hierarchy = *static_cast<const XIHierarchyEvent*>(event.xcookie.data);
    bool added = false;
    for (int index = 0; index < hierarchy.num_info; ++index) {
      const XIHierarchyInfo& info = hierarchy.info[index];
      if ((info.flags & (XISlaveRemoved | XIDeviceDisabled)) != 0) {
        forgetDevice(info.deviceid);
      }
      added = added || (info.flags & (XISlaveAdded | XIDeviceEnabled | XISlaveAttached)) != 0;
    }
    if (added && (mode_ == Mode::Asking || mode_ == Mode::Bypass)) {
      grabIdleKeyboards();
    }
    return;
  }
  default:
    return;
  }
}

EventFlags KeyRelay::userModifiers() const {
  EventFlags flags = 0;
  for (const auto& [device, keys] : userKeys_) {
    for (const std::uint32_t keycode : keys) {
      flags |= XTestKeyboard::modifierFlagOf(keycode);
    }
  }
  return flags;
}

bool KeyRelay::userHoldsKeys() const {
  return std::any_of(userKeys_.begin(), userKeys_.end(),
                     [](const auto& entry) { return !entry.second.empty(); });
}

void KeyRelay::onKey(int device, std::uint32_t keycode, bool down, bool repeat) {
  if (!grabbed_.contains(device)) {
    return;
  }
  const bool modifier = XTestKeyboard::modifierFlagOf(keycode) != 0;
  if (modifier && repeat) {
    return;
  }
  auto& held = userKeys_[device];
  if (down) {
    held.insert(keycode);
  } else {
    held.erase(keycode);
  }
  Pending pending{device, keycode, down, repeat, modifier};
  if (mode_ == Mode::Asking) {
    const auto fate = fates_.find({device, keycode});
    const bool followsSwallowedPress = repeat && fate != fates_.end() && fate->second.swallowed;
    RelayMessage message;
    message.epoch = epoch_;
    message.keycode = keycode;
    message.modifiers = userModifiers();
    if (modifier) {
      message.type = RelayMessageType::ModifierChanged;
      message.flag = down ? 1 : 0;
      send_(message);
    } else if (down && !followsSwallowedPress) {
      message.type = RelayMessageType::KeyDown;
      message.flag = repeat ? 1 : 0;
      message.sequence = ++nextSequence_;
      if (send_(message)) {
        pending.awaiting = message.sequence;
        pending.askedAt = clock_.now();
      } else {
        enterBypass();
      }
    }
  }
  queue_.push_back(pending);
  drain();
  finishReleasingWhenIdle();
}

void KeyRelay::onVerdict(const RelayMessage& verdict) {
  if (verdict.epoch != epoch_) {
    return;
  }
  for (Pending& pending : queue_) {
    if (pending.awaiting == verdict.sequence) {
      pending.verdict = verdict;
      break;
    }
  }
  drain();
  finishReleasingWhenIdle();
}

// Keys the product sends are applied as they come, between the user's keys
// in the order the product saw those. Late ones, from before a time-out,
// would land among keys that already went past unjudged; only a release is
// always safe and is always applied.
void KeyRelay::onPost(const RelayMessage& post) {
  if (post.type == RelayMessageType::Release) {
    keyboard_.release(post.keycode);
    return;
  }
  if (post.epoch != epoch_ || mode_ == Mode::Bypass) {
    return;
  }
  switch (post.type) {
  case RelayMessageType::Press:
    keyboard_.press(post.keycode);
    return;
  case RelayMessageType::PressWithModifiers:
    keyboard_.pressWithModifiers(post.keycode, post.modifiers);
    return;
  case RelayMessageType::TypeSymbol:
    keyboard_.typeSymbol(post.symbol);
    return;
  default:
    return;
  }
}

void KeyRelay::drain() {
  while (!queue_.empty()) {
    const Pending& head = queue_.front();
    if (head.awaiting && !head.verdict) {
      break;
    }
    const Pending pending = head;
    queue_.pop_front();
    apply(pending);
  }
  armDeadline();
}

void KeyRelay::apply(const Pending& pending) {
  if (pending.modifier) {
    if (pending.down) {
      keyboard_.press(pending.keycode);
    } else {
      keyboard_.release(pending.keycode);
    }
    return;
  }
  if (pending.down) {
    applyPress(pending);
  } else {
    applyRelease(pending);
  }
}

// Once a press is swallowed, its repeats go the same way; once it is
// delivered, its repeats press what it was delivered as.
void KeyRelay::applyPress(const Pending& pending) {
  const DeviceKey key{pending.device, pending.keycode};
  if (!pending.repeat) {
    fates_.erase(key);
  }
  const auto found = fates_.find(key);
  const std::optional<Fate> fate =
      found == fates_.end() ? std::nullopt : std::optional<Fate>(found->second);
  if (fate && fate->swallowed) {
    return;
  }
  if (pending.verdict && pending.verdict->flag != 0) {
    if (!fate) {
      fates_[key] = Fate{true, 0};
    }
    return;
  }
  if (pending.verdict) {
    const std::uint32_t delivered = fate ? fate->delivered : pending.verdict->keycode;
    keyboard_.pressWithModifiers(delivered, pending.verdict->modifiers);
    fates_[key] = Fate{false, delivered};
    return;
  }
  const std::uint32_t delivered = fate ? fate->delivered : pending.keycode;
  keyboard_.press(delivered);
  fates_[key] = Fate{false, delivered};
}

// Once a press is delivered its release is too, whatever has happened
// since; a swallowed press's release goes nowhere.
void KeyRelay::applyRelease(const Pending& pending) {
  const auto found = fates_.find({pending.device, pending.keycode});
  if (found == fates_.end()) {
    return;
  }
  if (!found->second.swallowed) {
    keyboard_.release(found->second.delivered);
  }
  fates_.erase(found);
}

void KeyRelay::armDeadline() {
  if (queue_.empty() || !queue_.front().awaiting) {
    deadline_.cancel();
    return;
  }
  const Duration waited = clock_.now() - queue_.front().askedAt;
  const Duration remaining = waited < verdictLimit ? verdictLimit - waited : Duration{0};
  deadline_ = mainQueue_.scheduleAfter(remaining, lifetime_.guard([this] { onDeadline(); }));
}

void KeyRelay::onDeadline() {
  if (queue_.empty() || !queue_.front().awaiting || queue_.front().verdict) {
    return;
  }
  if (clock_.now() - queue_.front().askedAt < verdictLimit) {
    armDeadline();
    return;
  }
  enterBypass();
  drain();
  finishReleasingWhenIdle();
}

// Every key still waiting goes on unchanged, in order, and so does every
// key after it until the product, told why, enables the tap again.
void KeyRelay::enterBypass() {
  ++epoch_;
  if (mode_ != Mode::Releasing) {
    mode_ = Mode::Bypass;
  }
  for (Pending& pending : queue_) {
    pending.awaiting.reset();
    pending.verdict.reset();
  }
  tellTimedOut();
}

void KeyRelay::tellTimedOut() {
  RelayMessage message;
  message.type = RelayMessageType::TimedOut;
  message.epoch = epoch_;
  if (send_(message)) {
    timedOutRetry_.cancel();
    return;
  }
  // The product reads nothing now; it hears once it does.
  timedOutRetry_ =
      mainQueue_.scheduleAfter(kTimedOutRetryInterval, lifetime_.guard([this] { tellTimedOut(); }));
}

// A keyboard is taken only while no key is down on it: its held key would
// otherwise stay down on its master for good, repeating.
void KeyRelay::grabIdleKeyboards() {
  Display* display = connection_.display();
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
  std::set<int> present;
  bool retry = false;
  auto keys = xinputMaskWith({XI_KeyPress, XI_KeyRelease});
  XIEventMask mask{XIAllDevices, static_cast<int>(keys.size()), keys.data()};
  for (int index = 0; index < count; ++index) {
    const XIDeviceInfo& device = devices[index];
    present.insert(device.deviceid);
    if (device.use != XISlaveKeyboard || device.deviceid == ownKeyboard_ ||
        grabbed_.contains(device.deviceid)) {
      continue;
    }
    if (!keyStates_.keysDown(device.deviceid).empty()) {
      retry = true;
      continue;
    }
    mask.deviceid = device.deviceid;
    if (XIGrabDevice(display, device.deviceid, connection_.root(), CurrentTime, None,
                     XIGrabModeAsync, XIGrabModeAsync, False, &mask) != Success) {
      continue;
    }
    // A key pressed between the look and the grab: let go and look again.
    if (!keyStates_.keysDown(device.deviceid).empty()) {
      XIUngrabDevice(display, device.deviceid, CurrentTime);
      retry = true;
      continue;
    }
    grabbed_.insert(device.deviceid);
  }
  XIFreeDeviceInfo(devices);
  std::vector<int> vanished;
  std::copy_if(grabbed_.begin(), grabbed_.end(), std::back_inserter(vanished),
               [&present](int device) { return !present.contains(device); });
  for (const int device : vanished) {
    forgetDevice(device);
  }
  connection_.flush();
  if (retry) {
    grabRetry_ = mainQueue_.scheduleAfter(kGrabRetryInterval, lifetime_.guard([this] {
      if (mode_ == Mode::Asking || mode_ == Mode::Bypass) {
        grabIdleKeyboards();
      }
    }));
  }
}

void KeyRelay::ungrabAll() {
  for (const int device : grabbed_) {
    XIUngrabDevice(connection_.display(), device, CurrentTime);
  }
  grabbed_.clear();
  userKeys_.clear();
  fates_.clear();
  grabRetry_.cancel();
  connection_.flush();
}

// An unplugged keyboard's keys are let go of, whatever was waiting for them.
void KeyRelay::forgetDevice(int device) {
  grabbed_.erase(device);
  keyStates_.forget(device);
  userKeys_.erase(device);
  std::erase_if(queue_, [device](const Pending& pending) { return pending.device == device; });
  for (auto fate = fates_.begin(); fate != fates_.end();) {
    if (fate->first.first != device) {
      ++fate;
      continue;
    }
    if (!fate->second.swallowed) {
      keyboard_.release(fate->second.delivered);
    }
    fate = fates_.erase(fate);
  }
  drain();
}

namespace {

struct RelayLoop {
  GMainLoop* loop;
  KeyRelay* relay;
  int socket;
};

gboolean onProductMessage(gint, GIOCondition, gpointer data) {
  auto& context = *static_cast<RelayLoop*>(data);
  const auto messages = receiveRelayMessages(context.socket);
  if (!messages) {
    g_main_loop_quit(context.loop);
    return G_SOURCE_REMOVE;
  }
  for (const RelayMessage& message : *messages) {
    context.relay->receive(message);
  }
  return G_SOURCE_CONTINUE;
}

gboolean quitRelay(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_CONTINUE;
}

} // namespace

int runKeyRelay(int socket) {
  // The relay outlives a stopped or interrupted product on purpose: the
  // terminal's job control is the product's, never the keyboard's.
  std::signal(SIGINT, SIG_IGN);
  std::signal(SIGHUP, SIG_IGN);
  std::signal(SIGTSTP, SIG_IGN);
  std::signal(SIGTTIN, SIG_IGN);
  std::signal(SIGTTOU, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  std::string error;
  auto connection = X11Connection::open("", error);
  if (!connection) {
    std::cerr << "Quillon: the keyboard relay cannot start: " << error << '\n';
    return 1;
  }
  MonotonicClock clock;
  LinuxMainQueue mainQueue;
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  {
    XTestKeyboard keyboard(*connection, mainQueue, clock);
    KeyRelay relay(*connection, keyboard, mainQueue, clock, [socket](const RelayMessage& message) {
      return sendRelayMessage(socket, message, false);
    });
    connection->attachToMainLoop();
    RelayLoop context{loop, &relay, socket};
    const guint input =
        g_unix_fd_add(socket, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                      onProductMessage, &context);
    const guint termination = g_unix_signal_add(SIGTERM, quitRelay, loop);
    g_main_loop_run(loop);
    g_source_remove(termination);
    if (GSource* source = g_main_context_find_source_by_id(nullptr, input)) {
      g_source_destroy(source);
    }
  }
  g_main_loop_unref(loop);
  return 0;
}

} // namespace quillon
