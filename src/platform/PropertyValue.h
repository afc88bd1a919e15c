// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace quillon {

// The text of a property value. Copies share it: a long text handed from one
// owner to another (the clipboard history to the defaults store, say) is held
// in memory once.
class SharedString {
public:
  SharedString(std::string text) : text_(std::make_shared<const std::string>(std::move(text))) {}
  explicit SharedString(std::shared_ptr<const std::string> text)
      : text_(text ? std::move(text) : std::make_shared<const std::string>()) {}
  // Copied even when moved: a moved-from value still reads as its text, as a
  // moved-from string reads as some text.
  SharedString(const SharedString&) = default;
  SharedString& operator=(const SharedString&) = default;
  ~SharedString() = default;

  const std::string& str() const { return *text_; }
  std::shared_ptr<const std::string> shared() const { return text_; }
  operator const std::string&() const { return *text_; }

  friend bool operator==(const SharedString& left, const SharedString& right) {
    return left.text_ == right.text_ || *left.text_ == *right.text_;
  }

private:
  std::shared_ptr<const std::string> text_;
};

class PropertyValue;
using PropertyArray = std::vector<PropertyValue>;
using PropertyDictionary = std::map<std::string, PropertyValue, std::less<>>;
using PropertyData = std::vector<std::uint8_t>;

// A property-list value: what defaults domains and information dictionaries
// hold. Integers and reals are distinct kinds, as in a property list.
class PropertyValue {
public:
  using Storage = std::variant<bool, std::int64_t, double, SharedString, PropertyData, WallTime,
                               PropertyArray, PropertyDictionary>;

  PropertyValue() : storage_(false) {}
  PropertyValue(bool value) : storage_(value) {}
  PropertyValue(int value) : storage_(std::int64_t{value}) {}
  PropertyValue(std::int64_t value) : storage_(value) {}
  PropertyValue(double value) : storage_(value) {}
  PropertyValue(const char* value) : storage_(SharedString(std::string(value))) {}
  PropertyValue(std::string value) : storage_(SharedString(std::move(value))) {}
  PropertyValue(SharedString value) : storage_(std::move(value)) {}
  PropertyValue(PropertyData value) : storage_(std::move(value)) {}
  PropertyValue(WallTime value) : storage_(value) {}
  PropertyValue(PropertyArray value) : storage_(std::move(value)) {}
  PropertyValue(PropertyDictionary value) : storage_(std::move(value)) {}

  const Storage& storage() const { return storage_; }

  template <typename T> bool is() const { return std::holds_alternative<Held<T>>(storage_); }
  template <typename T> const T* get() const {
    if constexpr (std::is_same_v<T, std::string>) {
      const SharedString* text = std::get_if<SharedString>(&storage_);
      return text != nullptr ? &text->str() : nullptr;
    } else {
      return std::get_if<T>(&storage_);
    }
  }

  std::optional<bool> asBool() const { return value<bool>(); }
  std::optional<std::int64_t> asInteger() const { return value<std::int64_t>(); }
  std::optional<double> asReal() const { return value<double>(); }
  std::optional<std::string> asString() const { return value<std::string>(); }

  friend bool operator==(const PropertyValue&, const PropertyValue&) = default;

private:
  template <typename T>
  using Held = std::conditional_t<std::is_same_v<T, std::string>, SharedString, T>;

  template <typename T> std::optional<T> value() const {
    if (const T* stored = get<T>()) {
      return *stored;
    }
    return std::nullopt;
  }

  Storage storage_;
};

} // namespace quillon
