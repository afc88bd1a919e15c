#pragma once

#include "platform/ExtendedAttributes.h"
#include "platform/Image.h"
#include "platform/Log.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>

using GtkIconTheme = struct _GtkIconTheme;

namespace quillon {

// Folder icons the way GNOME Files, Nemo and the desktop-icons extensions
// read them: GIO's "metadata::custom-icon" names a picture by its file
// address. The picture goes to the user's cache, under a new name for each
// version, because views cache pictures by address; a metadata change sends
// no file event, so the folder's date is touched for views to look again.
// Thread-safe: the Desktop's passes call from their own queue.
class GioFolderIcons {
public:
  static constexpr std::string_view CustomIconAttribute = "metadata::custom-icon";
  // Large enough for the composite's 192-point cells.
  static constexpr int IconSide = 256;

  GioFolderIcons(std::filesystem::path pictureFolder, Log& log);
  ~GioFolderIcons();
  GioFolderIcons(const GioFolderIcons&) = delete;
  GioFolderIcons& operator=(const GioFolderIcons&) = delete;

  // $XDG_CACHE_HOME/quillon/folder-icons, or ~/.cache/quillon/folder-icons.
  static std::filesystem::path
  pictureFolderFromEnvironment(const std::function<const char*(const char*)>& variable);

  // Whether this session can keep metadata such as a custom icon: GIO
  // offers it only where its metadata service is installed.
  static bool metadataWritable();

  // The icon theme's picture for what the file is.
  std::optional<Image> iconFor(const std::filesystem::path& path) const;
  // False, with nothing changed, when the folder cannot carry an icon
  // (no metadata service, a folder gone, a cache that cannot be written).
  bool setFolderIcon(const std::filesystem::path& folder, const Image* image);
  // Dates are how views learn that a folder looks different.
  void touch(const std::filesystem::path& path) const;
  // The picture file a folder's custom icon names, whoever set it.
  std::optional<std::filesystem::path> customIconFile(const std::filesystem::path& folder) const;

private:
  bool isOwnPicture(const std::filesystem::path& file) const;
  std::optional<std::filesystem::path> writePicture(const std::filesystem::path& folder,
                                                    const Image& image);
  bool storeAttribute(const std::filesystem::path& folder, const std::string* uri) const;
  void deleteIfOwn(const std::filesystem::path& folder,
                   const std::optional<std::filesystem::path>& picture) const;

  std::filesystem::path pictureFolder_;
  Log& log_;
  mutable std::mutex themeMutex_;
  GtkIconTheme* theme_;
  std::uint64_t version_ = 0;
  std::mutex versionMutex_;
};

// Finder information has no place on this desktop: what its flags would
// say, that a folder has an icon of its own, is the custom-icon metadata
// itself. Writes of it succeed and keep nothing; every other attribute goes
// to the file system.
class FolderIconAttributes final : public ExtendedAttributes {
public:
  explicit FolderIconAttributes(ExtendedAttributes& fileSystem) : fileSystem_(fileSystem) {}

  std::optional<std::vector<std::uint8_t>> read(const std::filesystem::path& file,
                                                std::string_view name) const override;
  int write(const std::filesystem::path& file, std::string_view name,
            const std::vector<std::uint8_t>& value) override;
  int remove(const std::filesystem::path& file, std::string_view name) override;

private:
  ExtendedAttributes& fileSystem_;
};

} // namespace quillon
