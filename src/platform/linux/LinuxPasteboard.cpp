#include "platform/linux/LinuxPasteboard.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

namespace quillon {

namespace {

// Where the owner object keeps the store that serves its data.
constexpr const char* ownerKey = "quillon-pasteboard";
constexpr std::string_view pngTarget = "image/png";
constexpr std::string_view uriListTarget = "text/uri-list";
// Every text target GTK offers and understands is served from one text.
constexpr guint textInfo = G_MAXUINT;
// An owner may offer dozens of formats of one thing; past this many the rest
// are left unread.
constexpr std::size_t maximumOtherTargets = 16;
// Targets that describe the selection rather than hold it.
constexpr std::array<std::string_view, 7> protocolTargets{
    "TARGETS", "TIMESTAMP", "MULTIPLE", "SAVE_TARGETS", "DELETE", "INCR", "ATOM_PAIR"};

std::string targetForType(std::string_view type) {
  if (type == pasteboardtype::Png) {
    return std::string(pngTarget);
  }
  return std::string(type);
}

std::string typeForTarget(std::string_view target) {
  if (target == pngTarget) {
    return std::string(pasteboardtype::Png);
  }
  return std::string(target);
}

bool isTextTarget(GdkAtom target) {
  return gtk_targets_include_text(&target, 1) != FALSE;
}

bool isProtocolTarget(std::string_view name) {
  return std::find(protocolTargets.begin(), protocolTargets.end(), name) != protocolTargets.end();
}

std::string atomName(GdkAtom atom) {
  gchar* name = gdk_atom_name(atom);
  std::string result = name != nullptr ? name : "";
  g_free(name);
  return result;
}

// One URL a line, lines that begin with "#" being comments.
std::vector<std::string> urisIn(std::string_view list) {
  std::vector<std::string> uris;
  while (!list.empty()) {
    const auto end = list.find('\n');
    std::string_view line = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view{} : list.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (!line.empty() && line.front() != '#') {
      uris.emplace_back(line);
    }
  }
  return uris;
}

std::optional<PropertyData> contentsOf(GtkClipboard* clipboard, GdkAtom target) {
  GtkSelectionData* data = gtk_clipboard_wait_for_contents(clipboard, target);
  if (data == nullptr) {
    return std::nullopt;
  }
  std::optional<PropertyData> bytes;
  const gint length = gtk_selection_data_get_length(data);
  if (length >= 0) {
    const guchar* start = gtk_selection_data_get_data(data);
    bytes.emplace(start, start + length);
  }
  gtk_selection_data_free(data);
  return bytes;
}

PropertyData bytesOf(std::string_view text) {
  return PropertyData(text.begin(), text.end());
}

} // namespace

LinuxPasteboard::LinuxPasteboard(Log& log, GdkDisplay* display)
    : log_(log),
      clipboard_(gtk_clipboard_get_for_display(
          display != nullptr ? display : gdk_display_get_default(), GDK_SELECTION_CLIPBOARD)),
      owner_(static_cast<GObject*>(g_object_new(G_TYPE_OBJECT, nullptr))) {
  g_object_set_data(owner_.get(), ownerKey, this);
  ownerChangeHandler_ =
      g_signal_connect(clipboard_, "owner-change", G_CALLBACK(ownerChanged), this);
  // Sends the request for owner-change reports now, not with the next
  // request whenever that comes, so no change before then goes unheard.
  gdk_display_flush(gtk_clipboard_get_display(clipboard_));
}

LinuxPasteboard::~LinuxPasteboard() {
  cancelPendingClear();
  g_signal_handler_disconnect(clipboard_, ownerChangeHandler_);
  if (ownsClipboard()) {
    // A clipboard manager, where the session runs one, keeps the text after
    // the product is gone.
    gtk_clipboard_store(clipboard_);
    gtk_clipboard_clear(clipboard_);
  }
}

bool LinuxPasteboard::ownsClipboard() const {
  return gtk_clipboard_get_owner(clipboard_) == owner_.get();
}

void LinuxPasteboard::ownerChanged(GtkClipboard*, GdkEventOwnerChange* event, gpointer self) {
  auto& pasteboard = *static_cast<LinuxPasteboard*>(self);
  // The product's own changes were counted when it made them.
  const bool ownWindow =
      event->owner != nullptr && gdk_window_get_window_type(event->owner) != GDK_WINDOW_FOREIGN;
  if (ownWindow) {
    return;
  }
  if (event->owner == nullptr && event->reason == GDK_OWNER_CHANGE_NEW_OWNER &&
      pasteboard.pendingOwnClears_ > 0) {
    --pasteboard.pendingOwnClears_;
    return;
  }
  ++pasteboard.changeCount_;
  // A copy: an observer may stop observing, or start, while hearing it.
  const auto observers = pasteboard.changeObservers_;
  for (const auto& observer : observers) {
    (*observer)();
  }
}

class LinuxPasteboard::ChangeObserver final : public Observation::Token {
public:
  ChangeObserver(LinuxPasteboard& pasteboard, std::shared_ptr<std::function<void()>> callback)
      : pasteboard_(pasteboard), callback_(std::move(callback)) {}
  void cancel() override { std::erase(pasteboard_.changeObservers_, callback_); }

private:
  LinuxPasteboard& pasteboard_;
  std::shared_ptr<std::function<void()>> callback_;
};

Observation LinuxPasteboard::observeChanges(std::function<void()> changed) {
  auto callback = std::make_shared<std::function<void()>>(std::move(changed));
  changeObservers_.push_back(callback);
  return Observation(std::make_unique<ChangeObserver>(*this, std::move(callback)));
}

// A clear is nearly always followed at once by a write: the two reach other
// clients as one change, and a clear on its own is published from the main
// loop.
void LinuxPasteboard::clearContents() {
  written_.clear();
  ++changeCount_;
  if (pendingClear_ == 0) {
    pendingClear_ = g_idle_add(
        [](gpointer self) {
          auto& pasteboard = *static_cast<LinuxPasteboard*>(self);
          pasteboard.pendingClear_ = 0;
          pasteboard.publish();
          return gboolean{G_SOURCE_REMOVE};
        },
        this);
  }
}

// Published at once: a paste the product synthesises right after must find
// the new contents.
void LinuxPasteboard::writeItems(std::vector<PasteboardItem> items) {
  std::move(items.begin(), items.end(), std::back_inserter(written_));
  ++changeCount_;
  cancelPendingClear();
  publish();
}

void LinuxPasteboard::cancelPendingClear() {
  if (pendingClear_ != 0) {
    g_source_remove(pendingClear_);
    pendingClear_ = 0;
  }
}

void LinuxPasteboard::publish() {
  served_.clear();
  std::string uriList;
  bool hasText = false;
  for (const PasteboardItem& item : written_) {
    for (const auto& [type, bytes] : item.representations) {
      if (type == pasteboardtype::PlainText) {
        hasText = true;
        continue;
      }
      if (type == pasteboardtype::FileUrl) {
        uriList.append(bytes.begin(), bytes.end());
        uriList += "\r\n";
        continue;
      }
      const std::string target = targetForType(type);
      const bool offered =
          std::any_of(served_.begin(), served_.end(),
                      [&target](const auto& entry) { return entry.first == target; });
      if (!offered) {
        served_.emplace_back(target, bytes);
      }
    }
  }
  if (!uriList.empty()) {
    served_.emplace_back(std::string(uriListTarget), bytesOf(uriList));
  }
  if (!hasText && served_.empty()) {
    // Empty, whoever held it: the selection then has no owner at all.
    ++pendingOwnClears_;
    if (ownsClipboard()) {
      gtk_clipboard_clear(clipboard_);
      return;
    }
    gtk_selection_owner_set_for_display(gtk_clipboard_get_display(clipboard_), nullptr,
                                        GDK_SELECTION_CLIPBOARD, GDK_CURRENT_TIME);
    return;
  }
  GtkTargetList* list = gtk_target_list_new(nullptr, 0);
  if (hasText) {
    gtk_target_list_add_text_targets(list, textInfo);
  }
  for (guint index = 0; index < served_.size(); ++index) {
    gtk_target_list_add(list, gdk_atom_intern(served_[index].first.c_str(), FALSE), 0, index);
  }
  gint count = 0;
  GtkTargetEntry* table = gtk_target_table_new_from_list(list, &count);
  gtk_target_list_unref(list);
  if (gtk_clipboard_set_with_owner(clipboard_, table, static_cast<guint>(count), serve,
                                   ownershipLost, owner_.get()) == FALSE) {
    log_.write("Quillon: could not take the clipboard; what was copied stays unseen by other "
               "applications");
  }
  gtk_target_table_free(table, count);
  gtk_clipboard_set_can_store(clipboard_, nullptr, 0);
}

void LinuxPasteboard::serve(GtkClipboard*, GtkSelectionData* data, guint info, gpointer owner) {
  const auto* pasteboard =
      static_cast<const LinuxPasteboard*>(g_object_get_data(G_OBJECT(owner), ownerKey));
  if (pasteboard == nullptr) {
    return;
  }
  if (info == textInfo) {
    for (const PasteboardItem& item : pasteboard->written_) {
      const auto text = item.representations.find(pasteboardtype::PlainText);
      if (text != item.representations.end()) {
        gtk_selection_data_set_text(data, reinterpret_cast<const gchar*>(text->second.data()),
                                    static_cast<gint>(text->second.size()));
        return;
      }
    }
    return;
  }
  if (info >= pasteboard->served_.size()) {
    return;
  }
  const auto& [target, bytes] = pasteboard->served_[info];
  gtk_selection_data_set(data, gdk_atom_intern(target.c_str(), FALSE), 8, bytes.data(),
                         static_cast<gint>(bytes.size()));
}

void LinuxPasteboard::ownershipLost(GtkClipboard*, gpointer) {
  // Another client's copy is counted when the server reports it.
}

namespace {

// Waiting for the owner runs the main loop, whose timers and taps may read
// again: such a read gets nothing rather than a second wait stacked inside
// the first.
template <typename Read> auto readingOnce(bool& isReading, Read read) -> decltype(read()) {
  if (isReading) {
    return {};
  }
  isReading = true;
  const auto endReading =
      std::unique_ptr<bool, void (*)(bool*)>(&isReading, [](bool* reading) { *reading = false; });
  return read();
}

} // namespace

bool LinuxPasteboard::isConcealed() const {
  if (pendingClear_ != 0 || ownsClipboard()) {
    return itemsConcealed(written_);
  }
  return readingOnce(isReading_, [this] {
    GdkAtom* targets = nullptr;
    gint count = 0;
    if (gtk_clipboard_wait_for_targets(clipboard_, &targets, &count) == FALSE) {
      return false;
    }
    const GdkAtom hintTarget =
        gdk_atom_intern(std::string(pasteboardtype::PasswordManagerHint).c_str(), FALSE);
    const bool hinted = std::find(targets, targets + count, hintTarget) != targets + count;
    g_free(targets);
    if (!hinted) {
      return false;
    }
    const auto hint = contentsOf(clipboard_, hintTarget);
    if (!hint) {
      return false;
    }
    std::string_view value(reinterpret_cast<const char*>(hint->data()), hint->size());
    // Some owners end the value with a line break or a NUL.
    while (!value.empty() && (value.back() == '\n' || value.back() == '\0')) {
      value.remove_suffix(1);
    }
    return value == pasteboardtype::PasswordManagerSecret;
  });
}

std::vector<PasteboardItem> LinuxPasteboard::items() const {
  if (pendingClear_ != 0 || ownsClipboard()) {
    return written_;
  }
  return readingOnce(isReading_, [this] { return readFromOwner(); });
}

// Only the text is asked for: the other formats an owner offers may be as
// large, and a reader of the text's beginning has no use for them.
std::optional<PasteboardTextStart> LinuxPasteboard::stringStart(std::size_t maxBytes) const {
  if (pendingClear_ != 0 || ownsClipboard()) {
    for (const PasteboardItem& item : written_) {
      if (const auto text = item.representations.find(pasteboardtype::PlainText);
          text != item.representations.end()) {
        return PasteboardTextStart::of(text->second, maxBytes);
      }
    }
    return std::nullopt;
  }
  return readingOnce(isReading_, [this, maxBytes] { return textStartFromOwner(maxBytes); });
}

std::optional<PasteboardTextStart> LinuxPasteboard::textStartFromOwner(std::size_t maxBytes) const {
  gchar* text = gtk_clipboard_wait_for_text(clipboard_);
  if (text == nullptr) {
    return std::nullopt;
  }
  const std::unique_ptr<gchar, void (*)(gpointer)> owned(text, g_free);
  return PasteboardTextStart::of(std::string_view(text), maxBytes);
}

std::vector<PasteboardItem> LinuxPasteboard::textWithoutTargets() const {
  gchar* text = gtk_clipboard_wait_for_text(clipboard_);
  if (text == nullptr) {
    return {};
  }
  PasteboardItem item;
  item.representations.emplace(std::string(pasteboardtype::PlainText), bytesOf(text));
  g_free(text);
  return {std::move(item)};
}

std::vector<PasteboardItem> LinuxPasteboard::readFromOwner() const {
  GdkAtom* targets = nullptr;
  gint count = 0;
  if (gtk_clipboard_wait_for_targets(clipboard_, &targets, &count) == FALSE) {
    // Some owners never learnt to list their targets; text is what they
    // all hold.
    return textWithoutTargets();
  }
  PasteboardItem item;
  std::vector<std::string> fileUrls;
  std::size_t otherTargets = 0;
  if (gtk_targets_include_text(targets, count) != FALSE) {
    if (gchar* text = gtk_clipboard_wait_for_text(clipboard_)) {
      item.representations.emplace(std::string(pasteboardtype::PlainText), bytesOf(text));
      g_free(text);
    }
  }
  for (gint index = 0; index < count; ++index) {
    const std::string name = atomName(targets[index]);
    if (isTextTarget(targets[index]) || isProtocolTarget(name) || name.empty()) {
      continue;
    }
    if (name == uriListTarget) {
      if (const auto list = contentsOf(clipboard_, targets[index])) {
        fileUrls =
            urisIn(std::string_view(reinterpret_cast<const char*>(list->data()), list->size()));
      }
      continue;
    }
    if (name != pngTarget && ++otherTargets > maximumOtherTargets) {
      continue;
    }
    if (auto bytes = contentsOf(clipboard_, targets[index])) {
      item.representations.emplace(typeForTarget(name), std::move(*bytes));
    }
  }
  g_free(targets);
  std::vector<PasteboardItem> items;
  for (std::size_t index = 0; index < fileUrls.size(); ++index) {
    PasteboardItem& fileItem = index == 0 ? item : items.emplace_back();
    fileItem.representations.emplace(std::string(pasteboardtype::FileUrl),
                                     bytesOf(fileUrls[index]));
  }
  if (!item.representations.empty()) {
    items.insert(items.begin(), std::move(item));
  }
  return items;
}

} // namespace quillon
