#pragma once

#include <unicode/coll.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// The listings folder peek and the Desktop icons show: visible items only,
// names compared as the user's language sorts them, ignoring case.
class FolderListing {
public:
  FolderListing();

  // What the peek panel shows: folders first, then everything else, each
  // group by name; at most limit of them. A folder that cannot be read
  // lists nothing.
  std::vector<std::filesystem::path> peekEntries(const std::filesystem::path& folder,
                                                 std::size_t limit) const;
  // What a Desktop folder's icon previews: newest content first (items
  // without a date last), equal dates by name. The folder's own icon file
  // is left out.
  std::vector<std::filesystem::path> topLevelEntries(const std::filesystem::path& folder) const;

  // Case-insensitive, in the order of the user's language.
  bool nameLess(const std::string& left, const std::string& right) const;

  static bool isHidden(const std::filesystem::path& path);
  // A directory the file manager shows as a single item with an icon of
  // its own (an application, a plug-in), judged by its extension.
  static bool isPackage(const std::filesystem::path& path);

private:
  std::unique_ptr<icu::Collator> collator_;
};

} // namespace quillon
