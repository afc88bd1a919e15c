#pragma once

#include "platform/ExtendedAttributes.h"
#include "platform/Image.h"
#include "platform/Log.h"
#include "platform/sim/SimDirectories.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace quillon {

// The simulated file manager's icons. Each kind of file (a folder, or an
// extension) has a generated picture of its own colour. Folders get custom
// icons the way desktops without them in the file system do it: the picture
// goes to a PNG file in the user's cache and the folder carries, in an
// extended attribute, the path of that file.
class SimFileIcons {
public:
  static constexpr int IconSide = 128;
  static constexpr std::string_view CustomIconAttribute = "quillon.customIcon";

  SimFileIcons(ExtendedAttributes& attributes, const SimDirectories& directories, Log& log)
      : attributes_(attributes), directories_(directories), log_(log) {}

  std::optional<Image> iconFor(const std::filesystem::path& path) const;
  bool setFolderIcon(const std::filesystem::path& folder, const Image* image);
  // The picture file a folder's custom icon shows, if it has one.
  std::optional<std::filesystem::path> customIconFile(const std::filesystem::path& folder) const;
  // A file system that refuses custom icons.
  void setFails(bool fails) { fails_ = fails; }

  // The generated picture for a kind of file: "/" for folders, else the
  // extension in lower case ("" for none).
  static Image generatedIcon(std::string_view kind);

private:
  std::filesystem::path cacheFolder() const;
  bool isOwnPicture(const std::filesystem::path& file) const;

  ExtendedAttributes& attributes_;
  const SimDirectories& directories_;
  Log& log_;
  mutable std::map<std::string, Image, std::less<>> byKind_;
  bool fails_ = false;
};

} // namespace quillon
