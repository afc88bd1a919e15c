#pragma once

#include "platform/Geometry.h"

#include <string>

namespace quillon {

// "(0.0, 25.0, 720.5, 875.0)": x, y, width, height, each in its shortest
// decimal form with at least one digit after the point.
std::string describeRect(const Rect& rect);
std::string describeNumber(double value);

} // namespace quillon
