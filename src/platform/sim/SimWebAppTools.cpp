#include "platform/sim/SimWebAppTools.h"

#include "platform/shared/IcnsFile.h"
#include "text/Unicode.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace quillon {

namespace {

std::optional<std::string> readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  return std::string(std::istreambuf_iterator<char>(in), {});
}

SimProcesses::ToolResult failure(std::string message) {
  return {1, {}, std::move(message) + "\n", nullptr};
}

} // namespace

SimWebAppTools::SimWebAppTools(SimProcesses& processes) {
  processes.registerTool(std::string(Iconutil), iconutil);
  processes.registerTool(std::string(Codesign), codesign);
  processes.registerTool(std::string(Xattr), [](const std::vector<std::string>&) {
    return SimProcesses::ToolResult{};
  });
}

std::optional<std::string> SimWebAppTools::infoPlistDigest(const std::filesystem::path& bundle) {
  const auto bytes = readText(bundle / "Contents" / "Info.plist");
  if (!bytes) {
    return std::nullopt;
  }
  return std::to_string(std::hash<std::string>{}(*bytes));
}

std::optional<std::string> SimWebAppTools::signedDigest(const std::filesystem::path& bundle) {
  return readText(bundle / "Contents" / "_CodeSignature" / "CodeResources");
}

SimProcesses::ToolResult SimWebAppTools::iconutil(const std::vector<std::string>& arguments) {
  if (arguments.size() != 5 || arguments[0] != "-c" || arguments[1] != "icns" ||
      arguments[3] != "-o") {
    return failure("Usage: iconutil -c icns <iconset> -o <file>");
  }
  if (const auto problem = writeIcnsFromIconset(arguments[2], arguments[4])) {
    return failure(arguments[2] + ": " + *problem);
  }
  return {};
}

SimProcesses::ToolResult SimWebAppTools::codesign(const std::vector<std::string>& arguments) {
  if (arguments.size() != 5 || arguments[0] != "--deep" || arguments[1] != "--force" ||
      arguments[2] != "--sign" || arguments[3] != "-") {
    return failure("Usage: codesign --deep --force --sign - <bundle>");
  }
  const std::filesystem::path bundle = arguments[4];
  const auto digest = infoPlistDigest(bundle);
  if (!digest) {
    return failure(bundle.string() + ": code object is not signed at all");
  }
  std::error_code error;
  const std::filesystem::path folder = bundle / "Contents" / "_CodeSignature";
  std::filesystem::create_directories(folder, error);
  std::ofstream out(folder / "CodeResources", std::ios::trunc);
  out << *digest;
  if (!out) {
    return failure(bundle.string() + ": cannot write the signature");
  }
  return {};
}

std::vector<AppIconImage> SimWebAppPackaging::iconImages() const {
  return {{16, "icon_16x16.png"},       {32, "icon_16x16@2x.png"},    {32, "icon_32x32.png"},
          {64, "icon_32x32@2x.png"},    {128, "icon_128x128.png"},    {256, "icon_128x128@2x.png"},
          {256, "icon_256x256.png"},    {512, "icon_256x256@2x.png"}, {512, "icon_512x512.png"},
          {1024, "icon_512x512@2x.png"}};
}

SimWebAppPackaging::Outcome SimWebAppPackaging::run(std::string_view tool,
                                                    std::vector<std::string> arguments) {
  SpawnResult started =
      processes_.spawn({std::string(tool), std::move(arguments), true, true, nullptr});
  if (!started.process) {
    return {false, -1, started.error};
  }
  const auto status = started.process->waitForExit();
  std::string error = started.process->capturedError();
  if (!decodeUtf8(error)) {
    error.clear();
  }
  return {true, status.value_or(-1), std::move(error)};
}

bool SimWebAppPackaging::makeAppIcon(const std::filesystem::path& images,
                                     const std::filesystem::path& resources) {
  const std::filesystem::path output = resources / IconFileName;
  const Outcome outcome =
      run(SimWebAppTools::Iconutil, {"-c", "icns", images.string(), "-o", output.string()});
  std::error_code error;
  return outcome.started && outcome.status == 0 && std::filesystem::exists(output, error);
}

std::optional<SealFailure> SimWebAppPackaging::seal(const std::filesystem::path& bundle) {
  const Outcome outcome =
      run(SimWebAppTools::Codesign, {"--deep", "--force", "--sign", "-", bundle.string()});
  if (!outcome.started) {
    return SealFailure{SealFailure::Kind::NotStarted,
                       "The tool " + std::string(SimWebAppTools::Codesign) +
                           " could not be started: " + outcome.standardError};
  }
  if (outcome.status != 0) {
    return SealFailure{SealFailure::Kind::Refused, outcome.standardError};
  }
  return std::nullopt;
}

// A bundle that keeps its quarantine flag still opens, after a question, so
// neither a tool that cannot start nor its status matters.
void SimWebAppPackaging::clearQuarantine(const std::filesystem::path& bundle) {
  run(SimWebAppTools::Xattr, {"-dr", "com.apple.quarantine", bundle.string()});
}

} // namespace quillon
