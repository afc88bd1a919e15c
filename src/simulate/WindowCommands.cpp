#include "simulate/WindowCommands.h"

#include "platform/sim/SimDesktop.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"

#include <cmath>
#include <string>

namespace quillon {

namespace {

// The menu bar a display's visible frame leaves out unless a script says.
constexpr double menuBarHeight = 25;
// Longer delays are almost certainly a typo in a script.
constexpr double maximumDelaySeconds = 24 * 60 * 60;
// Where a launched application shows its first window.
constexpr Rect firstWindowFrame{{200, 150}, {800, 600}};

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) {
      return parts;
    }
    start = end + 1;
  }
}

std::optional<double> finiteNumber(std::string_view text) {
  const auto value = parseNumber<double>(trimmed(text));
  return value && std::isfinite(*value) ? value : std::nullopt;
}

std::optional<Rect> parseRect(const std::vector<std::string_view>& numbers) {
  if (numbers.size() != 4) {
    return std::nullopt;
  }
  std::array<double, 4> values{};
  for (std::size_t index = 0; index < values.size(); ++index) {
    const auto value = finiteNumber(numbers[index]);
    if (!value) {
      return std::nullopt;
    }
    values[index] = *value;
  }
  if (values[2] <= 0 || values[3] <= 0) {
    return std::nullopt;
  }
  return Rect{{values[0], values[1]}, {values[2], values[3]}};
}

std::optional<ScreenInfo> parseScreen(std::string_view text) {
  const auto frames = split(text, '/');
  if (frames.size() > 2) {
    return std::nullopt;
  }
  const auto frame = parseRect(split(frames[0], ','));
  if (!frame) {
    return std::nullopt;
  }
  if (frames.size() == 1) {
    const Size visible{frame->size.width, std::max(0.0, frame->size.height - menuBarHeight)};
    return ScreenInfo{*frame, {frame->origin, visible}};
  }
  const auto visible = parseRect(split(frames[1], ','));
  if (!visible) {
    return std::nullopt;
  }
  return ScreenInfo{*frame, *visible};
}

void screens(ScriptContext& context, std::string_view arguments) {
  std::vector<ScreenInfo> parsed;
  // No screens at all is a state a desktop can be in.
  if (!trimmed(arguments).empty()) {
    for (const std::string_view item : split(trimmed(arguments), ';')) {
      const auto screen = parseScreen(item);
      if (!screen) {
        context.error("screens: expected X,Y,W,H[/VX,VY,VW,VH];… with positive sizes, not " +
                      quotedArgument(trimmed(item)));
        return;
      }
      parsed.push_back(*screen);
    }
  }
  context.desktop().rearrangeScreens(std::move(parsed));
}

std::optional<int> frontmostProcess(ScriptContext& context) {
  const auto frontmost = context.desktop().workspace().frontmostApplication();
  return frontmost ? std::optional<int>(frontmost->processIdentifier) : std::nullopt;
}

SimWindow* focusedWindow(ScriptContext& context) {
  const auto processIdentifier = frontmostProcess(context);
  if (!processIdentifier) {
    return nullptr;
  }
  auto& windows = context.desktop().applications().application(*processIdentifier).windows;
  return windows.empty() ? nullptr : &windows.front();
}

void window(ScriptContext& context, std::string_view arguments) {
  const auto frame = parseRect(words(arguments));
  if (!frame) {
    context.error("window: expected X Y W H with a positive width and height");
    return;
  }
  const auto processIdentifier = frontmostProcess(context);
  if (!processIdentifier) {
    context.error("window: no application is frontmost");
    return;
  }
  SimApplications& applications = context.desktop().applications();
  if (SimWindow* focused = focusedWindow(context)) {
    applications.moveWindow(*focused, *frame);
    return;
  }
  applications.openWindow(*processIdentifier, *frame);
}

void frame(ScriptContext& context, std::string_view) {
  const SimWindow* focused = focusedWindow(context);
  if (focused == nullptr) {
    context.print("null");
    return;
  }
  const Rect rect = context.desktop().applications().frame(*focused);
  context.print(toJson(
      nlohmann::json::array({rect.origin.x, rect.origin.y, rect.size.width, rect.size.height})));
}

void level(ScriptContext& context, std::string_view) {
  const SimWindow* focused = focusedWindow(context);
  context.print(focused == nullptr ? "null" : std::to_string(focused->level));
}

void refuse(ScriptContext& context, std::string_view arguments) {
  const auto parts = words(arguments);
  if (parts.size() != 1) {
    context.error("ax-refuse: expected one attribute name");
    return;
  }
  const auto processIdentifier = frontmostProcess(context);
  if (!processIdentifier) {
    context.error("ax-refuse: no application is frontmost");
    return;
  }
  context.desktop()
      .applications()
      .application(*processIdentifier)
      .refusedAttributes.emplace(parts.front());
}

bool isRunning(ScriptContext& context, std::string_view bundleIdentifier) {
  for (const RunningApplication& running : context.desktop().workspace().runningApplications()) {
    if (running.bundleIdentifier == bundleIdentifier) {
      return true;
    }
  }
  return false;
}

void launch(ScriptContext& context, std::string_view arguments) {
  const auto parts = words(arguments);
  const auto delay = parts.size() == 2 ? finiteNumber(parts[1])
                                       : std::optional<double>(parts.size() == 1 ? 0 : -1);
  if (parts.empty() || parts.size() > 2 || !delay || *delay < 0 || *delay > maximumDelaySeconds) {
    context.error("launch: expected BUNDLE_ID [DELAY] with a delay from 0 to 86400 seconds");
    return;
  }
  if (isRunning(context, parts[0])) {
    context.error("launch: already running: " + quotedArgument(parts[0]));
    return;
  }
  SimDesktop& desktop = context.desktop();
  const int processIdentifier = desktop.bringToFront(std::string(parts[0]));
  desktop.applications().openWindowAfter(processIdentifier, Duration(*delay), firstWindowFrame);
}

nlohmann::json toJsonValue(const PropertyValue& value) {
  return std::visit(
      [](const auto& held) -> nlohmann::json {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, double>) {
          return std::isfinite(held) ? nlohmann::json(held) : nlohmann::json(nullptr);
        } else if constexpr (std::is_same_v<Held, WallTime>) {
          return std::chrono::duration<double>(held.time_since_epoch()).count();
        } else if constexpr (std::is_same_v<Held, SharedString>) {
          return held.str();
        } else if constexpr (std::is_same_v<Held, PropertyArray>) {
          nlohmann::json list = nlohmann::json::array();
          for (const PropertyValue& element : held) {
            list.push_back(toJsonValue(element));
          }
          return list;
        } else if constexpr (std::is_same_v<Held, PropertyDictionary>) {
          nlohmann::json object = nlohmann::json::object();
          for (const auto& [key, element] : held) {
            object[key] = toJsonValue(element);
          }
          return object;
        } else {
          return held;
        }
      },
      value.storage());
}

void defaults(ScriptContext& context, std::string_view arguments) {
  const auto parts = words(arguments);
  if (parts.size() != 2) {
    context.error("defaults: expected DOMAIN KEY");
    return;
  }
  const auto value = context.desktop().defaults().object(parts[0], parts[1]);
  context.print(value ? toJson(toJsonValue(*value)) : "null");
}

} // namespace

void addWindowCommands(CommandTable& table) {
  using enum ScriptCommand::Arguments;
  using enum ScriptCommand::Launch;
  table.add("screens", {.launch = NotNeeded, .run = screens});
  table.add("window", window);
  table.add("frame", {.arguments = None, .run = frame});
  table.add("level", {.arguments = None, .run = level});
  table.add("ax-refuse", refuse);
  table.add("launch", launch);
  table.add("wake", {.arguments = None, .run = [](ScriptContext& context, std::string_view) {
                       context.desktop().workspace().postWake();
                     }});
  table.add("screens-changed",
            {.arguments = None, .run = [](ScriptContext& context, std::string_view) {
               context.desktop().screens().postParametersChanged();
             }});
  table.add("defaults", defaults);
}

} // namespace quillon
