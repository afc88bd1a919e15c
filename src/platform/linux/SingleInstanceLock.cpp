#include "platform/linux/SingleInstanceLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr std::string_view filePrefix = "display-";
constexpr std::size_t pidTextLimit = 32;

// Hosts that name the local server, the same one a bare ":N" reaches.
bool isLocalHost(std::string_view host) {
  return host.empty() || host == "unix" || host == "localhost";
}

// The display name comes from the environment: only plain characters reach
// the file system.
std::string sanitized(std::string_view text) {
  std::string result;
  for (const char character : text) {
    const bool plain =
        (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') ||
        (character >= '0' && character <= '9') || character == '-' || character == '_';
    result += plain ? character : '_';
  }
  return result;
}

std::optional<long> readHolder(int descriptor) {
  char text[pidTextLimit] = {};
  const ssize_t count = pread(descriptor, text, sizeof text - 1, 0);
  if (count <= 0) {
    return std::nullopt;
  }
  char* end = nullptr;
  const long pid = std::strtol(text, &end, 10);
  if (end == text || pid <= 0) {
    return std::nullopt;
  }
  return pid;
}

void writeHolder(int descriptor) {
  const std::string text = std::to_string(static_cast<long>(getpid())) + "\n";
  if (ftruncate(descriptor, 0) == 0) {
    // Only a courtesy for the message of a second start; the lock is what
    // counts.
    [[maybe_unused]] const ssize_t written = pwrite(descriptor, text.data(), text.size(), 0);
  }
}

} // namespace

std::string displayFileStem(std::string_view displayName) {
  const auto colon = displayName.rfind(':');
  if (colon == std::string_view::npos) {
    return std::string(filePrefix) + sanitized(displayName);
  }
  const std::string_view host = displayName.substr(0, colon);
  std::string_view number = displayName.substr(colon + 1);
  // The screen after the dot belongs to the same server.
  number = number.substr(0, number.find('.'));
  std::string stem(filePrefix);
  if (!isLocalHost(host)) {
    stem += sanitized(host) + "-";
  }
  return stem + sanitized(number);
}

SingleInstanceLock::Attempt SingleInstanceLock::acquire(const std::filesystem::path& folder,
                                                        std::string_view displayName) {
  Attempt attempt;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    attempt.error = "cannot create " + folder.string() + ": " + error.message();
    return attempt;
  }
  const auto path = folder / fileNameFor(displayName);
  // Close-on-exec: a child that inherited the descriptor would keep the lock
  // after this process died.
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0) {
    attempt.error = "cannot open " + path.string() + ": " + std::strerror(errno);
    return attempt;
  }
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    const int reason = errno;
    if (reason == EWOULDBLOCK) {
      attempt.heldByAnother = true;
      attempt.holder = readHolder(descriptor);
    } else {
      attempt.error = "cannot lock " + path.string() + ": " + std::strerror(reason);
    }
    ::close(descriptor);
    return attempt;
  }
  writeHolder(descriptor);
  attempt.lock = std::make_unique<SingleInstanceLock>(Key(), descriptor);
  return attempt;
}

SingleInstanceLock::~SingleInstanceLock() {
  ::close(descriptor_);
}

} // namespace quillon
