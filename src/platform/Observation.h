// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <memory>

namespace quillon {

// A registration for a system notification that ends when this handle goes
// away, so an observer that dies can never be called back.
class [[nodiscard]] Observation {
public:
  class Token {
  public:
    virtual ~Token() = default;
    virtual void cancel() = 0;
  };

  Observation() = default;
  explicit Observation(std::unique_ptr<Token> token) : token_(std::move(token)) {}
  Observation(Observation&&) noexcept = default;
  Observation& operator=(Observation&& other) noexcept {
    if (this != &other) {
      stop();
      token_ = std::move(other.token_);
    }
    return *this;
  }
  Observation(const Observation&) = delete;
  Observation& operator=(const Observation&) = delete;
  ~Observation() { stop(); }

  void stop() {
    if (token_) {
      token_->cancel();
      token_.reset();
    }
  }
  bool isActive() const { return token_ != nullptr; }

private:
  std::unique_ptr<Token> token_;
};

} // namespace quillon
