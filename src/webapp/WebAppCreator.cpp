#include "webapp/WebAppCreator.h"

#include "platform/Alerts.h"
#include "platform/AppWindows.h"
#include "platform/Bundle.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"
#include "platform/shared/PropertyListCodec.h"
#include "webapp/WebAppAddress.h"
#include "webapp/WebAppError.h"
#include "webapp/WebAppIdentifier.h"
#include "webapp/WebAppInfoPlist.h"

#include <fstream>
#include <system_error>

namespace quillon {

namespace {

constexpr std::string_view alreadyCreating =
    "A web app is already being created. Please wait until it finishes.";
constexpr std::string_view addressPlaceholder = "https://example.com";
constexpr std::string_view addressPrefill = "https://";

// Removes the staging folder on every way out of the build.
class StagingFolder {
public:
  explicit StagingFolder(std::filesystem::path path) : path_(std::move(path)) {
    std::filesystem::create_directories(path_);
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    throw WebAppError(WebAppError::Kind::platform, "Cannot write " + file.string());
  }
}

} // namespace

WebAppCreator::WebAppCreator(Platform& platform)
    : platform_(platform), icon_({platform.http, platform.imageDecoder, platform.webAppPackaging,
                                  platform.directories, platform.log}),
      installer_(platform.webAppPackaging, platform.appleScript, platform.directories,
                 platform.log) {}

void WebAppCreator::promptAndCreate() {
  platform_.appWindows.activateApplication();
  if (isCreating_) {
    showError(std::string(alreadyCreating));
    return;
  }
  const auto prompt = promptForURLAndName();
  if (!prompt) {
    return;
  }
  isCreating_ = true;
  // The creator lives as long as the menu-bar application, which outlives
  // any build it started.
  platform_.backgroundQueue.async([this, prompt = *prompt] {
    std::optional<std::filesystem::path> installed;
    std::string error;
    try {
      installed = createBundle(prompt.url, prompt.name);
    } catch (const std::exception& failure) {
      error = failure.what();
    }
    platform_.mainQueue.async(
        lifetime_.guard([this, installed, error] { finish(installed, error); }));
  });
}

void WebAppCreator::finish(const std::optional<std::filesystem::path>& installed,
                           const std::string& error) {
  isCreating_ = false;
  if (!installed) {
    showError(error);
    platform_.log.write("Quillon webapp: failed — " + error);
    return;
  }
  platform_.log.write("Quillon webapp: created " + installed->string());
  platform_.workspace.revealInFileManager(installed->string());
  platform_.webAppPackaging.launch(*installed);
}

std::optional<WebAppCreator::PromptResult> WebAppCreator::promptForURLAndName() {
  const Localization& text = platform_.localization;
  AlertRequest request;
  request.messageText = text.localized("Create web app");
  request.informativeText =
      text.localized("A standalone web app will be created in ~/Applications. Logins are saved "
                     "between launches inside this app (independent of Safari).");
  request.buttons = {text.localized("Create"), text.localized("Cancel")};
  request.accessorySize = {360, 60};
  request.fields = {
      {text.localized("URL:"),
       {{0, 32}, {60, 22}},
       {{65, 32}, {295, 24}},
       std::string(addressPrefill),
       std::string(addressPlaceholder)},
      {text.localized("Name:"), {{0, 0}, {60, 22}}, {{65, 0}, {295, 24}}, "", "My Web App"},
  };
  request.initialField = 0;
  const AlertResponse response = platform_.alerts.runModal(request);
  if (response.button != 0 || response.fieldTexts.size() != 2) {
    return std::nullopt;
  }
  const auto url = normalizeAddress(response.fieldTexts[0]);
  if (!url) {
    // An empty field or the bare pre-fill is a change of mind; anything else
    // was meant as an address and deserves an answer.
    const std::string_view typed = trimSpacesAndTabs(response.fieldTexts[0]);
    if (!typed.empty() && typed != addressPrefill) {
      platform_.log.write("Quillon webapp: address of " + std::to_string(typed.size()) +
                          " bytes is not a web address");
      showError(text.localized("The address is not a valid web address."));
    }
    return std::nullopt;
  }
  return PromptResult{*url, webAppName(response.fieldTexts[1], *url)};
}

std::filesystem::path WebAppCreator::createBundle(const std::string& url, const std::string& name) {
  if (const auto reason = unsafeBundleNameReason(name)) {
    throw WebAppError(WebAppError::Kind::unsafeName, *reason);
  }
  const StagingFolder staging(platform_.directories.temporary() /
                              ("QuillonWebApp-" + makeUuidString()));
  const std::filesystem::path bundle = staging.path() / (name + ".app");
  const std::filesystem::path contents = bundle / "Contents";
  const std::filesystem::path resources = contents / "Resources";
  std::filesystem::create_directories(contents / "MacOS");
  std::filesystem::create_directories(resources);

  const std::filesystem::path ownExecutable = platform_.bundle.executablePath();
  std::error_code error;
  if (ownExecutable.empty() || !std::filesystem::is_regular_file(ownExecutable, error)) {
    throw WebAppError::noOwnBinary();
  }
  const std::string executableName = webAppExecutableName(name);
  const std::filesystem::path executable = contents / "MacOS" / executableName;
  std::filesystem::copy_file(ownExecutable, executable);
  std::filesystem::permissions(executable, static_cast<std::filesystem::perms>(0755),
                               std::filesystem::perm_options::replace, error);
  copyLocalizations(resources);

  const bool iconAttached = icon_.downloadAndAttachIcon(url, resources);
  const std::string identifier = bundleIdentifierFor(name, executableName);
  const PropertyDictionary info = makeWebAppInfoDictionary(
      {name, executableName, url, identifier}, platform_.bundle.localizations(),
      prefersRussian(platform_.localization.preferredLanguages()), iconAttached);
  const auto serialized = serializePropertyList(info);
  if (!serialized) {
    throw WebAppError(WebAppError::Kind::platform,
                      "Info.plist cannot be written: " +
                          propertyListWriteProblem(info).value_or("unknown problem"));
  }
  writeFile(contents / "Info.plist", *serialized);
  installer_.adhocCodesign(bundle);
  platform_.webAppPackaging.clearQuarantine(bundle);
  const std::filesystem::path installed = installer_.installBundle(bundle, name);
  publish({installed, installed / "Contents" / "MacOS" / executableName, identifier, name,
           iconAttached});
  return installed;
}

// The identifier names the web app's settings, cookies and data: the one it
// replaces keeps its own, and a new one never shares another's.
std::string WebAppCreator::bundleIdentifierFor(const std::string& name,
                                               const std::string& executableName) const {
  std::vector<std::filesystem::path> folders{platform_.directories.systemApplications()};
  if (const auto user = platform_.directories.userApplications()) {
    folders.push_back(*user);
  }
  for (const std::filesystem::path& folder : folders) {
    if (auto replaced = installedWebAppIdentifier(folder / (name + ".app"))) {
      return std::move(*replaced);
    }
  }
  return uniqueWebAppIdentifier(executableName, installedWebAppIdentifiers(folders, name));
}

// The app is installed and opens either way; without its launcher the user
// only has to find it in the folder, so that is said, not raised.
void WebAppCreator::publish(const InstalledWebApp& app) {
  if (const auto problem = platform_.webAppPackaging.publish(app)) {
    platform_.log.write("Quillon webapp: no launcher for the new web app: " + *problem);
  }
}

void WebAppCreator::copyLocalizations(const std::filesystem::path& resources) {
  const auto ownResources = platform_.bundle.resourcePath();
  std::error_code error;
  if (!ownResources || !std::filesystem::is_directory(*ownResources, error)) {
    return;
  }
  for (const auto& entry : std::filesystem::directory_iterator(*ownResources, error)) {
    if (entry.path().extension() == ".lproj") {
      std::filesystem::copy(entry.path(), resources / entry.path().filename(),
                            std::filesystem::copy_options::recursive, error);
    }
  }
}

void WebAppCreator::showError(const std::string& message) {
  platform_.mainQueue.async(lifetime_.guard([this, message] {
    platform_.appWindows.activateApplication();
    const Localization& text = platform_.localization;
    AlertRequest request;
    request.messageText = text.localized("Couldn't create web app");
    request.informativeText = message;
    request.buttons = {text.localized("OK")};
    platform_.alerts.runModal(request);
  }));
}

} // namespace quillon
