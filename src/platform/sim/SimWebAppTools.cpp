#include "platform/sim/SimWebAppTools.h"

#include "platform/shared/IcnsFile.h"

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

} // namespace quillon
