#include "platform/linux/LinuxWebAppPackaging.h"

#include <fstream>
#include <glib.h>
#include <spawn.h>
#include <sstream>
#include <system_error>

extern char** environ;

namespace quillon {

namespace {

// The sizes the hicolor theme keeps application icons at.
constexpr int hicolorSizes[] = {16, 22, 24, 32, 48, 64, 96, 128, 256, 512};
constexpr std::string_view fallbackIcon = "applications-internet";
constexpr std::string_view launcherSuffix = ".desktop";

std::string pictureName(int pixels) {
  return std::to_string(pixels) + "x" + std::to_string(pixels) + ".png";
}

// A value of the string kinds: the escapes the format reads back.
std::string escapedValue(std::string_view text) {
  std::string escaped;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\t') {
      escaped += "\\t";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == ' ' && at == 0) {
      escaped += "\\s";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string unescapedValue(std::string_view text) {
  std::string plain;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '\\' || at + 1 == text.size()) {
      plain += text[at];
      continue;
    }
    const char next = text[++at];
    plain += next == 'n'   ? '\n'
             : next == 't' ? '\t'
             : next == 'r' ? '\r'
             : next == 's' ? ' '
                           : next;
  }
  return plain;
}

// One argument of Exec, quoted so that no character of a path (spaces,
// quotes, dollars, percent signs) is read as anything but itself.
std::string execArgument(const std::string& path) {
  std::string quoted = "\"";
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted += '\\';
    }
    if (c == '%') {
      quoted += '%';
    }
    quoted += c;
  }
  return quoted + "\"";
}

std::optional<std::string> writeAtomically(const std::filesystem::path& file,
                                           const std::string& text) {
  const std::filesystem::path temporary =
      file.parent_path() / std::string(".").append(file.filename().string()).append(".tmp");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      return "cannot write " + temporary.string();
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, file, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return "cannot put the launcher in place at " + file.string();
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> bundleOfLauncher(const std::filesystem::path& launcher) {
  std::ifstream in(launcher);
  const std::string prefix = std::string(LinuxWebAppPackaging::BundleKey) + "=";
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(prefix)) {
      return std::filesystem::path(unescapedValue(std::string_view(line).substr(prefix.size())));
    }
  }
  return std::nullopt;
}

} // namespace

bool isSafeWebAppIdentifier(std::string_view identifier) {
  return !identifier.empty() && identifier != "." && identifier != ".." &&
         identifier.find('/') == std::string_view::npos &&
         identifier.find('\0') == std::string_view::npos && identifier.front() != '.';
}

std::string desktopEntryText(const InstalledWebApp& app) {
  std::ostringstream text;
  text << "[Desktop Entry]\n"
       << "Type=Application\n"
       << "Version=1.0\n"
       << "Name=" << escapedValue(app.name) << "\n"
       << "Exec=" << escapedValue(execArgument(app.executable.string())) << "\n"
       << "Icon=" << (app.hasIcon ? escapedValue(app.identifier) : std::string(fallbackIcon))
       << "\n"
       << "StartupWMClass=" << escapedValue(app.identifier) << "\n"
       << "StartupNotify=true\n"
       << "Categories=Network;\n"
       << LinuxWebAppPackaging::BundleKey << "=" << escapedValue(app.bundle.string()) << "\n";
  return text.str();
}

std::vector<AppIconImage> LinuxWebAppPackaging::iconImages() const {
  std::vector<AppIconImage> images;
  for (const int pixels : hicolorSizes) {
    images.push_back({pixels, pictureName(pixels)});
  }
  return images;
}

bool LinuxWebAppPackaging::makeAppIcon(const std::filesystem::path& images,
                                       const std::filesystem::path& resources) {
  const std::filesystem::path folder = resources / IconFolderName;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return false;
  }
  for (const AppIconImage& image : iconImages()) {
    std::filesystem::copy_file(images / image.fileName, folder / image.fileName,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
      std::filesystem::remove_all(folder, error);
      return false;
    }
  }
  return true;
}

std::optional<std::string> LinuxWebAppPackaging::publishIcons(const InstalledWebApp& app) {
  const std::filesystem::path pictures =
      app.bundle / "Contents" / "Resources" / std::string(IconFolderName);
  for (const int pixels : hicolorSizes) {
    const std::filesystem::path target = folders_->icon(pixels, app.identifier);
    std::error_code error;
    std::filesystem::create_directories(target.parent_path(), error);
    std::filesystem::copy_file(pictures / pictureName(pixels), target,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
      return "cannot write the icon " + target.string() + ": " + error.message();
    }
  }
  // Icon themes look again only at folders whose time changed.
  std::error_code ignored;
  std::filesystem::last_write_time(folders_->hicolor(),
                                   std::filesystem::file_time_type::clock::now(), ignored);
  return std::nullopt;
}

std::optional<std::string> LinuxWebAppPackaging::publish(const InstalledWebApp& app) {
  if (!folders_) {
    return "neither XDG_DATA_HOME nor HOME names a folder";
  }
  if (!isSafeWebAppIdentifier(app.identifier)) {
    return "the identifier cannot name a file";
  }
  withdrawOrphans();
  if (app.hasIcon) {
    if (auto problem = publishIcons(app)) {
      return problem;
    }
  }
  std::error_code error;
  std::filesystem::create_directories(folders_->applications(), error);
  InstalledWebApp launched = app;
  // GIO looks for the program before it reads "%%" back as "%", so menus
  // built on it would drop a launcher whose path holds one; a link of the
  // app's own, by an identifier that never does, stands in for the path.
  if (app.executable.string().find('%') != std::string::npos) {
    const std::filesystem::path link = folders_->websiteData(app.identifier).parent_path() / "run";
    std::filesystem::create_directories(link.parent_path(), error);
    std::filesystem::remove(link, error);
    std::filesystem::create_symlink(app.executable, link, error);
    if (error) {
      return "cannot link the web app's program: " + error.message();
    }
    launched.executable = link;
  }
  if (auto problem =
          writeAtomically(folders_->launcher(app.identifier), desktopEntryText(launched))) {
    return problem;
  }
  log_.write("Quillon webapp: launcher written for " + app.identifier);
  return std::nullopt;
}

void LinuxWebAppPackaging::withdraw(const std::string& identifier) {
  if (!folders_ || !isSafeWebAppIdentifier(identifier)) {
    return;
  }
  std::error_code ignored;
  // The launcher goes first: a menu entry without its icon is better than
  // an entry that runs nothing.
  std::filesystem::remove(folders_->launcher(identifier), ignored);
  for (const int pixels : hicolorSizes) {
    std::filesystem::remove(folders_->icon(pixels, identifier), ignored);
  }
  log_.write("Quillon webapp: launcher removed for " + identifier);
}

void LinuxWebAppPackaging::withdrawOrphans() {
  std::error_code error;
  std::vector<std::string> orphans;
  for (const auto& entry : std::filesystem::directory_iterator(folders_->applications(), error)) {
    const std::filesystem::path& file = entry.path();
    if (file.extension() != launcherSuffix) {
      continue;
    }
    const auto bundle = bundleOfLauncher(file);
    std::error_code missing;
    if (bundle && !std::filesystem::exists(*bundle, missing) && !missing) {
      orphans.push_back(file.stem().string());
    }
  }
  for (const std::string& identifier : orphans) {
    withdraw(identifier);
  }
}

bool LinuxWebAppPackaging::launch(const std::filesystem::path& bundle) {
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(bundle / "Contents" / "MacOS", error)) {
    if (!entry.is_regular_file(error)) {
      continue;
    }
    const std::string executable = entry.path().string();
    std::vector<char*> arguments{const_cast<char*>(executable.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, executable.c_str(), nullptr, nullptr, arguments.data(), environ) != 0) {
      log_.write("Quillon webapp: the new web app could not be started");
      return false;
    }
    // The web app lives on its own; the main loop only reaps it.
    g_child_watch_add(
        child, [](GPid, gint, gpointer) {}, nullptr);
    return true;
  }
  return false;
}

} // namespace quillon
