#include "platform/linux/GioFolderIcons.h"

#include <cairo.h>
#include <chrono>
#include <fcntl.h>
#include <gio/gio.h>
#include <gtk/gtk.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace quillon {

namespace {

constexpr std::string_view pictureExtension = ".png";

template <typename T> struct GObjectDeleter {
  void operator()(T* object) const {
    if (object != nullptr) {
      g_object_unref(object);
    }
  }
};
template <typename T> using GObjectHandle = std::unique_ptr<T, GObjectDeleter<T>>;

struct ErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorHandle = std::unique_ptr<GError, ErrorDeleter>;

struct CharsDeleter {
  void operator()(char* text) const { g_free(text); }
};
using CharsHandle = std::unique_ptr<char, CharsDeleter>;

using SurfaceHandle = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// GdkPixbuf keeps straight alpha in R, G, B, A bytes; Image wants
// premultiplied words with alpha on top.
Image imageFromPixbuf(GdkPixbuf* pixbuf) {
  Image image;
  if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
      gdk_pixbuf_get_bits_per_sample(pixbuf) != 8) {
    return image;
  }
  image.width = gdk_pixbuf_get_width(pixbuf);
  image.height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool hasAlpha = gdk_pixbuf_get_has_alpha(pixbuf) != FALSE;
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar* rows = gdk_pixbuf_read_pixels(pixbuf);
  image.pixels.reserve(static_cast<std::size_t>(image.width) *
                       static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    const guchar* pixel = rows + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < image.width; ++x, pixel += channels) {
      const std::uint32_t alpha = hasAlpha ? pixel[3] : 255;
      const auto premultiplied = [alpha](guchar value) {
        return static_cast<std::uint32_t>((value * alpha + 127) / 255);
      };
      image.pixels.push_back(alpha << 24 | premultiplied(pixel[0]) << 16 |
                             premultiplied(pixel[1]) << 8 | premultiplied(pixel[2]));
    }
  }
  return image;
}

std::string folderKey(const std::filesystem::path& folder) {
  std::ostringstream key;
  key << std::hex << std::hash<std::string>{}(folder.lexically_normal().string());
  return key.str();
}

} // namespace

GioFolderIcons::GioFolderIcons(std::filesystem::path pictureFolder, Log& log)
    : pictureFolder_(std::move(pictureFolder)), log_(log), theme_(gtk_icon_theme_new()) {
  // A theme of its own, so the passes' thread never shares GTK's; it
  // follows the user's chosen theme, read once here on the main thread.
  char* themeName = nullptr;
  if (GtkSettings* settings = gtk_settings_get_default()) {
    g_object_get(settings, "gtk-icon-theme-name", &themeName, nullptr);
  }
  if (themeName != nullptr) {
    gtk_icon_theme_set_custom_theme(theme_, themeName);
    g_free(themeName);
  }
}

GioFolderIcons::~GioFolderIcons() {
  g_object_unref(theme_);
}

std::filesystem::path GioFolderIcons::pictureFolderFromEnvironment(
    const std::function<const char*(const char*)>& variable) {
  const char* cache = variable("XDG_CACHE_HOME");
  std::filesystem::path base;
  if (cache != nullptr && *cache == '/') {
    base = cache;
  } else {
    const char* home = variable("HOME");
    base = std::filesystem::path(home != nullptr && *home == '/' ? home : "/tmp") / ".cache";
  }
  return base / "quillon" / "folder-icons";
}

bool GioFolderIcons::metadataWritable() {
  GObjectHandle<GFile> root(g_file_new_for_path("/"));
  GFileAttributeInfoList* namespaces =
      g_file_query_writable_namespaces(root.get(), nullptr, nullptr);
  if (namespaces == nullptr) {
    return false;
  }
  const bool found = g_file_attribute_info_list_lookup(namespaces, "metadata") != nullptr;
  g_file_attribute_info_list_unref(namespaces);
  return found;
}

std::optional<Image> GioFolderIcons::iconFor(const std::filesystem::path& path) const {
  GObjectHandle<GFile> file(g_file_new_for_path(path.c_str()));
  GError* rawError = nullptr;
  GObjectHandle<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_ICON,
                                                  G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr,
                                                  &rawError));
  ErrorHandle error(rawError);
  GIcon* icon = info ? g_file_info_get_icon(info.get()) : nullptr;
  if (icon == nullptr) {
    return std::nullopt;
  }
  const std::scoped_lock lock(themeMutex_);
  GObjectHandle<GtkIconInfo> found(
      gtk_icon_theme_lookup_by_gicon(theme_, icon, IconSide, GTK_ICON_LOOKUP_FORCE_SIZE));
  if (!found) {
    return std::nullopt;
  }
  rawError = nullptr;
  GObjectHandle<GdkPixbuf> pixbuf(gtk_icon_info_load_icon(found.get(), &rawError));
  error.reset(rawError);
  if (!pixbuf) {
    return std::nullopt;
  }
  Image image = imageFromPixbuf(pixbuf.get());
  return image.isEmpty() ? std::nullopt : std::optional(std::move(image));
}

std::optional<std::filesystem::path>
GioFolderIcons::customIconFile(const std::filesystem::path& folder) const {
  GObjectHandle<GFile> file(g_file_new_for_path(folder.c_str()));
  GObjectHandle<GFileInfo> info(g_file_query_info(file.get(), CustomIconAttribute.data(),
                                                  G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr,
                                                  nullptr));
  const char* uri =
      info ? g_file_info_get_attribute_string(info.get(), CustomIconAttribute.data()) : nullptr;
  if (uri == nullptr) {
    return std::nullopt;
  }
  CharsHandle path(g_filename_from_uri(uri, nullptr, nullptr));
  if (!path) {
    return std::nullopt;
  }
  return std::filesystem::path(path.get());
}

bool GioFolderIcons::isOwnPicture(const std::filesystem::path& file) const {
  std::error_code error;
  if (file.extension().string() != pictureExtension ||
      std::filesystem::symlink_status(file, error).type() != std::filesystem::file_type::regular) {
    return false;
  }
  // Compared once links and ".." are resolved, so no spelling of a path
  // reaches out of the folder.
  const auto folder = std::filesystem::weakly_canonical(pictureFolder_, error);
  const auto parent = error ? std::filesystem::path()
                            : std::filesystem::weakly_canonical(file.parent_path(), error);
  return !error && !parent.empty() && parent == folder;
}

std::optional<std::filesystem::path>
GioFolderIcons::writePicture(const std::filesystem::path& folder, const Image& image) {
  std::error_code error;
  std::filesystem::create_directories(pictureFolder_, error);
  if (error) {
    return std::nullopt;
  }
  std::uint64_t version = 0;
  {
    const std::scoped_lock lock(versionMutex_);
    version = ++version_;
  }
  // A new name for every version: views keep pictures by their address.
  std::ostringstream name;
  name << folderKey(folder) << '-' << std::hex
       << std::chrono::system_clock::now().time_since_epoch().count() << '-' << version
       << pictureExtension;
  const std::filesystem::path picture = pictureFolder_ / name.str();
  std::vector<std::uint32_t> pixels = image.pixels;
  const SurfaceHandle surface(cairo_image_surface_create_for_data(
                                  reinterpret_cast<unsigned char*>(pixels.data()),
                                  CAIRO_FORMAT_ARGB32, image.width, image.height,
                                  cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, image.width)),
                              cairo_surface_destroy);
  if (cairo_surface_write_to_png(surface.get(), picture.c_str()) != CAIRO_STATUS_SUCCESS) {
    std::filesystem::remove(picture, error);
    return std::nullopt;
  }
  return picture;
}

bool GioFolderIcons::storeAttribute(const std::filesystem::path& folder,
                                    const std::string* uri) const {
  GObjectHandle<GFile> file(g_file_new_for_path(folder.c_str()));
  GError* rawError = nullptr;
  const gboolean stored =
      uri != nullptr
          ? g_file_set_attribute_string(file.get(), CustomIconAttribute.data(), uri->c_str(),
                                        G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, &rawError)
          : g_file_set_attribute(file.get(), CustomIconAttribute.data(),
                                 G_FILE_ATTRIBUTE_TYPE_INVALID, nullptr,
                                 G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, &rawError);
  const ErrorHandle error(rawError);
  if (stored == FALSE) {
    log_.write("Quillon: folder icon metadata of " + folder.string() + " not written (" +
               (error ? std::string(error->message) : std::string("no reason given")) + ")");
  }
  return stored != FALSE;
}

// The metadata is only an address anyone could have written: the file it
// names is deleted only when it is one of the pictures made here.
void GioFolderIcons::deleteIfOwn(const std::filesystem::path& folder,
                                 const std::optional<std::filesystem::path>& picture) const {
  if (!picture) {
    return;
  }
  if (!isOwnPicture(*picture)) {
    log_.write("Quillon: custom icon of " + folder.string() + " named " + picture->string() +
               ", not a picture of ours; left in place");
    return;
  }
  std::error_code error;
  std::filesystem::remove(*picture, error);
}

bool GioFolderIcons::setFolderIcon(const std::filesystem::path& folder, const Image* image) {
  std::error_code error;
  if (std::filesystem::symlink_status(folder, error).type() !=
      std::filesystem::file_type::directory) {
    return false;
  }
  const auto previous = customIconFile(folder);
  if (image == nullptr) {
    if (previous && !storeAttribute(folder, nullptr)) {
      return false;
    }
    deleteIfOwn(folder, previous);
    touch(folder);
    return true;
  }
  if (image->isEmpty() || image->pixels.size() != static_cast<std::size_t>(image->width) *
                                                      static_cast<std::size_t>(image->height)) {
    return false;
  }
  const auto picture = writePicture(folder, *image);
  if (!picture) {
    return false;
  }
  CharsHandle uri(g_filename_to_uri(picture->c_str(), nullptr, nullptr));
  const std::string address = uri ? uri.get() : "";
  if (address.empty() || !storeAttribute(folder, &address)) {
    std::filesystem::remove(*picture, error);
    return false;
  }
  if (previous != picture) {
    deleteIfOwn(folder, previous);
  }
  touch(folder);
  return true;
}

void GioFolderIcons::touch(const std::filesystem::path& path) const {
  // Without following a link: only what is really on the Desktop is
  // touched.
  const timespec now[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
  ::utimensat(AT_FDCWD, path.c_str(), now, AT_SYMLINK_NOFOLLOW);
}

std::optional<std::vector<std::uint8_t>>
FolderIconAttributes::read(const std::filesystem::path& file, std::string_view name) const {
  if (name == finderInfoAttributeName) {
    return std::nullopt;
  }
  return fileSystem_.read(file, name);
}

int FolderIconAttributes::write(const std::filesystem::path& file, std::string_view name,
                                const std::vector<std::uint8_t>& value) {
  if (name == finderInfoAttributeName) {
    return 0;
  }
  return fileSystem_.write(file, name, value);
}

int FolderIconAttributes::remove(const std::filesystem::path& file, std::string_view name) {
  if (name == finderInfoAttributeName) {
    return 0;
  }
  return fileSystem_.remove(file, name);
}

} // namespace quillon
