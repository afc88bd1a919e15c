// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/MainQueue.h"

#include <memory>
#include <utility>

namespace quillon {

// Lets an object hand tasks to a queue that may outlive it: a guarded task
// runs only while its owner's Lifetime exists, the weak hold the product
// keeps on itself in every deferred action.
class Lifetime {
public:
  Lifetime() = default;
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;

  template <typename Function> Task guard(Function function) const {
    return [alive = std::weak_ptr<const char>(token_), function = std::move(function)]() mutable {
      if (alive.lock()) {
        function();
      }
    };
  }

private:
  std::shared_ptr<const char> token_ = std::make_shared<const char>('\0');
};

} // namespace quillon
