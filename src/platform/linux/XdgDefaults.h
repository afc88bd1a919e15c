#pragma once

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/linux/XdgBaseDirectories.h"
#include "platform/shared/PlistDefaults.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace quillon {

// Settings and every other domain as property-list files, one a domain, in
// the product's folder of the user's configuration directory
// ($XDG_CONFIG_HOME/quillon/<domain>.plist). A session that names no home at
// all still works, with its changes kept in memory only.
class XdgDefaults final : public Defaults {
public:
  XdgDefaults(const XdgBaseDirectories& directories, Log& log);

  std::optional<PropertyValue> object(std::string_view domain, std::string_view key) const override;
  bool set(std::string_view domain, std::string_view key, PropertyValue value) override;
  bool remove(std::string_view domain, std::string_view key) override;
  // Values kept in memory only change here, but no number counts them.
  std::optional<std::uint64_t> revision() const override {
    return files_ ? files_->revision() : std::nullopt;
  }

private:
  std::unique_ptr<PlistDefaults> files_;
  // Used only when there is no folder to keep files in.
  mutable std::mutex memoryMutex_;
  std::map<std::string, PropertyDictionary, std::less<>> memoryOnly_;
};

} // namespace quillon
