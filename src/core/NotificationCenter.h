#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// In-process notifications by name, without object or payload. Posting is
// synchronous: every observer has run when post() returns.
class NotificationCenter {
  struct Observer {
    std::function<void()> callback;
    bool active = true;
  };
  using ObserverList = std::vector<std::shared_ptr<Observer>>;
  using Registry = std::map<std::string, ObserverList, std::less<>>;

public:
  // Observing stops when this handle goes away.
  class [[nodiscard]] Observation {
  public:
    Observation() = default;
    Observation(std::weak_ptr<Registry> registry, std::string name,
                std::weak_ptr<Observer> observer)
        : registry_(std::move(registry)), name_(std::move(name)), observer_(std::move(observer)) {}
    Observation(Observation&&) noexcept = default;
    Observation& operator=(Observation&& other) noexcept;
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;
    ~Observation() { stop(); }
    void stop();

  private:
    std::weak_ptr<Registry> registry_;
    std::string name_;
    std::weak_ptr<Observer> observer_;
  };

  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  Observation observe(std::string_view name, std::function<void()> callback);
  void post(std::string_view name);

private:
  std::shared_ptr<Registry> registry_ = std::make_shared<Registry>();
};

} // namespace quillon
