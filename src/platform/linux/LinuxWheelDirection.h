#pragma once

#include "platform/Log.h"
#include "platform/Observation.h"
#include "platform/WheelDirection.h"
#include "platform/linux/X11Connection.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Reverses mouse wheels on X11, where the event tap sees no scroll deltas.
// Mice driven by libinput are reversed by their own natural-scrolling switch,
// which smooth-scrolling and legacy clients alike follow. Other wheels (evdev
// and the like) arrive as buttons 4/5 and 6/7, which the pointer mapping
// swaps. The two are never combined: legacy clients get a libinput mouse's
// scrolling as emulated wheel buttons, which the swapped mapping would turn
// back again. So the mapping is swapped only while no libinput wheel took the
// switch. Touchpads are left alone, though with no libinput wheel the swap
// reaches their emulated buttons too.
//
// What the user had is remembered and given back when reversal is turned
// off and when this object ends, so quitting never leaves the wheels
// reversed. Pointers plugged in later are reversed as they arrive. What was
// changed is also written to a state file before it is changed, so a process
// killed outright is followed by one that gives the user's wheels back first
// instead of taking the reversed ones for the user's own.
class LinuxWheelDirection final : public WheelDirection {
public:
  // Without a state file nothing outlives the process.
  LinuxWheelDirection(X11Connection& connection, Log& log,
                      std::optional<std::filesystem::path> stateFile = std::nullopt);
  LinuxWheelDirection(const LinuxWheelDirection&) = delete;
  LinuxWheelDirection& operator=(const LinuxWheelDirection&) = delete;
  ~LinuxWheelDirection() override;

  void reverseDiscreteWheels(bool reversed) override;
  bool discreteWheelsReversed() const override { return reversed_; }

private:
  using ButtonMap = std::vector<unsigned char>;
  struct SwappedButtons {
    ButtonMap original;
    ButtonMap applied;
  };
  struct FlippedWheel {
    // Identifiers are not kept across server restarts or replugs; names are.
    std::string name;
    unsigned char own = 0;
  };

  void recoverFromStateFile();
  void recoverLibinputWheels(const std::vector<FlippedWheel>& left);
  // Writes what is changed now, or removes the file once nothing is.
  void saveState();
  void apply();
  void restore();
  void flipLibinputWheels();
  void restoreLibinputWheels();
  void swapButtons();
  void restoreButtons();
  void giveBackButtons(const SwappedButtons& swapped);
  std::optional<ButtonMap> pointerMapping() const;
  bool setPointerMapping(const ButtonMap& map);
  void watchHierarchy();
  void onEvent(XEvent& event);

  X11Connection& connection_;
  Log& log_;
  bool reversed_ = false;
  std::optional<SwappedButtons> swapped_;
  // Each libinput wheel whose switch was flipped, with the user's own value.
  std::map<int, FlippedWheel> flipped_;
  std::optional<std::filesystem::path> stateFile_;
  Observation events_;
};

} // namespace quillon
