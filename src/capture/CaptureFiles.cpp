#include "capture/CaptureFiles.h"

#include "text/Unicode.h"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <memory>

namespace quillon::capturefiles {

namespace {

constexpr const char* timestampPattern = "yyyy-MM-dd 'at' HH.mm.ss";
constexpr const char* timestampLocale = "en_US_POSIX";

} // namespace

std::string timestamp(WallTime time, std::optional<std::string_view> timeZone) {
  UErrorCode status = U_ZERO_ERROR;
  icu::SimpleDateFormat format(icu::UnicodeString(timestampPattern), icu::Locale(timestampLocale),
                               status);
  if (U_FAILURE(status)) {
    return {};
  }
  if (timeZone) {
    format.adoptTimeZone(icu::TimeZone::createTimeZone(toUnicode(*timeZone)));
  }
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
  icu::UnicodeString formatted;
  format.format(static_cast<UDate>(milliseconds), formatted);
  return toUtf8(formatted);
}

std::string fileName(std::string_view prefix, WallTime time, std::string_view extension,
                     std::optional<std::string_view> timeZone) {
  return std::string(prefix) + timestamp(time, timeZone) + "." + std::string(extension);
}

std::filesystem::path freshFile(const std::filesystem::path& folder, std::string_view prefix,
                                WallTime time, std::string_view extension,
                                std::optional<std::string_view> timeZone) {
  const std::string stem = std::string(prefix) + timestamp(time, timeZone);
  const std::string suffix = std::string(".").append(extension);
  std::filesystem::path file = folder / (stem + suffix);
  // A link counts as taken even when it leads nowhere: a tool writing
  // through it would put the capture somewhere else.
  std::error_code error;
  for (int number = 2;
       std::filesystem::symlink_status(file, error).type() != std::filesystem::file_type::not_found;
       ++number) {
    file = folder / (stem + " " + std::to_string(number) + suffix);
  }
  return file;
}

Folder ensureFolder(const Directories& directories, std::string_view relative) {
  const auto documents = directories.documents();
  if (!documents) {
    return {};
  }
  Folder folder;
  folder.documentsFound = true;
  folder.attempted = *documents / relative;
  std::error_code error;
  std::filesystem::create_directories(folder.attempted, error);
  if (error) {
    folder.error = error.message();
    return folder;
  }
  // create_directories answers no error when a file already stands there.
  if (!std::filesystem::is_directory(folder.attempted, error)) {
    folder.error = error ? error.message() : "File exists";
    return folder;
  }
  folder.path = folder.attempted;
  return folder;
}

} // namespace quillon::capturefiles
