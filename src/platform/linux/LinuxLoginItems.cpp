#include "platform/linux/LinuxLoginItems.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace quillon {

namespace {

constexpr std::string_view entryFileName = "quillon.desktop";
constexpr std::string_view temporarySuffix = ".new";
constexpr std::string_view noFolderFailure = "no autostart folder: neither XDG_CONFIG_HOME "
                                             "nor HOME names one";
// A user who turns the entry off in a session's settings gets one of these
// lines written rather than the file removed.
constexpr std::string_view hiddenLine = "Hidden=true";
constexpr std::string_view gnomeDisabledLine = "X-GNOME-Autostart-enabled=false";

// One argument of an Exec line: quoted when it holds anything the launcher
// would split or expand, with the characters that stay special inside quotes
// escaped.
std::string execArgument(const std::string& argument) {
  constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
  const bool needsQuotes = argument.find_first_of(reserved) != std::string::npos;
  std::string quoted;
  for (const char character : argument) {
    if (needsQuotes &&
        (character == '"' || character == '`' || character == '$' || character == '\\')) {
      quoted += '\\';
    }
    quoted += character;
  }
  return needsQuotes ? '"' + quoted + '"' : quoted;
}

// A string value of a desktop entry: backslashes and line breaks escaped,
// and a literal percent sign doubled, since Exec expands %-codes.
std::string execValue(const std::string& command) {
  std::string value;
  for (const char character : command) {
    switch (character) {
    case '\\':
      value += "\\\\";
      break;
    case '\n':
      value += "\\n";
      break;
    case '\t':
      value += "\\t";
      break;
    case '\r':
      value += "\\r";
      break;
    case '%':
      value += "%%";
      break;
    default:
      value += character;
    }
  }
  return value;
}

std::string errnoText(std::string_view what, const std::filesystem::path& path) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

std::optional<LoginItemFailure> writeWhole(const std::filesystem::path& file,
                                           const std::string& text) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    return LoginItemFailure{errnoText("could not create", file)};
  }
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t result = ::write(fd, text.data() + written, text.size() - written);
    if (result < 0 && errno == EINTR) {
      continue;
    }
    if (result < 0) {
      const LoginItemFailure failure{errnoText("could not write", file)};
      ::close(fd);
      return failure;
    }
    written += static_cast<std::size_t>(result);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    return LoginItemFailure{errnoText("could not write", file)};
  }
  return std::nullopt;
}

bool containsLine(const std::filesystem::path& file, std::string_view wanted) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line == wanted) {
      return true;
    }
  }
  return false;
}

} // namespace

LinuxLoginItems::LinuxLoginItems(std::optional<std::filesystem::path> autostartDirectory,
                                 std::filesystem::path executable)
    : autostartDirectory_(std::move(autostartDirectory)), executable_(std::move(executable)) {}

std::string LinuxLoginItems::desktopEntry(const std::filesystem::path& executable) {
  std::ostringstream entry;
  entry << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=Quillon\n"
        << "Comment=English and Russian layout correction, keyboard remaps and window snapping\n"
        << "Exec=" << execValue(execArgument(executable.string())) << "\n"
        << "Terminal=false\n"
        << "X-GNOME-Autostart-enabled=true\n";
  return entry.str();
}

std::optional<std::filesystem::path> LinuxLoginItems::entryFile() const {
  if (!autostartDirectory_) {
    return std::nullopt;
  }
  return *autostartDirectory_ / entryFileName;
}

LoginItemStatus LinuxLoginItems::status() const {
  const auto file = entryFile();
  std::error_code error;
  if (!file || !std::filesystem::is_regular_file(*file, error)) {
    return LoginItemStatus::NotRegistered;
  }
  const bool turnedOff = containsLine(*file, hiddenLine) || containsLine(*file, gnomeDisabledLine);
  return turnedOff ? LoginItemStatus::NotRegistered : LoginItemStatus::Enabled;
}

std::optional<LoginItemFailure> LinuxLoginItems::registerApplication() {
  const auto file = entryFile();
  if (!file) {
    return LoginItemFailure{std::string(noFolderFailure)};
  }
  std::error_code error;
  std::filesystem::create_directories(*autostartDirectory_, error);
  if (error) {
    return LoginItemFailure{"could not create " + autostartDirectory_->string() + ": " +
                            error.message()};
  }
  std::filesystem::path temporary = *file;
  temporary += temporarySuffix;
  if (auto failure = writeWhole(temporary, desktopEntry(executable_))) {
    ::unlink(temporary.c_str());
    return failure;
  }
  if (::rename(temporary.c_str(), file->c_str()) != 0) {
    const LoginItemFailure failure{errnoText("could not replace", *file)};
    ::unlink(temporary.c_str());
    return failure;
  }
  return std::nullopt;
}

std::optional<LoginItemFailure> LinuxLoginItems::unregisterApplication() {
  const auto file = entryFile();
  if (!file) {
    return LoginItemFailure{std::string(noFolderFailure)};
  }
  if (::unlink(file->c_str()) != 0 && errno != ENOENT) {
    return LoginItemFailure{errnoText("could not remove", *file)};
  }
  return std::nullopt;
}

} // namespace quillon
