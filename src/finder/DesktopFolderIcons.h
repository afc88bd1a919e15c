#pragma once

#include "finder/FolderListing.h"
#include "finder/SerialQueue.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Directories.h"
#include "platform/ExtendedAttributes.h"
#include "platform/FileEvents.h"
#include "platform/Geometry.h"
#include "platform/Image.h"
#include "platform/Lifetime.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace quillon {

// Gives every folder on the Desktop an icon previewing its contents: a
// translucent rounded square carrying the icons of its four newest items in
// a 2×2 grid. It redraws a folder when its list of items changes, looks
// over everything every 30 seconds, and on stop puts back the usual icon of
// every folder it ever changed, in this run or an earlier one.
class DesktopFolderIcons {
public:
  struct Dependencies {
    Directories& directories;
    FileEvents& fileEvents;
    Workspace& workspace;
    ExtendedAttributes& extendedAttributes;
    DefaultsDomain defaults;
    MainQueue& mainQueue;
    BackgroundQueue& backgroundQueue;
    const Clock& clock;
    Log& log;
  };

  static constexpr Duration Cooldown{1.0};
  static constexpr Duration EventLatency{1.0};
  static constexpr Duration RescanDelay{0.5};
  static constexpr Duration PeriodicInterval{30};
  static constexpr std::string_view ModifiedDefaultsKey = "desktopFolderIconsModified";
  static constexpr std::string_view FinderInfoAttribute = finderInfoAttributeName;
  static constexpr std::size_t FinderInfoSize = 32;
  // The has-custom-icon bit of the Finder flags.
  static constexpr std::size_t FinderFlagsByte = 8;
  static constexpr std::uint8_t HasCustomIconBit = 0x04;
  static constexpr Size CompositeSize{512, 512};
  static constexpr std::size_t PreviewedItems = 4;
  // A folder whose own date says its names are as they were is trusted to
  // be unchanged while file events are watched, except on every
  // FullCheckEvery-th pass, which reads it in full in case an event went
  // missing; folders take those turns in rotation.
  static constexpr std::uint64_t FullCheckEvery = 10;
  // How long going away waits for the folder being drawn; a pass stops at
  // the next folder, so this is only reached on a file system that hangs.
  static constexpr Duration FinishBound{5};

  explicit DesktopFolderIcons(Dependencies dependencies);
  ~DesktopFolderIcons();
  DesktopFolderIcons(const DesktopFolderIcons&) = delete;
  DesktopFolderIcons& operator=(const DesktopFolderIcons&) = delete;

  void start();
  void stop();
  void forceRefresh(const std::filesystem::path& folder);
  bool isRunning() const { return isRunning_; }

  // One pass over the Desktop; runs on the work queue.
  void applyAll();
  // Answers whether an icon was set.
  bool applyIcon(const std::filesystem::path& folder);
  std::vector<std::filesystem::path> topLevelEntries(const std::filesystem::path& folder) const {
    return listing_.topLevelEntries(folder);
  }

  // Cells in image coordinates: origin at the bottom left, y upwards.
  static std::vector<Rect> cellLayout(std::size_t count, Size size);
  static Image renderComposite(const std::vector<Image>& icons, Size size);
  static std::int64_t fingerprint(const std::vector<std::filesystem::path>& items);

  std::filesystem::path desktopFolder() const;

private:
  void startWatching();
  void stopWatching();
  void startPeriodicTimer();
  void handleFSEvents(const std::vector<std::filesystem::path>& paths);
  void scheduleRescan();
  void reportIconFailure(const std::string& key, std::size_t itemCount);
  void ensureCustomIconAttribute(const std::filesystem::path& folder);
  void clearCustomIconAttribute(const std::filesystem::path& folder);
  void restoreModifiedFolders();
  bool namesSurelyUnchanged(const std::string& key, const std::filesystem::path& folder) const;
  void rememberFolderDate(const std::string& key, const std::filesystem::path& folder);
  std::set<std::string> storedModified() const;
  void storeModified(const std::set<std::string>& modified);

  Dependencies services_;
  FolderListing listing_;
  // Read by the work queue's passes too.
  std::atomic<bool> isRunning_ = false;
  // Whether file events report changes inside the folders; read by the
  // work queue.
  std::atomic<bool> isWatching_ = false;
  // Set as this object goes: a pass under way stops at the next folder.
  std::atomic<bool> isEnding_ = false;
  Observation fsStream_;
  ScheduledTask debounceWork_;
  ScheduledTask periodicTimer_;
  // Touched only on the work queue.
  std::map<std::string, std::int64_t> lastFingerprint_;
  std::map<std::string, TimePoint> lastApplyAt_;
  // Each folder's own modification date when its items were last listed.
  std::map<std::string, std::filesystem::file_time_type> listedFolderDate_;
  // Folders whose icon could not be set at their last attempt, so a folder
  // that keeps refusing is reported once, not at every pass.
  std::set<std::string> failingFolders_;
  std::uint64_t passNumber_ = 0;
  SerialQueue workQueue_;
  Lifetime lifetime_;
};

} // namespace quillon
