#pragma once

#include <stdexcept>
#include <string>

namespace quillon {

// A failure that ends a web-app build; its text is what the user reads in
// the error alert.
class WebAppError : public std::runtime_error {
public:
  enum class Kind {
    codesignFailed,
    noApplicationsDir,
    noOwnBinary,
    // A name that would place the bundle outside its folder.
    unsafeName,
    // A file, process or other platform operation failed.
    platform,
  };

  WebAppError(Kind kind, const std::string& description)
      : std::runtime_error(description), kind_(kind) {}

  static WebAppError codesignFailed(const std::string& standardError) {
    return {Kind::codesignFailed, "codesign failed: " + standardError};
  }
  static WebAppError noApplicationsDir() {
    return {Kind::noApplicationsDir, "Cannot resolve ~/Applications"};
  }
  static WebAppError noOwnBinary() {
    return {Kind::noOwnBinary, "Cannot locate Quillon executable"};
  }

  Kind kind() const { return kind_; }

private:
  Kind kind_;
};

} // namespace quillon
