// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Observation.h"

#include <functional>

namespace quillon {

enum class CaptureDevice { Camera, Microphone };
enum class CaptureAuthorization { NotDetermined, Restricted, Denied, Authorized };
enum class LocationAuthorization {
  NotDetermined,
  Restricted,
  Denied,
  AuthorizedAlways,
  AuthorizedWhenInUse
};

// What the system lets this application do with the camera, the microphone
// and the location, and its prompts asking the user.
class DeviceAuthorization {
public:
  virtual ~DeviceAuthorization() = default;
  virtual CaptureAuthorization captureStatus(CaptureDevice device) const = 0;
  // Shows the system's prompt; the answer may arrive on any thread.
  virtual void requestCaptureAccess(CaptureDevice device, std::function<void(bool)> answer) = 0;
  virtual LocationAuthorization locationStatus() const = 0;
  virtual void requestLocationWhenInUse() = 0;
  // Calls back on the main queue with each change of the location status.
  virtual Observation
  observeLocationAuthorization(std::function<void(LocationAuthorization)> callback) = 0;
};

} // namespace quillon
