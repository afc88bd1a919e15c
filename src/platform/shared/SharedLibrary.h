#pragma once

#include <memory>
#include <optional>
#include <string>

namespace quillon {

// A shared library opened while the product runs rather than linked, so
// that its memory is spent only by sessions that use it. Closed when this
// goes, unless it was opened never to be unloaded.
class SharedLibrary {
public:
  enum class Unloading {
    Allowed,
    // For a library whose dependencies register exit handlers, which must
    // not point into unmapped code.
    Never,
  };

  // Nothing, with why in error, when it cannot be opened.
  static std::optional<SharedLibrary> open(const std::string& name, Unloading unloading,
                                           std::string& error);

  // Points function at the library's symbol; false, with why in error, when
  // the library has no such symbol.
  template <typename Function>
  bool find(const char* symbol, Function& function, std::string& error) const {
    void* const address = lookUp(symbol, error);
    function = reinterpret_cast<Function>(address);
    return address != nullptr;
  }

private:
  struct Close {
    void operator()(void* handle) const;
  };

  SharedLibrary(std::string name, void* handle) : name_(std::move(name)), handle_(handle) {}
  void* lookUp(const char* symbol, std::string& error) const;

  std::string name_;
  std::unique_ptr<void, Close> handle_;
};

} // namespace quillon
