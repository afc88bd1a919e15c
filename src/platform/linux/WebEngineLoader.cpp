#include "platform/linux/WebEngineLoader.h"

#include <cstdlib>
#include <system_error>

#ifndef QUILLON_MODULE_DIR
#error "the build passes the folder the web engine's module is installed in"
#endif

namespace quillon {

namespace {

constexpr const char* moduleVariable = "QUILLON_WEBKIT_MODULE";

} // namespace

std::optional<std::filesystem::path> LoadedWebEngine::locate() {
  const char* chosen = std::getenv(moduleVariable);
  const std::filesystem::path module =
      chosen != nullptr && *chosen == '/'
          ? std::filesystem::path(chosen)
          : std::filesystem::path(QUILLON_MODULE_DIR) / WebEngineModuleName;
  std::error_code error;
  if (!std::filesystem::is_regular_file(module, error)) {
    return std::nullopt;
  }
  return module;
}

std::unique_ptr<LoadedWebEngine> LoadedWebEngine::open(const WebEngineSettings& settings,
                                                       std::string& error) {
  const auto module = locate();
  if (!module) {
    error = std::string("the web engine's module ") + WebEngineModuleName + " is not installed";
    return nullptr;
  }
  auto library = SharedLibrary::open(module->string(), SharedLibrary::Unloading::Never, error);
  if (!library) {
    return nullptr;
  }
  OpenWebEngineFunction openEngine = nullptr;
  if (!library->find(OpenWebEngineSymbol, openEngine, error)) {
    return nullptr;
  }
  std::unique_ptr<WebEngine> engine(openEngine(&settings));
  if (!engine) {
    error = "the web engine's module made no engine";
    return nullptr;
  }
  return std::make_unique<LoadedWebEngine>(std::move(*library), std::move(engine));
}

} // namespace quillon
