// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// One square picture of the application icon, drawn by the product.
struct AppIconImage {
  int pixels = 0;
  std::string fileName;
};

// Why the seal of a bundle could not be made.
struct SealFailure {
  enum class Kind {
    // The sealing tool could not be started at all.
    NotStarted,
    // It ran and refused; the message is its own.
    Refused,
  };
  Kind kind = Kind::Refused;
  std::string message;
};

// A bundle that now lives where the user's applications live.
struct InstalledWebApp {
  std::filesystem::path bundle;
  std::filesystem::path executable;
  std::string identifier;
  std::string name;
  // Whether the bundle carries an icon made by makeAppIcon.
  bool hasIcon = false;
};

// What a web-app build asks of the desktop beyond plain files: an icon in
// the form the desktop shows, a seal over the finished bundle, the download
// flag cleared, and the launcher through which the user finds the app.
class WebAppPackaging {
public:
  virtual ~WebAppPackaging() = default;

  // The sizes the desktop shows icons at, each with the file name the
  // picture is drawn into inside the folder given to makeAppIcon.
  virtual std::vector<AppIconImage> iconImages() const = 0;
  // Turns the pictures drawn in images into the bundle's icon inside
  // resources; true when it is there.
  virtual bool makeAppIcon(const std::filesystem::path& images,
                           const std::filesystem::path& resources) = 0;
  // Seals the finished bundle so the system runs it as it is; nothing on
  // success.
  virtual std::optional<SealFailure> seal(const std::filesystem::path& bundle) = 0;
  // A bundle the user made must not be treated as downloaded.
  virtual void clearQuarantine(const std::filesystem::path& bundle) = 0;
  // Whether a copy in the applications folder every user shares means
  // anything here.
  virtual bool offersSharedInstall() const = 0;
  // Makes an installed web app findable (launcher and icon) where the
  // desktop does not find bundles by itself; nothing on success, otherwise
  // why not.
  virtual std::optional<std::string> publish(const InstalledWebApp& app) = 0;
  // Takes back what publish made for that identifier.
  virtual void withdraw(const std::string& identifier) = 0;
  // Starts an installed web app as the user would; false when it cannot.
  virtual bool launch(const std::filesystem::path& bundle) = 0;
};

} // namespace quillon
