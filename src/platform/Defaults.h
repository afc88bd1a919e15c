// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include "platform/PropertyValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Typed property-list values per domain: the application's own domain, a web
// app's own domain, and other system domains the product adjusts.
class Defaults {
public:
  virtual ~Defaults() = default;
  virtual std::optional<PropertyValue> object(std::string_view domain,
                                              std::string_view key) const = 0;
  // Answers false when the value could not be made durable; the value stays
  // readable for the rest of the process either way.
  virtual bool set(std::string_view domain, std::string_view key, PropertyValue value) = 0;
  virtual bool remove(std::string_view domain, std::string_view key) = 0;
  // A number that changes whenever any stored value may have changed, so a
  // reader may keep what it read until then; absent when the store cannot
  // tell (values changed from outside the process, say), and readers must
  // then read afresh every time.
  virtual std::optional<std::uint64_t> revision() const { return std::nullopt; }
};

// One domain of a Defaults store, for code that only ever touches its own.
class DefaultsDomain {
public:
  DefaultsDomain(Defaults& defaults, std::string domain)
      : defaults_(defaults), domain_(std::move(domain)) {}

  std::optional<PropertyValue> object(std::string_view key) const {
    return defaults_.object(domain_, key);
  }
  bool set(std::string_view key, PropertyValue value) {
    return defaults_.set(domain_, key, std::move(value));
  }
  bool remove(std::string_view key) { return defaults_.remove(domain_, key); }
  std::optional<std::uint64_t> revision() const { return defaults_.revision(); }
  const std::string& name() const { return domain_; }

private:
  Defaults& defaults_;
  std::string domain_;
};

} // namespace quillon
