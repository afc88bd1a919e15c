#pragma once

#include "platform/Log.h"
#include "platform/Observation.h"
#include "platform/WheelDirection.h"
#include "platform/linux/X11Connection.h"

#include <map>
#include <optional>
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
// reversed. Pointers plugged in later are reversed as they arrive.
class LinuxWheelDirection final : public WheelDirection {
public:
  LinuxWheelDirection(X11Connection& connection, Log& log);
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

  void apply();
  void restore();
  void flipLibinputWheels();
  void restoreLibinputWheels();
  void swapButtons();
  void restoreButtons();
  std::optional<ButtonMap> pointerMapping() const;
  bool setPointerMapping(const ButtonMap& map);
  void watchHierarchy();
  void onEvent(XEvent& event);

  X11Connection& connection_;
  Log& log_;
  bool reversed_ = false;
  std::optional<SwappedButtons> swapped_;
  // Each libinput wheel whose switch was flipped, with the user's own value.
  std::map<int, unsigned char> flipped_;
  Observation events_;
};

} // namespace quillon
