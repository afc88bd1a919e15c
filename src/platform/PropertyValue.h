// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quillon {

class PropertyValue;
using PropertyArray = std::vector<PropertyValue>;
using PropertyDictionary = std::map<std::string, PropertyValue, std::less<>>;
using PropertyData = std::vector<std::uint8_t>;

// A property-list value: what defaults domains and information dictionaries
// hold. Integers and reals are distinct kinds, as in a property list.
class PropertyValue {
public:
  using Storage = std::variant<bool, std::int64_t, double, std::string, PropertyData, WallTime,
                               PropertyArray, PropertyDictionary>;

  PropertyValue() : storage_(false) {}
  PropertyValue(bool value) : storage_(value) {}
  PropertyValue(int value) : storage_(std::int64_t{value}) {}
  PropertyValue(std::int64_t value) : storage_(value) {}
  PropertyValue(double value) : storage_(value) {}
  PropertyValue(const char* value) : storage_(std::string(value)) {}
  PropertyValue(std::string value) : storage_(std::move(value)) {}
  PropertyValue(PropertyData value) : storage_(std::move(value)) {}
  PropertyValue(WallTime value) : storage_(value) {}
  PropertyValue(PropertyArray value) : storage_(std::move(value)) {}
  PropertyValue(PropertyDictionary value) : storage_(std::move(value)) {}

  const Storage& storage() const { return storage_; }

  template <typename T> bool is() const { return std::holds_alternative<T>(storage_); }
  template <typename T> const T* get() const { return std::get_if<T>(&storage_); }

  std::optional<bool> asBool() const { return value<bool>(); }
  std::optional<std::int64_t> asInteger() const { return value<std::int64_t>(); }
  std::optional<double> asReal() const { return value<double>(); }
  std::optional<std::string> asString() const { return value<std::string>(); }

  friend bool operator==(const PropertyValue&, const PropertyValue&) = default;

private:
  template <typename T> std::optional<T> value() const {
    if (const T* stored = get<T>()) {
      return *stored;
    }
    return std::nullopt;
  }

  Storage storage_;
};

} // namespace quillon
