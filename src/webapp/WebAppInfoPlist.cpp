#include "webapp/WebAppInfoPlist.h"

#include "text/Unicode.h"
#include "webapp/WebAppDelegate.h"

#include <array>

namespace quillon {

namespace {

constexpr std::string_view bundleIdentifierPrefix = "com.quillon.webapp.";
constexpr std::string_view russianPrefix =
    "Веб-страница, открытая в этом веб-приложении, запрашивает ";
constexpr std::string_view englishPrefix = "A web page in this web app is requesting ";

struct UsageDescription {
  std::string_view key;
  std::string_view russian;
  std::string_view english;
};

constexpr std::array<UsageDescription, 23> usageDescriptions{{
    {"NSCameraUsageDescription", "доступ к камере", "camera access"},
    {"NSMicrophoneUsageDescription", "доступ к микрофону", "microphone access"},
    {"NSLocationUsageDescription", "доступ к геолокации", "location access"},
    {"NSLocationWhenInUseUsageDescription", "доступ к геолокации", "location access"},
    {"NSLocationAlwaysAndWhenInUseUsageDescription", "доступ к геолокации", "location access"},
    {"NSContactsUsageDescription", "доступ к контактам", "contacts access"},
    {"NSCalendarsUsageDescription", "доступ к календарю", "calendar access"},
    {"NSRemindersUsageDescription", "доступ к напоминаниям", "reminders access"},
    {"NSPhotoLibraryUsageDescription", "доступ к Медиатеке Фото", "Photos library access"},
    {"NSPhotoLibraryAddUsageDescription", "разрешение сохранять в Медиатеку Фото",
     "permission to save into the Photos library"},
    {"NSAppleMusicUsageDescription", "доступ к Apple Music и медиатеке",
     "Apple Music / media library access"},
    {"NSBluetoothAlwaysUsageDescription", "доступ к Bluetooth", "Bluetooth access"},
    {"NSBluetoothPeripheralUsageDescription", "подключение Bluetooth-устройств",
     "Bluetooth peripheral access"},
    {"NSLocalNetworkUsageDescription", "доступ к устройствам в локальной сети",
     "local-network device access"},
    {"NSSpeechRecognitionUsageDescription", "распознавание речи", "speech recognition"},
    {"NSAppleEventsUsageDescription", "управление другими приложениями",
     "control of other apps via Apple Events"},
    {"NSDesktopFolderUsageDescription", "доступ к папке Рабочий стол", "Desktop folder access"},
    {"NSDocumentsFolderUsageDescription", "доступ к папке Документы", "Documents folder access"},
    {"NSDownloadsFolderUsageDescription", "доступ к папке Загрузки", "Downloads folder access"},
    {"NSRemovableVolumesUsageDescription", "доступ к подключённым томам",
     "removable-volumes access"},
    {"NSNetworkVolumesUsageDescription", "доступ к сетевым томам", "network-volumes access"},
    {"NSMotionUsageDescription", "данные с датчиков движения", "motion sensor data"},
    {"NSFocusStatusUsageDescription", "статус режима «Не беспокоить»",
     "Focus / Do Not Disturb status"},
}};

std::string describe(const UsageDescription& description, bool russian) {
  return std::string(russian ? russianPrefix : englishPrefix) +
         std::string(russian ? description.russian : description.english) + ".";
}

} // namespace

bool prefersRussian(const std::vector<std::string>& preferredLanguages) {
  const std::string first = preferredLanguages.empty() ? "en" : preferredLanguages.front();
  return lowercased(first).starts_with("ru");
}

PropertyArray webAppLocalizations(const std::vector<std::string>& ownLocalizations) {
  PropertyArray result;
  for (const std::string& localization : ownLocalizations) {
    if (localization != "Base") {
      result.emplace_back(localization);
    }
  }
  if (result.empty()) {
    result.emplace_back("en");
  }
  return result;
}

PropertyDictionary makeWebAppInfoDictionary(const WebAppIdentity& identity,
                                            const std::vector<std::string>& ownLocalizations,
                                            bool russianDescriptions, bool iconAttached) {
  PropertyDictionary info{
      {"CFBundleName", identity.name},
      {"CFBundleDisplayName", identity.name},
      {"CFBundleIdentifier",
       identity.bundleIdentifier.empty()
           ? std::string(bundleIdentifierPrefix) + lowercased(identity.executableName)
           : identity.bundleIdentifier},
      {"CFBundleExecutable", identity.executableName},
      {"CFBundleVersion", "1"},
      {"CFBundleShortVersionString", "1.0"},
      {"CFBundlePackageType", "APPL"},
      {"CFBundleInfoDictionaryVersion", "6.0"},
      {"CFBundleDevelopmentRegion", "en"},
      {"CFBundleLocalizations", webAppLocalizations(ownLocalizations)},
      {"LSMinimumSystemVersion", "13.0"},
      {"LSUIElement", false},
      {"NSPrincipalClass", "NSApplication"},
      {"NSHighResolutionCapable", true},
      {std::string(WebAppDelegate::StartUrlKey), identity.startAddress},
  };
  for (const UsageDescription& description : usageDescriptions) {
    info.insert_or_assign(std::string(description.key), describe(description, russianDescriptions));
  }
  if (iconAttached) {
    info.insert_or_assign("CFBundleIconFile", "AppIcon");
  }
  return info;
}

} // namespace quillon
