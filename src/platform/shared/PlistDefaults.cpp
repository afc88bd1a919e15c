#include "platform/shared/PlistDefaults.h"

#include "platform/shared/PropertyListCodec.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A descriptor opened through the store's file system, closed through it too.
class OpenFile {
public:
  OpenFile(DefaultsFileSystem& files, int fd) : files_(files), fd_(fd) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (fd_ >= 0) {
      files_.close(fd_);
    }
  }
  explicit operator bool() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Closes now, so that a failure can be reported.
  bool close() { return files_.close(std::exchange(fd_, -1)) == 0; }

private:
  DefaultsFileSystem& files_;
  int fd_;
};

OpenFile openFile(DefaultsFileSystem& files, const fs::path& path, int flags, mode_t mode = 0) {
  int fd = -1;
  do {
    fd = files.open(path, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return OpenFile(files, fd);
}

std::string errnoText() {
  return std::system_category().message(errno);
}

std::string failure(std::string_view doing, const fs::path& path) {
  return std::string(doing) + " " + path.string() + ": " + errnoText();
}

// Removes a temporary file unless it was renamed into place.
class TemporaryFile {
public:
  TemporaryFile(DefaultsFileSystem& files, fs::path path) : files_(files), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!kept_) {
      files_.unlink(path_);
    }
  }
  const fs::path& path() const { return path_; }
  void keep() { kept_ = true; }

private:
  DefaultsFileSystem& files_;
  fs::path path_;
  bool kept_ = false;
};

// ---------------------------------------------------------------------------------------
// Reading a domain file.

enum class ReadOutcome { Absent, Contents, Oversized, Unreadable };

struct FileRead {
  ReadOutcome outcome = ReadOutcome::Absent;
  std::string bytes;
  std::string problem;
};

FileRead unreadable(std::string problem) {
  return FileRead{ReadOutcome::Unreadable, {}, std::move(problem)};
}

bool readAll(DefaultsFileSystem& files, int fd, std::string& into) {
  std::vector<char> buffer(64 * 1024);
  while (into.size() <= kMaxPropertyListBytes) {
    const ssize_t got = files.read(fd, buffer.data(), buffer.size());
    if (got == 0) {
      return true;
    }
    if (got < 0 && errno != EINTR) {
      return false;
    }
    if (got > 0) {
      into.append(buffer.data(), static_cast<std::size_t>(got));
    }
  }
  return true;
}

FileRead readDomainFile(DefaultsFileSystem& files, const fs::path& file) {
  // Non-blocking, so that a FIFO planted at the path cannot hang the first read.
  const OpenFile opened = openFile(files, file, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (!opened) {
    // A missing folder, or a regular file where the folder should be, both mean the domain
    // has never been saved; the first save reports why it cannot create the folder.
    if (errno == ENOENT || errno == ENOTDIR) {
      return FileRead{};
    }
    return unreadable(failure("could not open", file));
  }
  struct stat info {};
  if (files.fstat(opened.fd(), &info) != 0) {
    return unreadable(failure("could not examine", file));
  }
  if (!S_ISREG(info.st_mode)) {
    return unreadable(file.string() + " is not a regular file");
  }
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxPropertyListBytes) {
    return FileRead{ReadOutcome::Oversized, {}, {}};
  }
  FileRead contents{ReadOutcome::Contents, {}, {}};
  contents.bytes.reserve(static_cast<std::size_t>(info.st_size));
  if (!readAll(files, opened.fd(), contents.bytes)) {
    return unreadable(failure("could not read", file));
  }
  if (contents.bytes.size() > kMaxPropertyListBytes) {
    contents.outcome = ReadOutcome::Oversized;
  }
  return contents;
}

// Only a dictionary that some file form would carry back unchanged counts as read: one
// that cannot be saved again is set aside now rather than changed by the next save.
std::optional<PropertyDictionary> dictionaryFrom(const FileRead& file) {
  if (file.outcome != ReadOutcome::Contents) {
    return std::nullopt;
  }
  std::optional<PropertyValue> parsed = parsePropertyList(std::string_view(file.bytes));
  if (!parsed || !parsed->is<PropertyDictionary>() ||
      (propertyListWriteProblem(*parsed) && !encodePropertyListFile(*parsed))) {
    return std::nullopt;
  }
  return std::move(*parsed->get<PropertyDictionary>());
}

// ---------------------------------------------------------------------------------------
// Moving an unreadable file aside, never over an earlier one.

enum class MoveResult { Moved, Taken, Failed };

MoveResult moveWithoutReplacing(DefaultsFileSystem& files, const fs::path& from,
                                const fs::path& to) {
  if (files.renameNoReplace(from, to) == 0) {
    return MoveResult::Moved;
  }
  if (errno == EEXIST) {
    return MoveResult::Taken;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return MoveResult::Failed;
  }
  // The file system cannot rename without replacing; a hard link cannot replace either.
  if (files.link(from, to) != 0) {
    return errno == EEXIST ? MoveResult::Taken : MoveResult::Failed;
  }
  if (files.unlink(from) != 0) {
    const int cause = errno;
    files.unlink(to);
    errno = cause;
    return MoveResult::Failed;
  }
  return MoveResult::Moved;
}

struct AsideResult {
  std::optional<fs::path> movedTo;
  std::string problem;
};

AsideResult moveAside(DefaultsFileSystem& files, const fs::path& file) {
  // Bounded, so that a folder full of earlier set-aside copies cannot stall the load.
  constexpr int kMaxAsideCopies = 10000;
  for (int copy = 1; copy <= kMaxAsideCopies; ++copy) {
    fs::path target = file;
    target += ".corrupt-" + std::to_string(copy);
    switch (moveWithoutReplacing(files, file, target)) {
    case MoveResult::Moved:
      return AsideResult{std::move(target), {}};
    case MoveResult::Taken:
      continue;
    case MoveResult::Failed:
      return AsideResult{std::nullopt, failure("could not rename", file)};
    }
  }
  return AsideResult{std::nullopt, "every set-aside name up to .corrupt-" +
                                       std::to_string(kMaxAsideCopies) + " is taken"};
}

// ---------------------------------------------------------------------------------------
// Writing a domain file.

bool writeAll(DefaultsFileSystem& files, int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = files.write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno != EINTR) {
      return false;
    }
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }
  return true;
}

bool writeBody(DefaultsFileSystem& files, int fd, const DefaultsFileBody& body) {
  if (const std::string* bytes = std::get_if<std::string>(&body)) {
    return writeAll(files, fd, *bytes);
  }
  return writePropertyList(std::get<PropertyValue>(body), [&files, fd](std::string_view piece) {
    return writeAll(files, fd, piece);
  });
}

// A dictionary that XML can carry is written out as it is encoded, so a domain holding
// megabytes of text is never held a second time as the file's text.
std::optional<DefaultsFileBody> fileBodyFor(const PropertyDictionary& values) {
  PropertyValue contents(values);
  if (!propertyListWriteProblem(contents)) {
    return DefaultsFileBody(std::move(contents));
  }
  if (std::optional<std::string> bytes = encodePropertyListFile(contents)) {
    return DefaultsFileBody(std::move(*bytes));
  }
  return std::nullopt;
}

bool fsyncRetrying(DefaultsFileSystem& files, int fd) {
  int result = 0;
  do {
    result = files.fsync(fd);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

std::optional<std::string> syncFolder(DefaultsFileSystem& files, const fs::path& folder) {
  OpenFile opened = openFile(files, folder, O_RDONLY | O_DIRECTORY);
  if (!opened || !fsyncRetrying(files, opened.fd())) {
    return failure("saved, but could not flush the folder", folder);
  }
  return std::nullopt;
}

std::optional<std::string> createFolders(DefaultsFileSystem& files, const fs::path& folder) {
  fs::path partial;
  for (const fs::path& part : folder) {
    partial /= part;
    if (files.mkdir(partial, 0700) != 0 && errno != EEXIST) {
      return failure("could not create", partial);
    }
  }
  return std::nullopt;
}

// The file a save replaces: the domain file itself or, when that is a symbolic link (a
// settings file kept in a dotfiles repository, say), the file its links lead to, so that
// the link survives and its target holds the new settings.
std::optional<fs::path> saveTarget(DefaultsFileSystem& files, fs::path file, std::string& problem) {
  constexpr int kMaxLinks = 40;
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    const std::optional<fs::path> target = files.readLink(file);
    if (!target) {
      if (errno == EINVAL || errno == ENOENT || errno == ENOTDIR) {
        return file;
      }
      problem = failure("could not examine", file);
      return std::nullopt;
    }
    file = target->is_absolute() ? *target : file.parent_path() / *target;
  }
  problem = file.string() + " is behind more than " + std::to_string(kMaxLinks) + " symbolic links";
  return std::nullopt;
}

// Names a save leaves beside its file while writing: ".NAME.plist.tmp-PID-N". Answers the
// process that wrote it.
std::optional<pid_t> temporaryFileWriter(std::string_view name) {
  constexpr std::string_view kMarker = ".plist.tmp-";
  const std::size_t marker = name.rfind(kMarker);
  if (!name.starts_with('.') || marker == std::string_view::npos || marker < 2) {
    return std::nullopt;
  }
  const std::string_view numbers = name.substr(marker + kMarker.size());
  const std::size_t dash = numbers.find('-');
  if (dash == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view counter = numbers.substr(dash + 1);
  const bool counterIsNumber =
      !counter.empty() &&
      std::all_of(counter.begin(), counter.end(), [](char c) { return c >= '0' && c <= '9'; });
  pid_t writer = 0;
  const std::string_view pid = numbers.substr(0, dash);
  const auto [end, error] = std::from_chars(pid.data(), pid.data() + pid.size(), writer);
  if (!counterIsNumber || error != std::errc() || end != pid.data() + pid.size() || writer <= 0) {
    return std::nullopt;
  }
  return writer;
}

// ---------------------------------------------------------------------------------------
// Log lines.

// Refused names can hold anything, control characters included; show them quoted, with
// every byte outside printable ASCII escaped, and cut short when long.
std::string quotedForLog(std::string_view name) {
  constexpr std::size_t kShownBytes = 80;
  std::string out = "\"";
  for (const char c : name.substr(0, kShownBytes)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      constexpr std::string_view kHex = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4U];
      out += kHex[byte & 0x0FU];
    } else {
      out += c;
    }
  }
  out += '"';
  if (name.size() > kShownBytes) {
    out += "... (" + std::to_string(name.size()) + " bytes)";
  }
  return out;
}

// Says what keeps a key's new value out of the file, so the log says what to fix.
std::string unstorableReason(std::string_view key, const PropertyValue* value) {
  std::optional<std::string> problem = propertyListWriteProblem(PropertyValue(std::string(key)));
  if (!problem && value != nullptr) {
    problem = propertyListWriteProblem(*value);
  }
  return "cannot store key " + quotedForLog(key) + ": " +
         problem.value_or("no property list file would read it back the same") +
         "; keeping it in memory only";
}

std::uint64_t fnv1a64(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char character : text) {
    hash ^= static_cast<unsigned char>(character);
    hash *= 1099511628211ULL;
  }
  return hash;
}

} // namespace

std::string domainFileStem(std::string_view domain) {
  if (domain.size() <= kMaxDefaultsDomainNameBytes) {
    return std::string(domain);
  }
  constexpr std::size_t kHashDigits = 16;
  constexpr std::string_view kDigits = "0123456789abcdef";
  std::size_t kept = kMaxDefaultsDomainNameBytes - 1 - kHashDigits;
  // Back to the first byte of the character that did not fit.
  while (kept > 0 && (static_cast<unsigned char>(domain[kept]) & 0xC0U) == 0x80U) {
    --kept;
  }
  std::string stem(domain.substr(0, kept));
  stem += '-';
  const std::uint64_t hash = fnv1a64(domain);
  for (std::size_t digit = kHashDigits; digit-- > 0;) {
    stem += kDigits[(hash >> (4U * digit)) & 0x0FU];
  }
  return stem;
}

bool isSafeDefaultsDomainName(std::string_view domain) {
  const bool hasControl = std::any_of(domain.begin(), domain.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
  return !domain.empty() && domain.front() != '.' && domain.find('/') == std::string_view::npos &&
         domain.find("..") == std::string_view::npos && !hasControl;
}

PlistDefaults::PlistDefaults(std::filesystem::path root, Log& log, DefaultsFileSystem& files)
    : root_(std::move(root)), log_(log), files_(files) {
  removeAbandonedTemporaryFiles();
}

std::optional<PropertyValue> PlistDefaults::object(std::string_view domain,
                                                   std::string_view key) const {
  const std::lock_guard lock(mutex_);
  const Domain* loaded = domainFor(domain);
  if (!loaded) {
    return std::nullopt;
  }
  const auto found = loaded->values.find(key);
  if (found == loaded->values.end()) {
    return std::nullopt;
  }
  return found->second;
}

bool PlistDefaults::set(std::string_view domain, std::string_view key, PropertyValue value) {
  return change(domain, key, std::move(value));
}

bool PlistDefaults::remove(std::string_view domain, std::string_view key) {
  return change(domain, key, std::nullopt);
}

bool PlistDefaults::change(std::string_view name, std::string_view key,
                           std::optional<PropertyValue> value) {
  const std::lock_guard saving(saveMutex_);
  std::unique_lock lock(mutex_);
  Domain* loaded = domainFor(name);
  if (!loaded) {
    return false;
  }
  const auto found = loaded->values.find(key);
  const bool unchanged = value ? found != loaded->values.end() && found->second == *value
                               : found == loaded->values.end();
  if (unchanged && loaded->fileCurrent && loaded->mayWrite && !loaded->heldBack.contains(key)) {
    return true;
  }
  PropertyDictionary fileValues = fileContents(*loaded);
  std::optional<PropertyValue> inFile;
  if (const auto previous = fileValues.find(key); previous != fileValues.end()) {
    inFile = std::move(previous->second);
    fileValues.erase(previous);
  }
  if (value) {
    fileValues.emplace(std::string(key), *value);
    loaded->values.insert_or_assign(std::string(key), std::move(*value));
  } else if (found != loaded->values.end()) {
    loaded->values.erase(found);
  }
  ++revision_;
  lock.unlock();
  std::optional<DefaultsFileBody> body = fileBodyFor(fileValues);
  lock.lock();
  if (!body) {
    // Everything else in the file was read from it or saved before, so the new value alone
    // is to blame: it stays readable, and the file keeps what it had for the key.
    loaded->heldBack.try_emplace(std::string(key), std::move(inFile));
    const auto unstorable = fileValues.find(key);
    log_.write(
        "Quillon: could not save defaults domain " + std::string(name) + ": " +
        unstorableReason(key, unstorable != fileValues.end() ? &unstorable->second : nullptr));
    return false;
  }
  if (const auto held = loaded->heldBack.find(key); held != loaded->heldBack.end()) {
    loaded->heldBack.erase(held);
  }
  return persist(name, *loaded, *body, lock);
}

// Requires mutex_. What the file should hold: the values, except that keys whose new
// value no file can carry keep what the file had for them.
PropertyDictionary PlistDefaults::fileContents(const Domain& domain) {
  PropertyDictionary contents = domain.values;
  for (const auto& [key, inFile] : domain.heldBack) {
    if (inFile) {
      contents.insert_or_assign(key, *inFile);
    } else if (const auto found = contents.find(key); found != contents.end()) {
      contents.erase(found);
    }
  }
  return contents;
}

// Requires mutex_. Answers nullptr for a refused name.
PlistDefaults::Domain* PlistDefaults::domainFor(std::string_view name) const {
  if (const auto found = domains_.find(name); found != domains_.end()) {
    return &found->second;
  }
  if (!isSafeDefaultsDomainName(name)) {
    // Once per name: a caller on the key-press path would otherwise flood the log.
    if (refusedNames_.find(name) == refusedNames_.end()) {
      refusedNames_.emplace(name);
      log_.write("Quillon: refusing defaults domain with unsafe name: " + quotedForLog(name));
    }
    return nullptr;
  }
  std::string owned(name);
  Domain loaded = loadDomain(owned);
  return &domains_.emplace(std::move(owned), std::move(loaded)).first->second;
}

PlistDefaults::Domain PlistDefaults::loadDomain(const std::string& name) const {
  const FileRead file = readDomainFile(files_, domainFile(name));
  if (file.outcome == ReadOutcome::Absent) {
    return Domain{};
  }
  if (file.outcome == ReadOutcome::Unreadable) {
    log_.write("Quillon: could not read defaults domain " + name + ": " + file.problem +
               "; keeping its changes in memory only");
    return Domain{.mayWrite = false};
  }
  if (std::optional<PropertyDictionary> values = dictionaryFrom(file)) {
    return Domain{.values = std::move(*values)};
  }
  return setAside(name);
}

PlistDefaults::Domain PlistDefaults::setAside(const std::string& name) const {
  const AsideResult aside = moveAside(files_, domainFile(name));
  if (!aside.movedTo) {
    log_.write("Quillon: defaults domain " + name +
               " was unreadable and could not be moved aside (" + aside.problem +
               "); keeping its changes in memory only");
    return Domain{.mayWrite = false};
  }
  log_.write("Quillon: defaults domain " + name + " was unreadable; moved it aside to " +
             aside.movedTo->string());
  return Domain{};
}

// Called with saveMutex_ and `lock` on mutex_ held; the disk work runs with `lock` released
// so that readers never wait for it.
bool PlistDefaults::persist(std::string_view name, Domain& domain, const DefaultsFileBody& body,
                            std::unique_lock<std::mutex>& lock) {
  if (!domain.mayWrite) {
    if (!std::exchange(domain.reportedMemoryOnly, true)) {
      log_.write("Quillon: could not save defaults domain " + std::string(name) +
                 ": its existing file is left untouched, so changes are kept in memory only");
    }
    return false;
  }
  domain.fileCurrent = false;
  lock.unlock();
  const std::optional<std::string> problem = writeFile(name, body);
  lock.lock();
  if (problem) {
    log_.write("Quillon: could not save defaults domain " + std::string(name) + ": " + *problem);
    return false;
  }
  domain.fileCurrent = true;
  return true;
}

// Writes the whole domain beside the file it replaces, makes it durable, and only then
// renames it into place and flushes the folder that records the rename: a crash or a full
// disk leaves either the old file or the new one, never a mixture or an empty file.
std::optional<std::string> PlistDefaults::writeFile(std::string_view name,
                                                    const DefaultsFileBody& body) {
  if (std::optional<std::string> problem = createFolders(files_, root_)) {
    return problem;
  }
  std::string problem;
  const std::optional<fs::path> target = saveTarget(files_, domainFile(name), problem);
  if (!target) {
    return problem;
  }
  const fs::path folder = target->parent_path();
  std::string temporaryName = ".";
  temporaryName.append(target->filename().string()).append(".tmp-");
  temporaryName.append(std::to_string(files_.processId())).append("-");
  temporaryName.append(std::to_string(++temporaryCounter_));
  TemporaryFile temporary(files_, folder / temporaryName);
  OpenFile opened = openFile(files_, temporary.path(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (!opened) {
    temporary.keep(); // Not ours: O_EXCL refused to create it.
    return failure("could not create", temporary.path());
  }
  if (!writeBody(files_, opened.fd(), body)) {
    return failure("could not write", temporary.path());
  }
  if (!fsyncRetrying(files_, opened.fd())) {
    return failure("could not flush", temporary.path());
  }
  if (!opened.close()) {
    return failure("could not close", temporary.path());
  }
  if (files_.rename(temporary.path(), *target) != 0) {
    return failure("could not replace", *target);
  }
  temporary.keep();
  return syncFolder(files_, folder);
}

// A save cut short by a crash or a kill leaves its temporary file behind; the process
// that wrote it is gone, so nothing will ever rename it. Files of running processes may
// be saves in progress, and stay.
void PlistDefaults::removeAbandonedTemporaryFiles() {
  const std::optional<std::vector<std::string>> names = files_.list(root_);
  if (!names) {
    return;
  }
  std::size_t removed = 0;
  for (const std::string& name : *names) {
    const std::optional<pid_t> writer = temporaryFileWriter(name);
    if (!writer || files_.processExists(*writer)) {
      continue;
    }
    if (files_.unlink(root_ / name) == 0) {
      ++removed;
    } else if (errno != ENOENT) {
      log_.write("Quillon: " + failure("could not remove abandoned temporary file", root_ / name));
    }
  }
  if (removed > 0) {
    log_.write("Quillon: removed " + std::to_string(removed) +
               " temporary defaults files left by interrupted saves in " + root_.string());
  }
}

std::filesystem::path PlistDefaults::domainFile(std::string_view name) const {
  return root_ / (domainFileStem(name) + ".plist");
}

} // namespace quillon
