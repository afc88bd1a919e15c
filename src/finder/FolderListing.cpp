#include "finder/FolderListing.h"

#include "text/Unicode.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <optional>

namespace quillon {

namespace {

// The file that carries a folder's custom icon on the system the product
// was first made for; its name ends in a carriage return.
constexpr std::string_view customIconFileName = "Icon\r";

// Directories the file manager shows as single items.
constexpr std::array<std::string_view, 5> packageExtensions{"app", "bundle", "framework", "plugin",
                                                            "kext"};

struct Listed {
  std::filesystem::path path;
  std::string name;
  bool isFolder = false;
  std::optional<std::filesystem::file_time_type> modified;
};

template <typename Visit>
void forEachVisible(const std::filesystem::path& folder, const Visit& visit) {
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) {
    return;
  }
  for (const auto end = std::filesystem::directory_iterator(); entries != end;
       entries.increment(error)) {
    if (error) {
      return;
    }
    if (!FolderListing::isHidden(entries->path())) {
      visit(*entries);
    }
  }
}

} // namespace

FolderListing::FolderListing() {
  UErrorCode status = U_ZERO_ERROR;
  // The C locale's collation puts every capital before every small letter;
  // without a language of the user's, the common order is the better guess.
  icu::Locale locale = icu::Locale::getDefault();
  if (std::string_view(locale.getVariant()) == "POSIX") {
    locale = icu::Locale::getRoot();
  }
  collator_.reset(icu::Collator::createInstance(locale, status));
  if (U_FAILURE(status)) {
    collator_.reset();
    return;
  }
  // Secondary strength tells accents apart but not case.
  collator_->setStrength(icu::Collator::SECONDARY);
}

bool FolderListing::isHidden(const std::filesystem::path& path) {
  return path.filename().string().starts_with('.');
}

bool FolderListing::isPackage(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  if (extension.empty()) {
    return false;
  }
  extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::find(packageExtensions.begin(), packageExtensions.end(), extension) !=
         packageExtensions.end();
}

bool FolderListing::nameLess(const std::string& left, const std::string& right) const {
  if (!collator_) {
    return lowercased(left) < lowercased(right);
  }
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult order = collator_->compareUTF8(
      icu::StringPiece(left.data(), static_cast<int32_t>(left.size())),
      icu::StringPiece(right.data(), static_cast<int32_t>(right.size())), status);
  return U_SUCCESS(status) && order == UCOL_LESS;
}

std::vector<std::filesystem::path> FolderListing::peekEntries(const std::filesystem::path& folder,
                                                              std::size_t limit) const {
  std::vector<Listed> listed;
  forEachVisible(folder, [&](const std::filesystem::directory_entry& entry) {
    std::error_code error;
    // An entry whose kind cannot be read counts as a file.
    const bool isFolder = entry.is_directory(error) && !error;
    listed.push_back({entry.path(), entry.path().filename().string(), isFolder, std::nullopt});
  });
  std::stable_sort(listed.begin(), listed.end(), [this](const Listed& left, const Listed& right) {
    if (left.isFolder != right.isFolder) {
      return left.isFolder;
    }
    return nameLess(left.name, right.name);
  });
  std::vector<std::filesystem::path> entries;
  for (std::size_t index = 0; index < listed.size() && index < limit; ++index) {
    entries.push_back(std::move(listed[index].path));
  }
  return entries;
}

std::vector<std::filesystem::path>
FolderListing::topLevelEntries(const std::filesystem::path& folder) const {
  std::vector<Listed> listed;
  forEachVisible(folder, [&](const std::filesystem::directory_entry& entry) {
    std::string name = entry.path().filename().string();
    if (name == customIconFileName) {
      return;
    }
    std::error_code error;
    const auto modified = entry.last_write_time(error);
    listed.push_back(
        {entry.path(), std::move(name), false, error ? std::nullopt : std::optional(modified)});
  });
  std::sort(listed.begin(), listed.end(), [this](const Listed& left, const Listed& right) {
    if (left.modified != right.modified) {
      // Newest first; an item without a date is as old as can be.
      return left.modified.value_or(std::filesystem::file_time_type::min()) >
             right.modified.value_or(std::filesystem::file_time_type::min());
    }
    return nameLess(left.name, right.name);
  });
  std::vector<std::filesystem::path> entries;
  entries.reserve(listed.size());
  for (Listed& item : listed) {
    entries.push_back(std::move(item.path));
  }
  return entries;
}

} // namespace quillon
