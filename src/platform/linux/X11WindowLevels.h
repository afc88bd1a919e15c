#pragma once

#include "platform/WindowLevels.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowProperties.h"

namespace quillon {

// X has no numbered levels: the window manager keeps windows it is asked to
// keep above all others in a layer of their own, and floating means that.
class X11WindowLevels final : public WindowLevels {
public:
  explicit X11WindowLevels(const X11Connection& connection) : properties_(connection) {}

  static constexpr std::int32_t NormalLevel = 0;
  static constexpr std::int32_t FloatingLevel = 3;

  std::int32_t level(WindowLevelKey key) const override {
    return key == WindowLevelKey::Floating ? FloatingLevel : NormalLevel;
  }
  void setWindowLevel(std::uint32_t windowNumber, std::int32_t level) override;

private:
  X11WindowProperties properties_;
};

} // namespace quillon
