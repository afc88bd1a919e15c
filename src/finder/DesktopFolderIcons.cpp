#include "finder/DesktopFolderIcons.h"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>

namespace quillon {

namespace {

constexpr double lineFraction = 0.025;
constexpr double minimumLine = 2.0;
constexpr double radiusFraction = 0.22;
constexpr double padFraction = 0.1;
constexpr double gapFraction = 0.05;
constexpr double singleIconFraction = 0.7;
constexpr double fillAlpha = 0.6;
constexpr double strokeAlpha = 0.65;

using SurfaceHandle = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using ContextHandle = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

SurfaceHandle surfaceOver(std::vector<std::uint32_t>& pixels, int width, int height) {
  return SurfaceHandle(cairo_image_surface_create_for_data(
                           reinterpret_cast<unsigned char*>(pixels.data()), CAIRO_FORMAT_ARGB32,
                           width, height,
                           cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width)),
                       cairo_surface_destroy);
}

void roundedRectangle(cairo_t* context, double x, double y, double width, double height,
                      double radius) {
  radius = std::min({radius, width / 2, height / 2});
  constexpr double quarter = std::numbers::pi / 2;
  cairo_new_sub_path(context);
  cairo_arc(context, x + width - radius, y + radius, radius, -quarter, 0);
  cairo_arc(context, x + width - radius, y + height - radius, radius, 0, quarter);
  cairo_arc(context, x + radius, y + height - radius, radius, quarter, 2 * quarter);
  cairo_arc(context, x + radius, y + radius, radius, 2 * quarter, 3 * quarter);
  cairo_close_path(context);
}

void drawIcon(cairo_t* context, const Image& icon, const Rect& cell, double imageHeight) {
  if (icon.isEmpty() || icon.pixels.size() != static_cast<std::size_t>(icon.width) *
                                                  static_cast<std::size_t>(icon.height)) {
    return;
  }
  std::vector<std::uint32_t> pixels = icon.pixels;
  const SurfaceHandle source = surfaceOver(pixels, icon.width, icon.height);
  cairo_save(context);
  // Cells are given with y upwards; the drawing surface has it downwards.
  cairo_translate(context, cell.origin.x, imageHeight - cell.origin.y - cell.size.height);
  cairo_scale(context, cell.size.width / icon.width, cell.size.height / icon.height);
  cairo_set_source_surface(context, source.get(), 0, 0);
  // Scaling blurs across the icon's edge; padding and clipping keep it
  // sharp and inside its cell.
  cairo_pattern_set_extend(cairo_get_source(context), CAIRO_EXTEND_PAD);
  cairo_rectangle(context, 0, 0, icon.width, icon.height);
  cairo_clip(context);
  cairo_set_operator(context, CAIRO_OPERATOR_OVER);
  cairo_paint(context);
  cairo_restore(context);
}

} // namespace

DesktopFolderIcons::DesktopFolderIcons(Dependencies dependencies)
    : services_(std::move(dependencies)), workQueue_(services_.backgroundQueue) {}

// The work queue's tasks point at this object: the pass under way is told
// to stop and waited for, and the ones not yet begun are dropped.
DesktopFolderIcons::~DesktopFolderIcons() {
  isEnding_ = true;
  stopWatching();
  periodicTimer_.cancel();
  if (!workQueue_.finish(FinishBound)) {
    services_.log.write("Quillon DesktopFolderIcons: a pass did not end in time at quit");
  }
}

std::filesystem::path DesktopFolderIcons::desktopFolder() const {
  if (auto desktop = services_.directories.desktop()) {
    return *desktop;
  }
  return services_.directories.home().value_or(std::filesystem::path()) / "Desktop";
}

void DesktopFolderIcons::start() {
  if (isRunning_) {
    return;
  }
  isRunning_ = true;
  services_.log.write("Quillon DesktopFolderIcons: start");
  startWatching();
  startPeriodicTimer();
  workQueue_.async(lifetime_.guard([this] { applyAll(); }));
}

void DesktopFolderIcons::stop() {
  if (!isRunning_) {
    return;
  }
  isRunning_ = false;
  services_.log.write("Quillon DesktopFolderIcons: stop");
  stopWatching();
  periodicTimer_.cancel();
  workQueue_.async(lifetime_.guard([this] { restoreModifiedFolders(); }));
}

void DesktopFolderIcons::startWatching() {
  // The stream ends with this object, so its callback may hold it; the hop
  // to the work queue may not.
  fsStream_ = services_.fileEvents.watch(
      desktopFolder(), EventLatency, [this](const std::vector<std::filesystem::path>& paths) {
        workQueue_.async(lifetime_.guard([this, paths] { handleFSEvents(paths); }));
      });
  isWatching_ = fsStream_.isActive();
  if (!isWatching_) {
    services_.log.write("Quillon DesktopFolderIcons: FSEventStreamCreate failed");
  }
}

void DesktopFolderIcons::stopWatching() {
  isWatching_ = false;
  debounceWork_.cancel();
  fsStream_.stop();
}

void DesktopFolderIcons::startPeriodicTimer() {
  periodicTimer_ = services_.mainQueue.scheduleRepeating(PeriodicInterval, lifetime_.guard([this] {
    workQueue_.async(lifetime_.guard([this] {
      if (isRunning_) {
        applyAll();
      }
    }));
  }));
}

void DesktopFolderIcons::handleFSEvents(const std::vector<std::filesystem::path>& paths) {
  const std::string desktop = desktopFolder().lexically_normal().string();
  const std::string prefix = desktop + "/";
  for (const std::filesystem::path& reported : paths) {
    std::string path = reported.lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') {
      path.pop_back();
    }
    if (path == desktop || !path.starts_with(prefix)) {
      continue;
    }
    const std::string rest = path.substr(prefix.size());
    const std::string component = rest.substr(0, rest.find('/'));
    if (!component.empty()) {
      // Redrawn on the next pass even if its list of names looks the same.
      lastFingerprint_.erase(prefix + component);
    }
  }
  scheduleRescan();
}

// A burst of events makes one pass, RescanDelay after the last of them.
void DesktopFolderIcons::scheduleRescan() {
  services_.mainQueue.async(lifetime_.guard([this] {
    debounceWork_ = services_.mainQueue.scheduleAfter(RescanDelay, lifetime_.guard([this] {
      workQueue_.async(lifetime_.guard([this] { applyAll(); }));
    }));
  }));
}

std::set<std::string> DesktopFolderIcons::storedModified() const {
  std::set<std::string> modified;
  const auto stored = services_.defaults.object(ModifiedDefaultsKey);
  const PropertyArray* paths = stored ? stored->get<PropertyArray>() : nullptr;
  if (paths == nullptr) {
    return modified;
  }
  for (const PropertyValue& path : *paths) {
    if (const std::string* text = path.get<std::string>()) {
      modified.insert(*text);
    }
  }
  return modified;
}

void DesktopFolderIcons::storeModified(const std::set<std::string>& modified) {
  PropertyArray paths;
  for (const std::string& path : modified) {
    paths.emplace_back(path);
  }
  services_.defaults.set(ModifiedDefaultsKey, std::move(paths));
}

void DesktopFolderIcons::applyAll() {
  const std::filesystem::path desktop = desktopFolder();
  std::error_code error;
  std::filesystem::directory_iterator entries(desktop, error);
  if (error) {
    services_.log.write("Quillon DesktopFolderIcons: cannot read " + desktop.string());
    return;
  }
  const std::set<std::string> stored = storedModified();
  std::set<std::string> modified = stored;
  int rendered = 0;
  int skipped = 0;
  int listed = 0;
  ++passNumber_;
  for (const auto end = std::filesystem::directory_iterator(); entries != end;
       entries.increment(error)) {
    if (error || isEnding_) {
      break;
    }
    const std::filesystem::path& item = entries->path();
    if (FolderListing::isHidden(item)) {
      continue;
    }
    ++listed;
    // A link is not a folder, whatever it leads to: following it would
    // write icons, attributes and dates outside the Desktop.
    std::error_code kindError;
    if (entries->symlink_status(kindError).type() != std::filesystem::file_type::directory ||
        FolderListing::isPackage(item)) {
      continue;
    }
    if (applyIcon(item)) {
      modified.insert(item.string());
      ++rendered;
    } else {
      ++skipped;
    }
  }
  // An unchanged set is not written again: a pass over an unchanged Desktop
  // touches nothing on disk.
  if (modified != stored) {
    storeModified(modified);
  }
  // A pass that changed nothing says nothing: the timer makes one every
  // 30 seconds.
  if (rendered > 0) {
    services_.workspace.noteFileSystemChanged(desktop);
    services_.log.write(
        "Quillon DesktopFolderIcons: applyAll done — rendered=" + std::to_string(rendered) +
        " skipped=" + std::to_string(skipped) + " of " + std::to_string(listed) + " items");
  }
}

std::int64_t DesktopFolderIcons::fingerprint(const std::vector<std::filesystem::path>& items) {
  std::string names;
  for (const std::filesystem::path& item : items) {
    if (!names.empty()) {
      names.push_back('\n');
    }
    names += item.filename().string();
  }
  return static_cast<std::int64_t>(std::hash<std::string>{}(names));
}

bool DesktopFolderIcons::applyIcon(const std::filesystem::path& folder) {
  // Forced refreshes name folders too; one that is a link is left alone.
  std::error_code kindError;
  if (std::filesystem::symlink_status(folder, kindError).type() !=
      std::filesystem::file_type::directory) {
    return false;
  }
  const std::string key = folder.string();
  const TimePoint now = services_.clock.now();
  if (const auto last = lastApplyAt_.find(key);
      last != lastApplyAt_.end() && Duration(now - last->second) < Cooldown) {
    return false;
  }
  const auto last = lastFingerprint_.find(key);
  if (last != lastFingerprint_.end() && namesSurelyUnchanged(key, folder)) {
    return false;
  }
  const auto items = topLevelEntries(folder);
  const std::int64_t print = fingerprint(items);
  if (last != lastFingerprint_.end() && last->second == print) {
    rememberFolderDate(key, folder);
    return false;
  }
  std::vector<Image> icons;
  for (std::size_t index = 0; index < items.size() && index < PreviewedItems; ++index) {
    if (auto icon = services_.workspace.fileIcon(items[index])) {
      icons.push_back(std::move(*icon));
    }
  }
  const Image composite = renderComposite(icons, CompositeSize);
  if (!services_.workspace.setFolderIcon(folder, &composite)) {
    reportIconFailure(key, items.size());
    return false;
  }
  failingFolders_.erase(key);
  services_.log.write("Quillon DesktopFolderIcons: ✓ " + folder.filename().string() + " (" +
                      std::to_string(items.size()) + " items)");
  lastFingerprint_[key] = print;
  lastApplyAt_[key] = now;
  ensureCustomIconAttribute(folder);
  services_.workspace.noteFileSystemChanged(folder);
  std::error_code ignored;
  std::filesystem::last_write_time(
      folder, std::chrono::file_clock::from_sys(services_.clock.wallNow()), ignored);
  rememberFolderDate(key, folder);
  return true;
}

void DesktopFolderIcons::reportIconFailure(const std::string& key, std::size_t itemCount) {
  if (failingFolders_.insert(key).second) {
    services_.log.write("Quillon DesktopFolderIcons: ✗ setIcon failed for " + key + " (" +
                        std::to_string(itemCount) + " items)");
  }
}

// Adding, removing or renaming an item changes the folder's own date; an
// item changed in place does not, but its file event forgets the folder's
// fingerprint, which sends it back to a full listing. A folder whose
// changes are not reported has no such event, so it is always listed. Reading one date
// instead of every item's is what keeps a pass over a full Desktop cheap.
bool DesktopFolderIcons::namesSurelyUnchanged(const std::string& key,
                                              const std::filesystem::path& folder) const {
  if (!isWatching_ || !services_.fileEvents.reportsChangesIn(folder) ||
      (std::hash<std::string>{}(key) + passNumber_) % FullCheckEvery == 0) {
    return false;
  }
  const auto listed = listedFolderDate_.find(key);
  if (listed == listedFolderDate_.end()) {
    return false;
  }
  std::error_code error;
  const auto date = std::filesystem::last_write_time(folder, error);
  return !error && date == listed->second;
}

void DesktopFolderIcons::rememberFolderDate(const std::string& key,
                                            const std::filesystem::path& folder) {
  std::error_code error;
  const auto date = std::filesystem::last_write_time(folder, error);
  if (error) {
    listedFolderDate_.erase(key);
  } else {
    listedFolderDate_[key] = date;
  }
}

void DesktopFolderIcons::forceRefresh(const std::filesystem::path& folder) {
  workQueue_.async(lifetime_.guard([this, folder] {
    if (!isRunning_) {
      return;
    }
    lastFingerprint_.erase(folder.string());
    lastApplyAt_.erase(folder.string());
    if (applyIcon(folder)) {
      std::set<std::string> modified = storedModified();
      if (modified.insert(folder.string()).second) {
        storeModified(modified);
      }
    }
  }));
}

void DesktopFolderIcons::ensureCustomIconAttribute(const std::filesystem::path& folder) {
  std::vector<std::uint8_t> info(FinderInfoSize, 0);
  if (const auto stored = services_.extendedAttributes.read(folder, FinderInfoAttribute)) {
    std::copy_n(stored->begin(), std::min(stored->size(), FinderInfoSize), info.begin());
  }
  info[FinderFlagsByte] |= HasCustomIconBit;
  if (const int failure = services_.extendedAttributes.write(folder, FinderInfoAttribute, info)) {
    services_.log.write("Quillon DesktopFolderIcons: setxattr FinderInfo failed for " +
                        folder.string() + " (errno=" + std::to_string(failure) + ")");
  }
}

// Removing the icon leaves the flag claiming one; the folder's other
// Finder information stays as it was. Information that held nothing but the
// flag was ours alone and goes with it.
void DesktopFolderIcons::clearCustomIconAttribute(const std::filesystem::path& folder) {
  auto info = services_.extendedAttributes.read(folder, FinderInfoAttribute);
  if (!info || info->size() <= FinderFlagsByte ||
      (((*info)[FinderFlagsByte]) & HasCustomIconBit) == 0) {
    return;
  }
  (*info)[FinderFlagsByte] &= static_cast<std::uint8_t>(~HasCustomIconBit);
  if (std::all_of(info->begin(), info->end(), [](std::uint8_t byte) { return byte == 0; })) {
    services_.extendedAttributes.remove(folder, FinderInfoAttribute);
  } else {
    services_.extendedAttributes.write(folder, FinderInfoAttribute, *info);
  }
}

void DesktopFolderIcons::restoreModifiedFolders() {
  std::set<std::string> remaining = storedModified();
  while (!remaining.empty()) {
    // Folders not reached before quitting stay listed for the next stop.
    if (isEnding_) {
      storeModified(remaining);
      return;
    }
    const std::string path = *remaining.begin();
    services_.workspace.setFolderIcon(path, nullptr);
    clearCustomIconAttribute(path);
    remaining.erase(remaining.begin());
  }
  storeModified({});
  lastFingerprint_.clear();
  lastApplyAt_.clear();
  listedFolderDate_.clear();
  failingFolders_.clear();
}

std::vector<Rect> DesktopFolderIcons::cellLayout(std::size_t count, Size size) {
  const double pad = size.width * padFraction;
  const double gap = size.width * gapFraction;
  const Rect inner{{pad, pad}, {size.width - 2 * pad, size.height - 2 * pad}};
  const double side = (inner.size.width - gap) / 2;
  const double left = inner.origin.x;
  const double right = inner.origin.x + side + gap;
  const double top = inner.origin.y + inner.size.height - side;
  const double bottom = inner.origin.y;
  switch (count) {
  case 0:
    return {};
  case 1: {
    const double single = inner.size.width * singleIconFraction;
    return {{{inner.midX() - single / 2, inner.midY() - single / 2}, {single, single}}};
  }
  case 2:
    return {{{left, inner.midY() - side / 2}, {side, side}},
            {{right, inner.midY() - side / 2}, {side, side}}};
  case 3:
    return {{{left, top}, {side, side}},
            {{right, top}, {side, side}},
            {{inner.midX() - side / 2, bottom}, {side, side}}};
  default:
    return {{{left, top}, {side, side}},
            {{right, top}, {side, side}},
            {{left, bottom}, {side, side}},
            {{right, bottom}, {side, side}}};
  }
}

Image DesktopFolderIcons::renderComposite(const std::vector<Image>& icons, Size size) {
  Image image;
  image.width = static_cast<int>(std::lround(size.width));
  image.height = static_cast<int>(std::lround(size.height));
  if (image.isEmpty()) {
    return image;
  }
  image.pixels.assign(
      static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), 0);
  const SurfaceHandle surface = surfaceOver(image.pixels, image.width, image.height);
  const ContextHandle context(cairo_create(surface.get()), cairo_destroy);
  cairo_t* draw = context.get();
  const double line = std::max(size.width * lineFraction, minimumLine);
  const double radius = size.width * radiusFraction;
  roundedRectangle(draw, line / 2, line / 2, size.width - line, size.height - line, radius);
  cairo_set_source_rgba(draw, 1, 1, 1, fillAlpha);
  cairo_fill(draw);
  const auto cells = cellLayout(icons.size(), size);
  for (std::size_t index = 0; index < std::min(cells.size(), icons.size()); ++index) {
    drawIcon(draw, icons[index], cells[index], size.height);
  }
  roundedRectangle(draw, line / 2, line / 2, size.width - line, size.height - line, radius);
  cairo_set_source_rgba(draw, 1, 1, 1, strokeAlpha);
  cairo_set_line_width(draw, line);
  cairo_stroke(draw);
  cairo_surface_flush(surface.get());
  return image;
}

} // namespace quillon
