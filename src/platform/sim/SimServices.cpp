#include "platform/sim/SimServices.h"

#include <algorithm>
#include <map>

namespace quillon {

std::optional<std::string> SimLiveServices::whyNotLive(Capability capability) const {
  const auto found = notLive_.find(capability);
  if (found == notLive_.end()) {
    return std::nullopt;
  }
  return found->second;
}

void SimLiveServices::markNotLive(Capability capability, std::string reason) {
  notLive_.insert_or_assign(capability, std::move(reason));
}

const RunningApplication* SimWorkspace::find(int processIdentifier) const {
  const auto found = std::find_if(running_.begin(), running_.end(), [&](const auto& application) {
    return application.processIdentifier == processIdentifier;
  });
  return found == running_.end() ? nullptr : &*found;
}

std::optional<RunningApplication> SimWorkspace::frontmostApplication() const {
  if (!frontmost_) {
    return std::nullopt;
  }
  if (const RunningApplication* application = find(*frontmost_)) {
    return *application;
  }
  return std::nullopt;
}

bool SimWorkspace::activate(const RunningApplication& application, ActivationOptions options) {
  if (find(application.processIdentifier) == nullptr) {
    return false;
  }
  journal_.record("activate " + std::to_string(application.processIdentifier) + " options " +
                  std::to_string(static_cast<unsigned>(options)));
  frontmost_ = application.processIdentifier;
  noteFocusMayHaveMoved();
  return true;
}

std::optional<std::uint64_t> SimWorkspace::focusedWindow() const {
  if (applications_ == nullptr || !frontmost_ || find(*frontmost_) == nullptr) {
    return std::nullopt;
  }
  const SimWindow* window = applications_->focusedWindow(*frontmost_);
  return window == nullptr ? std::nullopt : std::optional<std::uint64_t>(window->number);
}

void SimWorkspace::noteFocusMayHaveMoved() {
  const auto focused = focusedWindow();
  if (focused == announcedFocus_) {
    return;
  }
  announcedFocus_ = focused;
  focusMoved_.post();
}

bool SimWorkspace::openUrl(std::string_view url) {
  journal_.record("open url " + std::string(url));
  openedUrls_.emplace_back(url);
  return true;
}

std::optional<Image> SimWorkspace::fileIcon(const std::filesystem::path& path) const {
  return icons_ == nullptr ? std::nullopt : icons_->iconFor(path);
}

bool SimWorkspace::setFolderIcon(const std::filesystem::path& folder, const Image* image) {
  return icons_ != nullptr && icons_->setFolderIcon(folder, image);
}

void SimWorkspace::noteFileSystemChanged(const std::filesystem::path& path) {
  journal_.record("file system changed " + path.string());
}

void SimWorkspace::launch(RunningApplication application) {
  const bool isNew = find(application.processIdentifier) == nullptr;
  std::erase_if(running_, [&](const auto& existing) {
    return existing.processIdentifier == application.processIdentifier;
  });
  running_.push_back(std::move(application));
  if (isNew) {
    launched_.post(RunningApplication(running_.back()));
  }
}

void SimWorkspace::quit(int processIdentifier) {
  std::erase_if(running_, [&](const auto& application) {
    return application.processIdentifier == processIdentifier;
  });
  if (frontmost_ == processIdentifier) {
    frontmost_.reset();
  }
  noteFocusMayHaveMoved();
}

void SimWorkspace::setFrontmost(int processIdentifier) {
  if (find(processIdentifier) != nullptr) {
    const bool activated = frontmost_ != processIdentifier;
    frontmost_ = processIdentifier;
    if (activated) {
      activated_.post();
    }
    noteFocusMayHaveMoved();
  }
}

// Straight from the stored items: items() would copy every one of them.
std::optional<PasteboardTextStart> SimPasteboard::stringStart(std::size_t maxBytes) const {
  for (const PasteboardItem& item : items_) {
    if (const auto text = item.representations.find(pasteboardtype::PlainText);
        text != item.representations.end()) {
      return PasteboardTextStart::of(text->second, maxBytes);
    }
  }
  return std::nullopt;
}

void SimPasteboard::clearContents() {
  items_.clear();
  ++changeCount_;
}

void SimPasteboard::writeItems(std::vector<PasteboardItem> items) {
  items_.insert(items_.end(), std::make_move_iterator(items.begin()),
                std::make_move_iterator(items.end()));
  ++changeCount_;
}

void SimApplication::setActivationPolicy(ActivationPolicy policy) {
  policy_ = policy;
  journal_.record("activation policy " + std::to_string(static_cast<int>(policy)));
}

void SimApplication::run(ApplicationDelegate& delegate) {
  if (launched_) {
    return;
  }
  launched_ = true;
  delegate.applicationDidFinishLaunching();
}

void SimApplication::terminate() {
  terminated_ = true;
  journal_.record("terminate");
}

} // namespace quillon
