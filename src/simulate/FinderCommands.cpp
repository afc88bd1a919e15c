#include "simulate/FinderCommands.h"

#include "app/AppDelegate.h"
#include "finder/FileUrl.h"
#include "platform/sim/SimDesktop.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>

namespace quillon {

namespace {

constexpr std::string_view finderBundleIdentifier = "com.apple.finder";

std::optional<double> finiteNumber(std::string_view text) {
  const auto value = parseNumber<double>(text);
  return value && std::isfinite(*value) ? value : std::nullopt;
}

// A path in a script is the home folder's when it is not absolute.
std::filesystem::path scriptPath(ScriptContext& context, std::string_view text) {
  const std::filesystem::path path(text);
  if (path.is_absolute()) {
    return path.lexically_normal();
  }
  return (*context.desktop().directories().home() / path).lexically_normal();
}

void home(ScriptContext& context, std::string_view arguments) {
  const std::string_view path = trimmed(arguments);
  if (path.empty()) {
    context.error("home: expected a folder path");
    return;
  }
  if (!context.desktop().directories().setHome(std::filesystem::path(path))) {
    context.error("home: cannot make Desktop and Documents in " + quotedArgument(path));
  }
}

int finderProcess(SimDesktop& desktop) {
  for (const RunningApplication& running : desktop.workspace().runningApplications()) {
    if (running.bundleIdentifier == finderBundleIdentifier) {
      return running.processIdentifier;
    }
  }
  return desktop.bringToFront(std::string(finderBundleIdentifier));
}

// The path may hold spaces; the frame is the last four words.
void finderItem(ScriptContext& context, std::string_view arguments) {
  const auto parts = words(arguments);
  constexpr std::size_t frameWords = 4;
  std::optional<Rect> frame;
  if (parts.size() > frameWords) {
    std::array<std::optional<double>, frameWords> numbers;
    for (std::size_t index = 0; index < frameWords; ++index) {
      numbers[index] = finiteNumber(parts[parts.size() - frameWords + index]);
    }
    if (numbers[0] && numbers[1] && numbers[2] > 0 && numbers[3] > 0) {
      frame = Rect{{*numbers[0], *numbers[1]}, {*numbers[2], *numbers[3]}};
    }
  }
  if (!frame) {
    context.error("finder-item: expected PATH X Y W H with a positive width and height");
    return;
  }
  const std::string_view trimmedArguments = trimmed(arguments);
  const std::size_t pathEnd =
      static_cast<std::size_t>(parts[parts.size() - frameWords].data() - trimmedArguments.data());
  const std::filesystem::path path =
      scriptPath(context, trimmed(trimmedArguments.substr(0, pathEnd)));
  SimDesktop& desktop = context.desktop();
  desktop.applications().addFileElement(finderProcess(desktop), FileUrl::make(path), *frame);
}

void pointer(ScriptContext& context, std::string_view arguments) {
  const auto parts = words(arguments);
  const auto x = parts.size() >= 2 ? finiteNumber(parts[0]) : std::nullopt;
  const auto y = parts.size() >= 2 ? finiteNumber(parts[1]) : std::nullopt;
  const bool withCommand = parts.size() == 3 && parts[2] == "cmd";
  if (!x || !y || parts.size() > 3 || (parts.size() == 3 && !withCommand)) {
    context.error("pointer: expected X Y [cmd]");
    return;
  }
  SimDesktop& desktop = context.desktop();
  if (withCommand != desktop.keyboard().isDown(keycode::Command)) {
    if (withCommand) {
      desktop.keyboard().keyDown(keycode::Command);
    } else {
      desktop.keyboard().keyUp(keycode::Command);
    }
  }
  desktop.mouse().move({*x, *y});
}

void panel(ScriptContext& context, std::string_view) {
  const SimFloatingPanelRecord* record = context.desktop().userInterface().floatingPanel();
  nlohmann::ordered_json state;
  state["visible"] = record != nullptr && record->visible;
  state["folder"] = record == nullptr ? nlohmann::ordered_json(nullptr)
                                      : nlohmann::ordered_json(record->content.title);
  if (record == nullptr) {
    state["frame"] = nullptr;
  } else {
    const Rect frame = record->frame();
    state["frame"] = {frame.origin.x, frame.origin.y, frame.size.width, frame.size.height};
  }
  nlohmann::ordered_json entries = nlohmann::ordered_json::array();
  if (record != nullptr) {
    for (const auto& row : record->content.rows) {
      for (const PanelCell& cell : row) {
        entries.push_back(cell.name);
      }
    }
  }
  state["entries"] = std::move(entries);
  context.print(toOrderedJson(state));
}

void icon(ScriptContext& context, std::string_view arguments) {
  const std::string_view text = trimmed(arguments);
  if (text.empty()) {
    context.error("icon: expected a folder path");
    return;
  }
  SimDesktop& desktop = context.desktop();
  const std::filesystem::path folder = scriptPath(context, text);
  const auto image = desktop.fileIcons().customIconFile(folder);
  const auto info =
      desktop.extendedAttributes().read(folder, DesktopFolderIcons::FinderInfoAttribute);
  const bool flagged =
      info && info->size() > DesktopFolderIcons::FinderFlagsByte &&
      ((*info)[DesktopFolderIcons::FinderFlagsByte] & DesktopFolderIcons::HasCustomIconBit) != 0;
  nlohmann::ordered_json state;
  state["custom"] = image.has_value();
  state["image"] = image ? nlohmann::ordered_json(image->string()) : nullptr;
  state["flag"] = flagged;
  context.print(toOrderedJson(state));
}

// Whether writing at target stays inside home once links are followed:
// the text of a path says nothing about where a link in it leads.
bool staysInside(const std::filesystem::path& home, const std::filesystem::path& target) {
  std::error_code error;
  const std::filesystem::path root = std::filesystem::weakly_canonical(home, error);
  if (error) {
    return false;
  }
  // A link leading nowhere resolves to nothing, yet writing through it
  // would create its target, wherever that is.
  std::filesystem::path prefix = home;
  for (const std::filesystem::path& part : target.lexically_relative(home)) {
    prefix /= part;
    const auto kind = std::filesystem::symlink_status(prefix, error).type();
    if (kind == std::filesystem::file_type::symlink && !std::filesystem::exists(prefix, error)) {
      return false;
    }
  }
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
  if (error) {
    return false;
  }
  return std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end()).first ==
         root.end();
}

// Another application makes or touches a file in the home folder: the
// change is written to disk and then announced, as the system would report
// it to whoever watches the folder.
void touch(ScriptContext& context, std::string_view arguments) {
  const std::string_view relative = trimmed(arguments);
  SimDesktop& desktop = context.desktop();
  const auto home = desktop.directories().home();
  const auto path = home && !relative.empty() ? pathInside(*home, relative) : std::nullopt;
  if (!path) {
    context.error("touch: expected a path inside the home folder, not " + quotedArgument(relative));
    return;
  }
  const bool makesFolder = relative.ends_with('/');
  std::filesystem::path target = path->lexically_normal();
  if (!target.has_filename()) {
    target = target.parent_path();
  }
  if (!staysInside(*home, target)) {
    context.error("touch: " + quotedArgument(relative) + " leads outside the home folder");
    return;
  }
  std::error_code error;
  std::filesystem::create_directories(makesFolder ? target : target.parent_path(), error);
  if (!error && !makesFolder && !std::filesystem::exists(target, error)) {
    error = std::ofstream(target) ? std::error_code() : std::make_error_code(std::errc::io_error);
  }
  if (!error) {
    std::filesystem::last_write_time(
        target, std::chrono::file_clock::from_sys(desktop.clock().wallNow()), error);
  }
  if (error) {
    context.error("touch: cannot write " + quotedArgument(relative) + ": " + error.message());
    return;
  }
  desktop.fileEvents().changed({target});
}

} // namespace

void addFinderCommands(CommandTable& table) {
  using enum ScriptCommand::Arguments;
  using enum ScriptCommand::Launch;
  table.add("home", {.launch = NotNeeded, .run = home});
  table.add("finder-item", finderItem);
  table.add("pointer", pointer);
  table.add("panel", {.arguments = None, .run = panel});
  table.add("icon", icon);
  table.add("touch", {.launch = NotNeeded, .run = touch});
}

} // namespace quillon
