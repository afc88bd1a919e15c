#pragma once

#include "platform/Directories.h"
#include "platform/shared/TemporaryDirectory.h"

namespace quillon {

// The user's home as a private folder on disk, with Documents and Desktop in
// it, removed with everything in it when the desktop goes away.
class SimDirectories final : public Directories {
public:
  SimDirectories();

  std::optional<std::filesystem::path> home() const override {
    return chosenHome_ ? *chosenHome_ : home_.path();
  }
  std::optional<std::filesystem::path> documents() const override;
  std::optional<std::filesystem::path> desktop() const override;
  std::filesystem::path temporary() const override { return system_.path() / "tmp"; }
  std::filesystem::path systemApplications() const override {
    return system_.path() / "Applications";
  }
  // Where the machine's folders outside the home live.
  const std::filesystem::path& systemRoot() const { return system_.path(); }

  // The user's home moves to a folder of the caller's, which keeps it; its
  // Documents and Desktop folders are made if missing. False when they
  // cannot be.
  bool setHome(const std::filesystem::path& home);
  // A system that names no Documents folder.
  void setDocumentsNamed(bool named) { documentsNamed_ = named; }

private:
  TemporaryDirectory home_{"quillon-home"};
  std::optional<std::filesystem::path> chosenHome_;
  TemporaryDirectory system_{"quillon-system"};
  bool documentsNamed_ = true;
};

} // namespace quillon
