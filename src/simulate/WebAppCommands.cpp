#include "simulate/WebAppCommands.h"

#include "app/AppDelegate.h"
#include "app/EntryPoint.h"
#include "platform/shared/PropertyListCodec.h"
#include "platform/sim/LoopbackHttpServer.h"
#include "platform/sim/SimDesktop.h"
#include "simulate/CommandTable.h"
#include "simulate/ScriptSyntax.h"
#include "webapp/WebAppAddress.h"
#include "webapp/WebAppDelegate.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

namespace quillon {

namespace {

constexpr std::string_view cancelWord = "cancel";

// What the web-app commands keep between lines: the site http-root serves.
struct WebAppScriptState {
  std::unique_ptr<LoopbackHttpServer> site;
};

struct CreateArguments {
  std::string url;
  std::string name;
  bool cancel = false;
};

// URL, then the name to the end of the line (or as a JSON string, for a
// name ending in " cancel"), then an optional "cancel". Without a name the
// app is named after the address's host.
std::optional<CreateArguments> parseCreateArguments(std::string_view arguments) {
  std::string_view rest = trimmed(arguments);
  if (rest.empty()) {
    return std::nullopt;
  }
  const auto urlEnd = std::min(rest.find_first_of(" \t"), rest.size());
  CreateArguments parsed{std::string(rest.substr(0, urlEnd)), {}, false};
  rest = trimmed(rest.substr(urlEnd));
  if (rest.ends_with(cancelWord) &&
      (rest.size() == cancelWord.size() || rest[rest.size() - cancelWord.size() - 1] == ' ')) {
    parsed.cancel = true;
    rest = trimmed(rest.substr(0, rest.size() - cancelWord.size()));
  }
  if (rest.starts_with('"')) {
    const nlohmann::json name = nlohmann::json::parse(rest, nullptr, false);
    if (!name.is_string()) {
      return std::nullopt;
    }
    parsed.name = name.get<std::string>();
  } else {
    parsed.name = std::string(rest);
  }
  return parsed;
}

void webappCreate(const std::shared_ptr<WebAppScriptState>& state, ScriptContext& context,
                  std::string_view arguments) {
  const auto parsed = parseCreateArguments(arguments);
  if (!parsed) {
    context.error("webapp-create: expected URL NAME [cancel], got " + quotedArgument(arguments));
    return;
  }
  SimDesktop& desktop = context.desktop();
  if (state->site) {
    const auto address = normalizeAddress(parsed->url);
    const auto parts = address ? parseUrlParts(*address) : std::nullopt;
    if (parts && parts->host) {
      desktop.http().mapHost(*parts->host, state->site->origin());
    }
  }
  desktop.alerts().takeShown();
  const std::size_t revealedBefore = desktop.workspace().revealedPaths().size();
  desktop.alerts().scriptAnswer(
      {parsed->cancel ? "Cancel" : "Create", std::vector{parsed->url, parsed->name}});
  context.application().webAppCreator().promptAndCreate();
  context.settle();
  const auto& revealed = desktop.workspace().revealedPaths();
  if (revealed.size() > revealedBefore) {
    context.print(toJson(revealed.back()));
    return;
  }
  for (const AlertRequest& alert : desktop.alerts().takeShown()) {
    if (alert.messageText == "Couldn't create web app") {
      context.print(toJson(alert.messageText + ": " + alert.informativeText));
      return;
    }
  }
  context.print("null");
}

void admin(ScriptContext& context, std::string_view arguments) {
  const std::string_view answer = trimmed(arguments);
  if (answer != "allow" && answer != "deny") {
    context.error("admin: expected allow or deny, got " + quotedArgument(arguments));
    return;
  }
  context.desktop().appleScript().answerNextAdminPrompt(
      answer == "allow" ? SimAppleScript::AdminAnswer::Allow : SimAppleScript::AdminAnswer::Deny);
}

void httpRoot(const std::shared_ptr<WebAppScriptState>& state, ScriptContext& context,
              std::string_view arguments) {
  const std::filesystem::path folder{std::string(trimmed(arguments))};
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_directory(folder, error)) {
    context.error("http-root: no folder " + quotedArgument(arguments));
    return;
  }
  auto site = std::make_unique<LoopbackHttpServer>(
      LoopbackHttpServer::serveFolder(std::filesystem::absolute(folder)));
  if (site->port() == 0) {
    context.error("http-root: cannot listen on 127.0.0.1");
    return;
  }
  state->site = std::move(site);
}

// The executable a bundle names, when it names a plain file of its own.
std::optional<std::filesystem::path> bundleExecutable(const std::filesystem::path& bundle) {
  std::ifstream file(bundle / "Contents" / "Info.plist", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto info = parsePropertyList(bytes);
  const auto* dictionary = info ? info->get<PropertyDictionary>() : nullptr;
  if (dictionary == nullptr) {
    return std::nullopt;
  }
  const auto found = dictionary->find("CFBundleExecutable");
  const auto name = found == dictionary->end() ? std::nullopt : found->second.asString();
  if (!name || name->empty() || name->find('/') != std::string::npos || *name == "." ||
      *name == "..") {
    return std::nullopt;
  }
  return bundle / "Contents" / "MacOS" / *name;
}

// The bundle's executable started on a desktop of its own that shares this
// one's defaults, so a web app keeps its zoom and blocking choice between
// runs.
void runBundle(ScriptContext& context, std::string_view arguments) {
  const std::filesystem::path bundle{std::string(trimmed(arguments))};
  const auto executable = bundleExecutable(bundle);
  std::error_code error;
  if (!executable || !std::filesystem::is_regular_file(*executable, error)) {
    context.error("run-bundle: no executable in the bundle " + quotedArgument(arguments));
    return;
  }
  SimDesktop::Options options;
  options.executablePath = *executable;
  options.defaultsRoot = context.desktop().defaultsRoot();
  SimDesktop desktop(options);
  const std::vector<std::string> processArguments{executable->string()};
  if (selectProcessMode(processArguments, desktop.bundle().infoDictionary()) !=
      ProcessMode::WebApp) {
    context.error("run-bundle: not a web app " + quotedArgument(arguments));
    return;
  }
  WebAppDelegate webApp(desktop.platform());
  desktop.application().setActivationPolicy(activationPolicyFor(ProcessMode::WebApp));
  desktop.application().run(webApp);
  desktop.runUntilIdle();
  nlohmann::ordered_json shown{
      {"title", nullptr}, {"url", nullptr}, {"ruleLists", nlohmann::json::array()}};
  if (const auto& window = desktop.appWindows().lastWindow()) {
    shown["title"] = window->title;
  }
  if (const auto& view = desktop.webViews().lastView()) {
    if (!view->loads.empty()) {
      shown["url"] = view->loads.back();
    }
    shown["ruleLists"] = view->ruleLists;
  }
  context.print(toOrderedJson(shown));
}

} // namespace

void addWebAppCommands(CommandTable& table) {
  auto state = std::make_shared<WebAppScriptState>();
  table.add("webapp-create", [state](ScriptContext& context, std::string_view arguments) {
    webappCreate(state, context, arguments);
  });
  table.add("admin", {.launch = ScriptCommand::Launch::NotNeeded, .run = admin});
  table.add("http-root", {.launch = ScriptCommand::Launch::NotNeeded,
                          .run = [state](ScriptContext& context, std::string_view arguments) {
                            httpRoot(state, context, arguments);
                          }});
  table.add("run-bundle", runBundle);
}

} // namespace quillon
