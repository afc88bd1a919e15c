#include "platform/shared/DefaultsFileSystem.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace quillon {

PosixDefaultsFileSystem& PosixDefaultsFileSystem::shared() {
  static PosixDefaultsFileSystem calls;
  return calls;
}

int PosixDefaultsFileSystem::open(const std::filesystem::path& path, int flags, mode_t mode) {
  return ::open(path.c_str(), flags, mode);
}

ssize_t PosixDefaultsFileSystem::read(int fd, void* buffer, std::size_t size) {
  return ::read(fd, buffer, size);
}

ssize_t PosixDefaultsFileSystem::write(int fd, const void* bytes, std::size_t size) {
  return ::write(fd, bytes, size);
}

int PosixDefaultsFileSystem::fstat(int fd, struct stat* info) {
  return ::fstat(fd, info);
}

int PosixDefaultsFileSystem::fsync(int fd) {
  return ::fsync(fd);
}

int PosixDefaultsFileSystem::close(int fd) {
  return ::close(fd);
}

int PosixDefaultsFileSystem::rename(const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str());
}

int PosixDefaultsFileSystem::renameNoReplace(const std::filesystem::path& from,
                                             const std::filesystem::path& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
}

int PosixDefaultsFileSystem::link(const std::filesystem::path& from,
                                  const std::filesystem::path& to) {
  return ::link(from.c_str(), to.c_str());
}

int PosixDefaultsFileSystem::unlink(const std::filesystem::path& path) {
  return ::unlink(path.c_str());
}

int PosixDefaultsFileSystem::mkdir(const std::filesystem::path& path, mode_t mode) {
  return ::mkdir(path.c_str(), mode);
}

std::optional<std::filesystem::path>
PosixDefaultsFileSystem::readLink(const std::filesystem::path& path) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) {
      return std::nullopt;
    }
    if (static_cast<std::size_t>(length) < target.size()) {
      target.resize(static_cast<std::size_t>(length));
      return std::filesystem::path(target);
    }
    target.resize(target.size() * 2);
  }
}

std::optional<std::vector<std::string>>
PosixDefaultsFileSystem::list(const std::filesystem::path& folder) {
  struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
  };
  const std::unique_ptr<DIR, DirClose> dir(::opendir(folder.c_str()));
  if (!dir) {
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) {
        return std::nullopt;
      }
      return names;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      names.emplace_back(name);
    }
  }
}

pid_t PosixDefaultsFileSystem::processId() {
  return ::getpid();
}

bool PosixDefaultsFileSystem::processExists(pid_t process) {
  return ::kill(process, 0) == 0 || errno == EPERM;
}

} // namespace quillon
