#include "platform/sim/SimFileIcons.h"

#include <cairo.h>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>

namespace quillon {

namespace {

constexpr std::string_view folderKind = "/";
constexpr std::string_view pictureExtension = ".png";

using SurfaceHandle = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using ContextHandle = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

struct Colour {
  double red;
  double green;
  double blue;
};

// Folders are blue; other kinds get a colour of their own from the
// extension, so two kinds side by side are told apart.
Colour colourOf(std::string_view kind) {
  if (kind == folderKind) {
    return {0.33, 0.62, 0.96};
  }
  const std::size_t hash = std::hash<std::string_view>{}(kind);
  return {0.25 + 0.7 * static_cast<double>(hash & 0xFF) / 255.0,
          0.25 + 0.7 * static_cast<double>((hash >> 8) & 0xFF) / 255.0,
          0.25 + 0.7 * static_cast<double>((hash >> 16) & 0xFF) / 255.0};
}

std::string kindOf(const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return std::string(folderKind);
  }
  std::string extension = path.extension().string();
  for (char& character : extension) {
    if (character >= 'A' && character <= 'Z') {
      character = static_cast<char>(character - 'A' + 'a');
    }
  }
  return extension;
}

} // namespace

Image SimFileIcons::generatedIcon(std::string_view kind) {
  Image image{IconSide, IconSide,
              std::vector<std::uint32_t>(static_cast<std::size_t>(IconSide * IconSide))};
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, IconSide);
  SurfaceHandle surface(
      cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(image.pixels.data()),
                                          CAIRO_FORMAT_ARGB32, IconSide, IconSide, stride),
      cairo_surface_destroy);
  ContextHandle context(cairo_create(surface.get()), cairo_destroy);
  const Colour colour = colourOf(kind);
  // A sheet inset from the edges, so icons keep a transparent margin.
  cairo_rectangle(context.get(), 16, 8, IconSide - 32, IconSide - 16);
  cairo_set_source_rgb(context.get(), colour.red, colour.green, colour.blue);
  cairo_fill(context.get());
  cairo_surface_flush(surface.get());
  return image;
}

std::optional<Image> SimFileIcons::iconFor(const std::filesystem::path& path) const {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return std::nullopt;
  }
  const std::string kind = kindOf(path);
  auto found = byKind_.find(kind);
  if (found == byKind_.end()) {
    found = byKind_.emplace(kind, generatedIcon(kind)).first;
  }
  return found->second;
}

std::filesystem::path SimFileIcons::cacheFolder() const {
  return *directories_.home() / ".cache" / "quillon" / "folder-icons";
}

bool SimFileIcons::isOwnPicture(const std::filesystem::path& file) const {
  std::error_code error;
  if (file.extension().string() != pictureExtension ||
      std::filesystem::symlink_status(file, error).type() != std::filesystem::file_type::regular) {
    return false;
  }
  // Compared once links and ".." are resolved, so no spelling of a path
  // reaches out of the folder.
  const auto folder = std::filesystem::weakly_canonical(cacheFolder(), error);
  const auto parent = error ? std::filesystem::path()
                            : std::filesystem::weakly_canonical(file.parent_path(), error);
  return !error && !parent.empty() && parent == folder;
}

bool SimFileIcons::setFolderIcon(const std::filesystem::path& folder, const Image* image) {
  std::error_code error;
  if (fails_ || !std::filesystem::is_directory(folder, error)) {
    return false;
  }
  const auto previous = customIconFile(folder);
  if (image == nullptr) {
    attributes_.remove(folder, CustomIconAttribute);
    // The attribute is only a name anyone could have written: the file it
    // names is deleted only when it is one of the pictures made here.
    if (previous && isOwnPicture(*previous)) {
      std::filesystem::remove(*previous, error);
    } else if (previous) {
      log_.write("Quillon: custom icon of " + folder.string() + " named " + previous->string() +
                 ", not a picture of ours; left in place");
    }
    return true;
  }
  if (image->isEmpty() || image->pixels.size() != static_cast<std::size_t>(image->width) *
                                                      static_cast<std::size_t>(image->height)) {
    return false;
  }
  std::filesystem::create_directories(cacheFolder(), error);
  std::ostringstream name;
  name << std::hex << std::hash<std::string>{}(folder.lexically_normal().string())
       << pictureExtension;
  const std::filesystem::path file = cacheFolder() / name.str();
  std::vector<std::uint32_t> pixels = image->pixels;
  SurfaceHandle surface(cairo_image_surface_create_for_data(
                            reinterpret_cast<unsigned char*>(pixels.data()), CAIRO_FORMAT_ARGB32,
                            image->width, image->height,
                            cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, image->width)),
                        cairo_surface_destroy);
  if (cairo_surface_write_to_png(surface.get(), file.c_str()) != CAIRO_STATUS_SUCCESS) {
    return false;
  }
  const std::string text = file.string();
  return attributes_.write(folder, CustomIconAttribute,
                           std::vector<std::uint8_t>(text.begin(), text.end())) == 0;
}

std::optional<std::filesystem::path>
SimFileIcons::customIconFile(const std::filesystem::path& folder) const {
  const auto value = attributes_.read(folder, CustomIconAttribute);
  if (!value || value->empty()) {
    return std::nullopt;
  }
  return std::filesystem::path(std::string(value->begin(), value->end()));
}

} // namespace quillon
