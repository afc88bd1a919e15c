#pragma once

#include "platform/Observation.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace quillon {

// The observers of one simulated notification. Posting is synchronous and
// sees the observers registered when it began, so a callback may start or
// stop observations safely.
template <typename... Arguments> class SimObservers {
  using Callback = std::function<void(const Arguments&...)>;
  using List = std::vector<std::shared_ptr<Callback>>;

  class Token final : public Observation::Token {
  public:
    Token(std::weak_ptr<List> list, std::weak_ptr<Callback> callback)
        : list_(std::move(list)), callback_(std::move(callback)) {}
    void cancel() override {
      const auto list = list_.lock();
      const auto callback = callback_.lock();
      if (list && callback) {
        std::erase(*list, callback);
      }
    }

  private:
    std::weak_ptr<List> list_;
    std::weak_ptr<Callback> callback_;
  };

public:
  Observation add(Callback callback) {
    auto shared = std::make_shared<Callback>(std::move(callback));
    list_->push_back(shared);
    return Observation(std::make_unique<Token>(list_, shared));
  }

  void post(const Arguments&... arguments) const {
    const List snapshot = *list_;
    for (const auto& callback : snapshot) {
      if (std::find(list_->begin(), list_->end(), callback) != list_->end()) {
        (*callback)(arguments...);
      }
    }
  }

  std::size_t count() const { return list_->size(); }

private:
  std::shared_ptr<List> list_ = std::make_shared<List>();
};

} // namespace quillon
