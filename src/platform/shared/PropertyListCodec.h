#pragma once

#include "platform/PropertyValue.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

// Larger input is refused outright: no settings or information file comes close, and a
// bigger one is far more likely to be a mistake than data worth holding in memory.
inline constexpr std::size_t kMaxPropertyListBytes = 64 * 1024 * 1024;

// libplist parses and frees recursively, so a deeply nested document would exhaust the
// stack; no real property list nests anywhere near this deep.
inline constexpr std::size_t kMaxPropertyListDepth = 512;

// Reads an XML or binary property list. Answers nullopt for anything malformed, empty, too
// large or too deep, for a document holding any value PropertyValue has no kind for
// (a keyed-archive UID, an integer above INT64_MAX, a date WallTime cannot hold), and for
// one that cannot be read faithfully (a NUL character, a data block that is not strict
// base64): reading only part of such a document would let the next save silently change
// or drop what was left out.
std::optional<PropertyValue> parsePropertyList(std::span<const std::uint8_t> bytes);
std::optional<PropertyValue> parsePropertyList(std::string_view bytes);

// Why `value` has no faithful XML property-list form, or nullopt when it has one. Strings
// must be UTF-8 made of characters XML can carry (no NUL or other control characters
// besides tab, line feed and carriage return). Every date WallTime holds has one.
std::optional<std::string> propertyListWriteProblem(const PropertyValue& value);

// XML property-list text for `value`, or nullopt when propertyListWriteProblem() names a
// problem. XML property lists carry dates to the whole second, so dates are written
// rounded down to the second; every other value reads back equal.
std::optional<std::string> serializePropertyList(const PropertyValue& value);

// Takes the next piece of a text being written; answers false to stop the writing.
using PropertyListSink = std::function<bool(std::string_view)>;

// Hands what serializePropertyList(value) would answer to `sink` a piece at a time, never
// holding all of it: a file of many megabytes of text costs a few kilobytes to write
// beyond the value itself. Answers false, having handed over nothing or only part, when
// serializePropertyList would answer nullopt or `sink` answers false.
bool writePropertyList(const PropertyValue& value, const PropertyListSink& sink);

// The bytes of a property-list file that reads back as `value`, for values that were
// themselves read from a file: XML where it can carry them (as serializePropertyList()
// writes it), else a binary list (text with control characters, dates exact to the
// microsecond), else XML holding text that is not UTF-8 byte for
// byte as such a file had it. nullopt when no form reads back equal (text holding NUL).
std::optional<std::string> encodePropertyListFile(const PropertyValue& value);

} // namespace quillon
