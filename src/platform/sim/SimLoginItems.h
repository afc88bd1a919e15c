#pragma once

#include "platform/LoginItems.h"
#include "platform/sim/SimLog.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The login-item registry: records every change asked of it (in the
// journal too) and refuses them all once told to, as a system that wants the
// user's approval does.
class SimLoginItems final : public LoginItems {
public:
  explicit SimLoginItems(SimJournal& journal) : journal_(journal) {}

  LoginItemStatus status() const override { return status_; }
  std::optional<LoginItemFailure> registerApplication() override;
  std::optional<LoginItemFailure> unregisterApplication() override;

  void setStatus(LoginItemStatus status) { status_ = status; }
  // Every later change fails with this description and leaves the status as
  // it is; nothing lets changes through again.
  void refuseWith(std::optional<std::string> description) { refusal_ = std::move(description); }
  // "register" and "unregister", in the order they were asked for.
  const std::vector<std::string>& calls() const { return calls_; }

private:
  std::optional<LoginItemFailure> change(std::string call, LoginItemStatus result);

  SimJournal& journal_;
  LoginItemStatus status_ = LoginItemStatus::NotRegistered;
  std::optional<std::string> refusal_;
  std::vector<std::string> calls_;
};

} // namespace quillon
