#include "finder/FolderListing.h"

#include "platform/shared/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon {
namespace {

void touch(const std::filesystem::path& path) {
  std::ofstream(path) << "x";
}

std::vector<std::string> names(const std::vector<std::filesystem::path>& paths) {
  std::vector<std::string> result;
  for (const auto& path : paths) {
    result.push_back(path.filename().string());
  }
  return result;
}

TEST(FolderListingTest, PeekShowsFoldersFirstThenFilesEachByNameIgnoringCase) {
  TemporaryDirectory folder("quillon-listing");
  // 40 visible entries: 10 folders and 30 files, named in mixed case.
  for (int index = 0; index < 10; ++index) {
    std::filesystem::create_directory(folder.path() /
                                      ((index % 2 ? "dir " : "Dir ") + std::to_string(index)));
  }
  for (int index = 0; index < 30; ++index) {
    touch(folder.path() / ((index % 2 ? "b" : "A") + std::to_string(index) + ".txt"));
  }
  touch(folder.path() / ".hidden");
  std::filesystem::create_directory(folder.path() / ".git");

  const FolderListing listing;
  const auto shown = names(listing.peekEntries(folder.path(), 16));
  ASSERT_EQ(shown.size(), 16u);
  const std::vector<std::string> expected{
      "Dir 0", "dir 1", "Dir 2",  "dir 3",   "Dir 4",   "dir 5",   "Dir 6",   "dir 7",
      "Dir 8", "dir 9", "A0.txt", "A10.txt", "A12.txt", "A14.txt", "A16.txt", "A18.txt"};
  EXPECT_EQ(shown, expected);
}

TEST(FolderListingTest, TopLevelEntriesAreNewestFirstWithoutTheIconFileOrHiddenOnes) {
  TemporaryDirectory folder("quillon-listing");
  const auto base = std::filesystem::file_time_type::clock::now();
  const std::vector<std::pair<std::string, int>> files{
      {"old.txt", 0}, {"newest.png", 30}, {"b.txt", 10}, {"A.txt", 10}, {"Icon\r", 40}};
  for (const auto& [name, age] : files) {
    touch(folder.path() / name);
    std::filesystem::last_write_time(folder.path() / name, base + std::chrono::seconds(age));
  }
  touch(folder.path() / ".DS_Store");
  const FolderListing listing;
  EXPECT_EQ(names(listing.topLevelEntries(folder.path())),
            (std::vector<std::string>{"newest.png", "A.txt", "b.txt", "old.txt"}));
  EXPECT_TRUE(listing.topLevelEntries(folder.path() / "missing").empty());
  EXPECT_TRUE(listing.peekEntries(folder.path() / "missing", 16).empty());
}

} // namespace
} // namespace quillon
