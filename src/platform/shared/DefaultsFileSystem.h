#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace quillon {

// The file-system calls the defaults store makes, one for one with POSIX: each answers as
// its namesake does, with errno set on failure. Through it a test can watch the order of
// a save's steps, or make any one of them fail.
class DefaultsFileSystem {
public:
  virtual ~DefaultsFileSystem() = default;

  virtual int open(const std::filesystem::path& path, int flags, mode_t mode) = 0;
  virtual ssize_t read(int fd, void* buffer, std::size_t size) = 0;
  virtual ssize_t write(int fd, const void* bytes, std::size_t size) = 0;
  virtual int fstat(int fd, struct stat* info) = 0;
  virtual int fsync(int fd) = 0;
  virtual int close(int fd) = 0;
  virtual int rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // rename that fails with EEXIST rather than replace `to` (renameat2 RENAME_NOREPLACE).
  virtual int renameNoReplace(const std::filesystem::path& from,
                              const std::filesystem::path& to) = 0;
  virtual int link(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  virtual int unlink(const std::filesystem::path& path) = 0;
  virtual int mkdir(const std::filesystem::path& path, mode_t mode) = 0;
  // What a symbolic link points at, as written in it; nullopt with errno EINVAL when
  // `path` is not a link.
  virtual std::optional<std::filesystem::path> readLink(const std::filesystem::path& path) = 0;
  // The names in a folder, without "." and ".."; nullopt with errno set on failure.
  virtual std::optional<std::vector<std::string>> list(const std::filesystem::path& folder) = 0;
  virtual pid_t processId() = 0;
  // Whether a process with this id exists (kill with signal 0 finds it, or is refused it).
  virtual bool processExists(pid_t process) = 0;
};

// The calls themselves. Holds no state, so one instance serves every store.
class PosixDefaultsFileSystem final : public DefaultsFileSystem {
public:
  static PosixDefaultsFileSystem& shared();

  int open(const std::filesystem::path& path, int flags, mode_t mode) override;
  ssize_t read(int fd, void* buffer, std::size_t size) override;
  ssize_t write(int fd, const void* bytes, std::size_t size) override;
  int fstat(int fd, struct stat* info) override;
  int fsync(int fd) override;
  int close(int fd) override;
  int rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) override;
  int link(const std::filesystem::path& from, const std::filesystem::path& to) override;
  int unlink(const std::filesystem::path& path) override;
  int mkdir(const std::filesystem::path& path, mode_t mode) override;
  std::optional<std::filesystem::path> readLink(const std::filesystem::path& path) override;
  std::optional<std::vector<std::string>> list(const std::filesystem::path& folder) override;
  pid_t processId() override;
  bool processExists(pid_t process) override;
};

} // namespace quillon
