#include "platform/linux/LinuxWheelDirection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

namespace quillon {

namespace {

constexpr const char* naturalScrollingProperty = "libinput Natural Scrolling Enabled";
// Only touchpads tap; their scrolling is continuous and is never reversed.
constexpr const char* tappingProperty = "libinput Tapping Enabled";
// Logical buttons: wheel up/down, then wheel left/right.
constexpr std::array<std::pair<unsigned char, unsigned char>, 2> wheelButtonPairs{{{4, 5}, {6, 7}}};
// The core protocol's largest pointer mapping.
constexpr int maximumButtons = 256;
// The server refuses a new mapping while a button it moves is held down.
constexpr int busyAttempts = 20;
constexpr std::chrono::milliseconds busyWait{25};

std::vector<unsigned char> withWheelsSwapped(std::vector<unsigned char> map) {
  for (unsigned char& button : map) {
    for (const auto& [first, second] : wheelButtonPairs) {
      if (button == first) {
        button = second;
      } else if (button == second) {
        button = first;
      }
    }
  }
  return map;
}

bool isXTestDevice(const XIDeviceInfo& device) {
  return std::string_view(device.name).find("XTEST") != std::string_view::npos;
}

bool hasProperty(Display* display, int device, Atom property) {
  if (property == None) {
    return false;
  }
  int count = 0;
  Atom* properties = XIListProperties(display, device, &count);
  const bool found = std::find(properties, properties + count, property) != properties + count;
  XFree(properties);
  return found;
}

struct ByteProperty {
  Atom type = None;
  unsigned char value = 0;
};

std::optional<ByteProperty> readByteProperty(Display* display, int device, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XIGetProperty(display, device, property, 0, 1, False, AnyPropertyType, &type, &format, &items,
                    &after, &data) != Success) {
    return std::nullopt;
  }
  std::optional<ByteProperty> result;
  if (format == 8 && items >= 1 && data != nullptr) {
    result = ByteProperty{type, data[0]};
  }
  XFree(data);
  return result;
}

void writeByteProperty(Display* display, int device, Atom property, const ByteProperty& value) {
  unsigned char byte = value.value;
  XIChangeProperty(display, device, property, value.type, 8, XIPropModeReplace, &byte, 1);
}

std::vector<unsigned char> hierarchyMask(std::vector<unsigned char> mask) {
  mask.resize(std::max<std::size_t>(mask.size(), XIMaskLen(XI_LASTEVENT)), 0);
  auto& byte = mask[static_cast<std::size_t>(XI_HierarchyChanged >> 3)];
  byte = static_cast<unsigned char>(byte | (1u << (XI_HierarchyChanged & 7)));
  return mask;
}

// The state file, one change a line: "buttons" with the user's own
// mapping, "applied" with what was set in its place, and "natural" with a
// wheel's own switch value and its device name.
constexpr std::string_view buttonsLine = "buttons";
constexpr std::string_view appliedLine = "applied";
constexpr std::string_view naturalLine = "natural";

std::string joined(const std::vector<unsigned char>& map) {
  std::string text;
  for (const unsigned char button : map) {
    text += ' ' + std::to_string(button);
  }
  return text;
}

std::optional<std::vector<unsigned char>> buttonsFrom(std::istringstream& words) {
  std::vector<unsigned char> map;
  unsigned value = 0;
  while (words >> value) {
    if (value > 255) {
      return std::nullopt;
    }
    map.push_back(static_cast<unsigned char>(value));
  }
  if (!words.eof() || map.empty() || map.size() > maximumButtons) {
    return std::nullopt;
  }
  return map;
}

} // namespace

LinuxWheelDirection::LinuxWheelDirection(X11Connection& connection, Log& log,
                                         std::optional<std::filesystem::path> stateFile)
    : connection_(connection), log_(log), stateFile_(std::move(stateFile)) {
  // Before anything else reads the wheels as the user's own.
  recoverFromStateFile();
  watchHierarchy();
  events_ = connection_.listen([this](XEvent& event) { onEvent(event); });
}

LinuxWheelDirection::~LinuxWheelDirection() {
  restore();
  XSync(connection_.display(), False);
}

// The event tap selects hierarchy events for every device on the root
// too; what this client already selects there is kept, not replaced.
void LinuxWheelDirection::watchHierarchy() {
  Display* display = connection_.display();
  int count = 0;
  XIEventMask* selected = XIGetSelectedEvents(display, connection_.root(), &count);
  std::vector<unsigned char> existing;
  for (int index = 0; index < count; ++index) {
    if (selected[index].deviceid == XIAllDevices) {
      existing.assign(selected[index].mask, selected[index].mask + selected[index].mask_len);
    }
  }
  XFree(selected);
  auto mask = hierarchyMask(std::move(existing));
  XIEventMask request{XIAllDevices, static_cast<int>(mask.size()), mask.data()};
  XISelectEvents(display, connection_.root(), &request, 1);
  connection_.flush();
}

void LinuxWheelDirection::recoverFromStateFile() {
  if (!stateFile_) {
    return;
  }
  std::ifstream file(*stateFile_);
  if (!file) {
    return;
  }
  std::optional<ButtonMap> original;
  std::optional<ButtonMap> applied;
  std::vector<FlippedWheel> wheels;
  bool readable = true;
  std::string line;
  while (readable && std::getline(file, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == buttonsLine) {
      original = buttonsFrom(words);
      readable = original.has_value();
    } else if (kind == appliedLine) {
      applied = buttonsFrom(words);
      readable = applied.has_value();
    } else if (kind == naturalLine) {
      unsigned own = 2;
      FlippedWheel wheel;
      words >> own;
      words.get();
      std::getline(words, wheel.name);
      wheel.own = static_cast<unsigned char>(own);
      readable = own <= 1 && !wheel.name.empty();
      wheels.push_back(std::move(wheel));
    } else {
      readable = kind.empty();
    }
  }
  if (!readable || original.has_value() != applied.has_value() ||
      (original && original->size() != applied->size())) {
    log_.write("Quillon: the remembered mouse wheel state at " + stateFile_->string() +
               " is unreadable; the wheels are left as they are");
  } else {
    if (original) {
      giveBackButtons({*original, *applied});
    }
    recoverLibinputWheels(wheels);
    log_.write("Quillon: gave back the mouse wheel direction an earlier run left reversed");
  }
  std::error_code ignored;
  std::filesystem::remove(*stateFile_, ignored);
  XSync(connection_.display(), False);
}

// Only a switch still the other way from the user's own was flipped by the
// earlier run; one the user set since stays.
void LinuxWheelDirection::recoverLibinputWheels(const std::vector<FlippedWheel>& left) {
  Display* display = connection_.display();
  const Atom natural = XInternAtom(display, naturalScrollingProperty, True);
  if (natural == None || left.empty()) {
    return;
  }
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
  for (int index = 0; index < count; ++index) {
    const XIDeviceInfo& device = devices[index];
    if (device.use != XISlavePointer) {
      continue;
    }
    const auto wheel = std::find_if(left.begin(), left.end(), [&](const FlippedWheel& flipped) {
      return flipped.name == device.name;
    });
    if (wheel == left.end()) {
      continue;
    }
    if (const auto now = readByteProperty(display, device.deviceid, natural);
        now && now->value != wheel->own) {
      writeByteProperty(display, device.deviceid, natural, {now->type, wheel->own});
    }
  }
  XIFreeDeviceInfo(devices);
}

// Written to a new file that then takes the old one's name, so a process
// killed mid-write leaves the previous state, never half of one.
void LinuxWheelDirection::saveState() {
  if (!stateFile_) {
    return;
  }
  std::error_code error;
  if (!swapped_ && flipped_.empty()) {
    std::filesystem::remove(*stateFile_, error);
    return;
  }
  std::filesystem::create_directories(stateFile_->parent_path(), error);
  auto fresh = *stateFile_;
  fresh += ".new";
  {
    std::ofstream file(fresh, std::ios::trunc);
    if (swapped_) {
      file << buttonsLine << joined(swapped_->original) << '\n';
      file << appliedLine << joined(swapped_->applied) << '\n';
    }
    for (const auto& [device, wheel] : flipped_) {
      file << naturalLine << ' ' << unsigned(wheel.own) << ' ' << wheel.name << '\n';
    }
    file.flush();
    if (!file) {
      log_.write("Quillon: cannot remember the mouse wheel state at " + stateFile_->string() +
                 "; a crash would leave the wheels reversed");
      return;
    }
  }
  std::filesystem::rename(fresh, *stateFile_, error);
  if (error) {
    log_.write("Quillon: cannot remember the mouse wheel state at " + stateFile_->string() + ": " +
               error.message());
  }
}

void LinuxWheelDirection::reverseDiscreteWheels(bool reversed) {
  reversed_ = reversed;
  if (reversed) {
    apply();
  } else {
    restore();
  }
  // Done once this returns, for every other client too.
  XSync(connection_.display(), False);
}

void LinuxWheelDirection::apply() {
  flipLibinputWheels();
  if (flipped_.empty()) {
    swapButtons();
  } else {
    restoreButtons();
  }
}

void LinuxWheelDirection::restore() {
  restoreLibinputWheels();
  restoreButtons();
}

void LinuxWheelDirection::flipLibinputWheels() {
  Display* display = connection_.display();
  // Only if it exists: no device has the property when nothing has named it.
  const Atom natural = XInternAtom(display, naturalScrollingProperty, True);
  if (natural == None) {
    return;
  }
  const Atom tapping = XInternAtom(display, tappingProperty, True);
  int count = 0;
  XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
  for (int index = 0; index < count; ++index) {
    const XIDeviceInfo& device = devices[index];
    if (device.use != XISlavePointer || isXTestDevice(device) ||
        flipped_.contains(device.deviceid) || hasProperty(display, device.deviceid, tapping)) {
      continue;
    }
    const auto own = readByteProperty(display, device.deviceid, natural);
    if (!own) {
      continue;
    }
    const ByteProperty reversed{own->type, static_cast<unsigned char>(own->value == 0 ? 1 : 0)};
    // Remembered before it is changed: a kill in between leaves a note the
    // next start reads as "nothing to give back".
    flipped_.emplace(device.deviceid, FlippedWheel{device.name, own->value});
    saveState();
    writeByteProperty(display, device.deviceid, natural, reversed);
    // The driver may refuse, and refusals arrive as errors the connection
    // drops: what the device holds now tells.
    const auto now = readByteProperty(display, device.deviceid, natural);
    if (!now || now->value != reversed.value) {
      log_.write("Quillon: cannot reverse the mouse wheel of \"" + std::string(device.name) +
                 "\": its driver refused the change");
      flipped_.erase(device.deviceid);
      saveState();
      continue;
    }
  }
  XIFreeDeviceInfo(devices);
}

void LinuxWheelDirection::restoreLibinputWheels() {
  Display* display = connection_.display();
  const Atom natural = XInternAtom(display, naturalScrollingProperty, True);
  for (const auto& [device, wheel] : flipped_) {
    // A device unplugged meanwhile answers with an error, which the
    // connection drops.
    if (const auto now = readByteProperty(display, device, natural)) {
      writeByteProperty(display, device, natural, {now->type, wheel.own});
    }
  }
  if (!flipped_.empty()) {
    flipped_.clear();
    saveState();
  }
}

void LinuxWheelDirection::swapButtons() {
  if (swapped_) {
    return;
  }
  const auto original = pointerMapping();
  if (!original) {
    log_.write("Quillon: cannot reverse the mouse wheel: the pointer mapping is unreadable");
    return;
  }
  const ButtonMap applied = withWheelsSwapped(*original);
  if (applied == *original) {
    return;
  }
  swapped_ = SwappedButtons{*original, applied};
  saveState();
  if (!setPointerMapping(applied)) {
    log_.write("Quillon: cannot reverse the mouse wheel: the X server refused the pointer mapping");
    swapped_.reset();
    saveState();
  }
}

// Buttons someone else remapped while the wheels were reversed keep their
// new meaning; only what this object changed goes back.
void LinuxWheelDirection::restoreButtons() {
  if (!swapped_) {
    return;
  }
  const SwappedButtons swapped = *swapped_;
  swapped_.reset();
  giveBackButtons(swapped);
  // Forgotten only once given back: a kill before then finds it again.
  saveState();
}

void LinuxWheelDirection::giveBackButtons(const SwappedButtons& swapped) {
  const auto current = pointerMapping();
  if (!current) {
    log_.write("Quillon: cannot restore the mouse wheel: the pointer mapping is unreadable");
    return;
  }
  ButtonMap restored = *current;
  if (current->size() == swapped.applied.size()) {
    for (std::size_t index = 0; index < restored.size(); ++index) {
      if ((*current)[index] == swapped.applied[index]) {
        restored[index] = swapped.original[index];
      }
    }
  } else {
    restored = withWheelsSwapped(*current);
  }
  if (restored != *current && !setPointerMapping(restored)) {
    log_.write("Quillon: cannot restore the mouse wheel: the X server refused the pointer mapping");
  }
}

std::optional<LinuxWheelDirection::ButtonMap> LinuxWheelDirection::pointerMapping() const {
  ButtonMap map(maximumButtons);
  const int count = XGetPointerMapping(connection_.display(), map.data(), maximumButtons);
  if (count <= 0) {
    return std::nullopt;
  }
  map.resize(static_cast<std::size_t>(std::min(count, maximumButtons)));
  return map;
}

// Xlib reports a refused mapping as a success, so the outcome is read back.
bool LinuxWheelDirection::setPointerMapping(const ButtonMap& map) {
  Display* display = connection_.display();
  for (int attempt = 0; attempt < busyAttempts; ++attempt) {
    auto copy = map;
    const int result = XSetPointerMapping(display, copy.data(), static_cast<int>(copy.size()));
    if (result != MappingBusy) {
      return pointerMapping() == map;
    }
    std::this_thread::sleep_for(busyWait);
  }
  return false;
}

void LinuxWheelDirection::onEvent(XEvent& event) {
  if (event.type != GenericEvent || event.xcookie.extension != connection_.xinputOpcode() ||
      event.xcookie.evtype != XI_HierarchyChanged || event.xcookie.data == nullptr) {
    return;
  }
  const auto& hierarchy = *static_cast<const XIHierarchyEvent*>(event.xcookie.data);
  bool added = false;
  for (int index = 0; index < hierarchy.num_info; ++index) {
    const XIHierarchyInfo& info = hierarchy.info[index];
    // Identifiers are reused: a device gone is forgotten, so one arriving
    // under its number is reversed afresh.
    if ((info.flags & XISlaveRemoved) != 0 && flipped_.erase(info.deviceid) > 0) {
      saveState();
    }
    added = added || (info.flags & (XISlaveAdded | XIDeviceEnabled)) != 0;
  }
  if (added && reversed_) {
    apply();
    connection_.flush();
  }
}

} // namespace quillon
