#pragma once

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/PropertyValue.h"
#include "platform/shared/DefaultsFileSystem.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>

namespace quillon {

// Domain names become file names (and longer temporary and set-aside names); up to this
// length every derived name fits within the usual 255-byte limit.
inline constexpr std::size_t kMaxDefaultsDomainNameBytes = 200;

// The domain's file name without ".plist": the name itself when it fits, else its beginning
// and a hash of the whole name, so that a longer domain (a web app's identifier from before
// identifiers were kept short) still has a file, and one of its own.
std::string domainFileStem(std::string_view domain);

// Whether `domain` can name a file inside the defaults folder without escaping it, hiding
// it, or colliding with the temporary and set-aside files kept beside it.
bool isSafeDefaultsDomainName(std::string_view domain);

// What a save writes: a dictionary to be written as XML while it is encoded, or the
// bytes of a file already encoded.
using DefaultsFileBody = std::variant<PropertyValue, std::string>;

// Defaults kept as one property-list file per domain, <root>/<domain>.plist, holding a
// dictionary: XML, unless its values need a binary list. A domain is read from disk once, on
// first use, and then served from memory: the keyboard event tap reads settings on every key
// press. Each change rewrites the whole file atomically, durably before it replaces the old
// one, and through a symbolic link rather than over it. A file that cannot be parsed, or that
// no file could carry back unchanged, is moved aside rather than overwritten; a file that can
// be neither read nor moved aside is left alone, and that domain's changes live in memory
// only. A new value no file can carry stays in memory only, while the file keeps the key's old
// value. Temporary files of saves whose process has died are removed on construction. Safe to
// use from several threads.
class PlistDefaults final : public Defaults {
public:
  PlistDefaults(std::filesystem::path root, Log& log,
                DefaultsFileSystem& files = PosixDefaultsFileSystem::shared());

  PlistDefaults(const PlistDefaults&) = delete;
  PlistDefaults& operator=(const PlistDefaults&) = delete;

  std::optional<PropertyValue> object(std::string_view domain, std::string_view key) const override;
  bool set(std::string_view domain, std::string_view key, PropertyValue value) override;
  bool remove(std::string_view domain, std::string_view key) override;
  // Values change only through this object once a domain is loaded.
  std::optional<std::uint64_t> revision() const override { return revision_.load(); }

private:
  struct Domain {
    PropertyDictionary values;
    // Keys whose value in `values` no file can carry, with what the file holds for them.
    std::map<std::string, std::optional<PropertyValue>, std::less<>> heldBack;
    // False when an existing file could be neither read nor moved aside: writing the
    // domain would destroy it.
    bool mayWrite = true;
    // False after a failed save, so that the next change writes even if it alters nothing.
    bool fileCurrent = true;
    bool reportedMemoryOnly = false;
  };

  bool change(std::string_view name, std::string_view key, std::optional<PropertyValue> value);
  static PropertyDictionary fileContents(const Domain& domain);
  Domain* domainFor(std::string_view name) const;
  Domain loadDomain(const std::string& name) const;
  Domain setAside(const std::string& name) const;
  bool persist(std::string_view name, Domain& domain, const DefaultsFileBody& body,
               std::unique_lock<std::mutex>& lock);
  std::optional<std::string> writeFile(std::string_view name, const DefaultsFileBody& body);
  void removeAbandonedTemporaryFiles();
  std::filesystem::path domainFile(std::string_view name) const;

  const std::filesystem::path root_;
  Log& log_;
  DefaultsFileSystem& files_;
  // Orders whole saves, so the file always ends up with the latest state; held across
  // disk writes, which readers never wait for.
  std::mutex saveMutex_;
  // Guards everything below; held only for memory work (and a domain's first load).
  mutable std::mutex mutex_;
  std::atomic<std::uint64_t> revision_{0};
  mutable std::map<std::string, Domain, std::less<>> domains_;
  mutable std::set<std::string, std::less<>> refusedNames_;
  std::uint64_t temporaryCounter_ = 0;
};

} // namespace quillon
