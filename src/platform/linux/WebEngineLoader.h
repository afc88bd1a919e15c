#pragma once

#include "platform/linux/webkit/WebEngine.h"
#include "platform/shared/SharedLibrary.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quillon {

// The web engine's module, opened for a web app and kept for the life of
// the process: WebKit's libraries register exit handlers of their own.
class LoadedWebEngine {
public:
  // Where the module is: $QUILLON_WEBKIT_MODULE when set, otherwise where
  // the package installs it; nothing when no file is there.
  static std::optional<std::filesystem::path> locate();
  // Nothing, with why in error, when the module cannot be opened or made
  // no engine.
  static std::unique_ptr<LoadedWebEngine> open(const WebEngineSettings& settings,
                                               std::string& error);

  LoadedWebEngine(SharedLibrary library, std::unique_ptr<WebEngine> engine)
      : library_(std::move(library)), engine_(std::move(engine)) {}

  WebEngine& engine() { return *engine_; }

private:
  SharedLibrary library_;
  std::unique_ptr<WebEngine> engine_;
};

} // namespace quillon
