#include "platform/sim/SimLoginItems.h"

namespace quillon {

std::optional<LoginItemFailure> SimLoginItems::registerApplication() {
  return change("register", LoginItemStatus::Enabled);
}

std::optional<LoginItemFailure> SimLoginItems::unregisterApplication() {
  return change("unregister", LoginItemStatus::NotRegistered);
}

std::optional<LoginItemFailure> SimLoginItems::change(std::string call, LoginItemStatus result) {
  journal_.record("login item " + call);
  calls_.push_back(std::move(call));
  if (refusal_) {
    return LoginItemFailure{*refusal_};
  }
  status_ = result;
  return std::nullopt;
}

} // namespace quillon
