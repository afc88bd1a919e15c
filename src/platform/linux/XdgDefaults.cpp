#include "platform/linux/XdgDefaults.h"

namespace quillon {

XdgDefaults::XdgDefaults(const XdgBaseDirectories& directories, Log& log) {
  if (const auto folder = directories.quillonConfigDirectory()) {
    files_ = std::make_unique<PlistDefaults>(*folder, log);
    return;
  }
  log.write("Quillon: neither XDG_CONFIG_HOME nor HOME names a folder; settings are kept in "
            "memory only");
}

std::optional<PropertyValue> XdgDefaults::object(std::string_view domain,
                                                 std::string_view key) const {
  if (files_) {
    return files_->object(domain, key);
  }
  const std::lock_guard lock(memoryMutex_);
  const auto values = memoryOnly_.find(domain);
  if (values == memoryOnly_.end()) {
    return std::nullopt;
  }
  const auto value = values->second.find(key);
  if (value == values->second.end()) {
    return std::nullopt;
  }
  return value->second;
}

bool XdgDefaults::set(std::string_view domain, std::string_view key, PropertyValue value) {
  if (files_) {
    return files_->set(domain, key, std::move(value));
  }
  const std::lock_guard lock(memoryMutex_);
  memoryOnly_[std::string(domain)].insert_or_assign(std::string(key), std::move(value));
  return false;
}

bool XdgDefaults::remove(std::string_view domain, std::string_view key) {
  if (files_) {
    return files_->remove(domain, key);
  }
  const std::lock_guard lock(memoryMutex_);
  if (const auto values = memoryOnly_.find(domain); values != memoryOnly_.end()) {
    if (const auto value = values->second.find(key); value != values->second.end()) {
      values->second.erase(value);
    }
  }
  return false;
}

} // namespace quillon
