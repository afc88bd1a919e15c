#pragma once

// The seam between the product and the web engine it loads only in web-app
// mode: everything here is plain C++, so the menu-bar process, which never
// loads the engine, never maps its libraries either.

#include "platform/AppWindows.h"
#include "platform/Application.h"
#include "platform/Log.h"
#include "platform/WebViews.h"

#include <filesystem>
#include <string>

namespace quillon {

struct WebEngineSettings {
  Log& log;
  Application& application;
  // Cookies, storage and compiled rule lists of this one web app.
  std::filesystem::path dataFolder;
  std::filesystem::path cacheFolder;
};

// The windows and views of one web app, made by the engine's module.
class WebEngine {
public:
  virtual ~WebEngine() = default;
  virtual WebViews& webViews() = 0;
  virtual AppWindows& appWindows() = 0;
};

// The one symbol the module exports; the caller owns what it returns.
using OpenWebEngineFunction = WebEngine* (*)(const WebEngineSettings* settings);
inline constexpr const char* OpenWebEngineSymbol = "quillon_open_web_engine";
inline constexpr const char* WebEngineModuleName = "quillon-webkit.so";

} // namespace quillon
