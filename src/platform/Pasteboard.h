// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Observation.h"
#include "platform/PropertyValue.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

namespace pasteboardtype {
inline constexpr std::string_view PlainText = "public.utf8-plain-text";
inline constexpr std::string_view Png = "public.png";
inline constexpr std::string_view FileUrl = "public.file-url";
// Offered beside a password manager's copy, holding "secret": clipboard
// histories are asked not to keep it.
inline constexpr std::string_view PasswordManagerHint = "x-kde-passwordManagerHint";
inline constexpr std::string_view PasswordManagerSecret = "secret";
} // namespace pasteboardtype

// One pasteboard item: the same content in every type it can be read as.
struct PasteboardItem {
  std::map<std::string, PropertyData, std::less<>> representations;
  friend bool operator==(const PasteboardItem&, const PasteboardItem&) = default;
};

// The beginning of the plain text on the pasteboard, with the whole text's
// length: a reader that keeps only the beginning of a huge text never pays
// for a copy of all of it.
struct PasteboardTextStart {
  static PasteboardTextStart of(std::string_view whole, std::size_t maxBytes);
  static PasteboardTextStart of(const PropertyData& whole, std::size_t maxBytes);

  std::string start;
  std::size_t length = 0;
  friend bool operator==(const PasteboardTextStart&, const PasteboardTextStart&) = default;
};

class Pasteboard {
public:
  // Held while the product borrows the pasteboard (puts a text there for a
  // moment, has another application copy into it, puts back what was
  // there): every change meanwhile is the product's doing, not a copy the
  // user made.
  class [[nodiscard]] OwnUse {
  public:
    OwnUse() = default;
    explicit OwnUse(Pasteboard& pasteboard) : pasteboard_(&pasteboard) { ++pasteboard.ownUses_; }
    OwnUse(OwnUse&& other) noexcept : pasteboard_(std::exchange(other.pasteboard_, nullptr)) {}
    OwnUse& operator=(OwnUse&& other) noexcept {
      if (this != &other) {
        release();
        pasteboard_ = std::exchange(other.pasteboard_, nullptr);
      }
      return *this;
    }
    OwnUse(const OwnUse&) = delete;
    OwnUse& operator=(const OwnUse&) = delete;
    ~OwnUse() { release(); }
    void release() {
      if (pasteboard_ != nullptr) {
        --pasteboard_->ownUses_;
        pasteboard_->lastOwnChangeCount_ = pasteboard_->changeCount();
        pasteboard_ = nullptr;
      }
    }

  private:
    Pasteboard* pasteboard_ = nullptr;
  };

  virtual ~Pasteboard() = default;
  // Grows by one with every change, so a reader can tell whether it moved.
  virtual long changeCount() const = 0;
  virtual std::vector<PasteboardItem> items() const = 0;
  virtual void clearContents() = 0;
  virtual void writeItems(std::vector<PasteboardItem> items) = 0;
  std::optional<std::string> string() const;
  // At most maxBytes of the text, cut anywhere, even inside a character.
  virtual std::optional<PasteboardTextStart> stringStart(std::size_t maxBytes) const;
  void setString(std::string_view text);
  // A text put there by the product itself, which no history records.
  void setOwnString(std::string_view text);
  // Whether the owner asked that no history keep what it offers (a password
  // manager's copy). A desktop that knows no such request answers false.
  virtual bool isConcealed() const { return false; }
  // Hears, on the main thread, that another application changed the
  // contents. Inactive where the desktop tells no one: a reader then looks
  // at the change count from time to time.
  virtual Observation observeChanges(std::function<void()> changed) {
    (void)changed;
    return {};
  }

  OwnUse holdForOwnUse() { return OwnUse(*this); }
  bool isInOwnUse() const { return ownUses_ > 0; }
  // The change count when the product last gave the pasteboard back: still
  // current means the contents are the product's doing.
  std::optional<long> lastOwnChangeCount() const { return lastOwnChangeCount_; }

protected:
  // Whether these items carry the password manager's request, read without
  // copying what they hold.
  static bool itemsConcealed(const std::vector<PasteboardItem>& items);

private:
  int ownUses_ = 0;
  std::optional<long> lastOwnChangeCount_;
};

} // namespace quillon
