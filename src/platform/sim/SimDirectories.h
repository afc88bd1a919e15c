#pragma once

#include "platform/Directories.h"
#include "platform/shared/TemporaryDirectory.h"

namespace quillon {

// The user's home as a private folder on disk, with Documents and Desktop in
// it, removed with everything in it when the desktop goes away.
class SimDirectories final : public Directories {
public:
  SimDirectories();

  std::optional<std::filesystem::path> home() const override { return home_.path(); }
  std::optional<std::filesystem::path> documents() const override;
  std::optional<std::filesystem::path> desktop() const override;

  // A system that names no Documents folder.
  void setDocumentsNamed(bool named) { documentsNamed_ = named; }

private:
  TemporaryDirectory home_{"quillon-home"};
  bool documentsNamed_ = true;
};

} // namespace quillon
