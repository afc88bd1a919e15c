#pragma once

#include "platform/DeviceAuthorization.h"
#include "platform/MainQueue.h"
#include "platform/sim/SimObservers.h"

#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace quillon {

// The camera, microphone and location permissions as the script sets them;
// a prompt's answer waits until the user gives it.
class SimDeviceAuthorization final : public DeviceAuthorization {
public:
  CaptureAuthorization captureStatus(CaptureDevice device) const override {
    const auto found = capture_.find(device);
    return found == capture_.end() ? CaptureAuthorization::NotDetermined : found->second;
  }
  void requestCaptureAccess(CaptureDevice device, std::function<void(bool)> answer) override {
    pendingCapture_.push_back({device, std::move(answer)});
  }
  LocationAuthorization locationStatus() const override { return location_; }
  void requestLocationWhenInUse() override { ++locationRequests_; }
  Observation
  observeLocationAuthorization(std::function<void(LocationAuthorization)> callback) override {
    return locationObservers_.add(std::move(callback));
  }

  void setCaptureStatus(CaptureDevice device, CaptureAuthorization status) {
    capture_[device] = status;
  }
  // The user answers every open capture prompt.
  void answerCapturePrompts(bool granted) {
    auto pending = std::exchange(pendingCapture_, {});
    for (auto& [device, answer] : pending) {
      capture_[device] = granted ? CaptureAuthorization::Authorized : CaptureAuthorization::Denied;
      answer(granted);
    }
  }
  void setLocationStatus(LocationAuthorization status) {
    location_ = status;
    locationObservers_.post(status);
  }
  int locationRequestCount() const { return locationRequests_; }

private:
  std::map<CaptureDevice, CaptureAuthorization> capture_;
  std::vector<std::pair<CaptureDevice, std::function<void(bool)>>> pendingCapture_;
  LocationAuthorization location_ = LocationAuthorization::NotDetermined;
  SimObservers<LocationAuthorization> locationObservers_;
  int locationRequests_ = 0;
};

} // namespace quillon
