#include "webapp/WebAppCreator.h"

#include "platform/shared/PlistDefaults.h"
#include "platform/shared/PropertyListCodec.h"
#include "platform/sim/LoopbackHttpServer.h"
#include "platform/sim/SimDesktop.h"
#include "webapp/WebAppError.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace quillon {
namespace {

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A desktop whose own executable is a real file inside a real bundle, with
// localisation folders to copy.
class WebAppCreatorTest : public ::testing::Test {
protected:
  static SimDesktop::Options options(const std::filesystem::path& root) {
    const auto contents = root / "Quillon.app" / "Contents";
    std::filesystem::create_directories(contents / "MacOS");
    std::filesystem::create_directories(contents / "Resources" / "ru.lproj");
    std::filesystem::create_directories(contents / "Resources" / "Base.lproj");
    std::ofstream(contents / "Resources" / "ru.lproj" / "Localizable.strings")
        << "\"OK\" = \"ОК\";";
    std::ofstream(contents / "Resources" / "notes.txt") << "not copied";
    std::ofstream(contents / "MacOS" / "Quillon", std::ios::binary) << std::string("\x7f"
                                                                                   "ELF\0\1",
                                                                                   6);
    SimDesktop::Options result;
    result.executablePath = contents / "MacOS" / "Quillon";
    return result;
  }

  std::filesystem::path userApplications() {
    return desktop.directories().userApplications().value();
  }
  std::filesystem::path systemApplications() { return desktop.directories().systemApplications(); }
  PropertyDictionary infoOf(const std::filesystem::path& bundle) {
    const auto parsed = parsePropertyList(readFile(bundle / "Contents" / "Info.plist"));
    EXPECT_TRUE(parsed && parsed->is<PropertyDictionary>());
    return parsed ? *parsed->get<PropertyDictionary>() : PropertyDictionary{};
  }

  TemporaryDirectory machine{"quillon-own-bundle"};
  SimDesktop desktop{options(machine.path())};
  WebAppCreator creator{desktop.platform()};
};

TEST_F(WebAppCreatorTest, BuildsSignsAndInstallsTheBundle) {
  const auto installed = creator.createBundle("https://mail.example.com", "My Mail");
  EXPECT_EQ(installed, systemApplications() / "My Mail.app");
  const auto contents = installed / "Contents";
  const auto executable = contents / "MacOS" / "My_Mail";
  EXPECT_EQ(readFile(executable), readFile(desktop.bundle().executablePath()));
  EXPECT_EQ(std::filesystem::status(executable).permissions() & std::filesystem::perms::all,
            static_cast<std::filesystem::perms>(0755));
  EXPECT_TRUE(std::filesystem::exists(contents / "Resources" / "ru.lproj" / "Localizable.strings"));
  EXPECT_TRUE(std::filesystem::exists(contents / "Resources" / "Base.lproj"));
  EXPECT_FALSE(std::filesystem::exists(contents / "Resources" / "notes.txt"));

  const PropertyDictionary info = infoOf(installed);
  EXPECT_EQ(info.at("QuillonWebAppURL"), PropertyValue("https://mail.example.com"));
  EXPECT_EQ(info.at("CFBundleIdentifier"), PropertyValue("com.quillon.webapp.my_mail"));
  EXPECT_EQ(info.at("CFBundleLocalizations"), PropertyValue(PropertyArray{"ru"}));
  // No site answered, so no icon.
  EXPECT_FALSE(info.contains("CFBundleIconFile"));
  // Signed after Info.plist was written: the signature covers it.
  EXPECT_EQ(SimWebAppTools::signedDigest(installed), SimWebAppTools::infoPlistDigest(installed));
  EXPECT_EQ(desktop.processes().lastArguments("/usr/bin/xattr")->at(1), "com.apple.quarantine");
  // The staging folder never outlives the build.
  EXPECT_TRUE(std::filesystem::is_empty(desktop.directories().temporary()));
}

TEST_F(WebAppCreatorTest, AnIconFromTheSiteIsNamedInInfoPlist) {
  TemporaryDirectory site;
  std::filesystem::copy_file(QUILLON_SOURCE_DIR "/tests/webapp/data/apple-touch-icon.png",
                             site.path() / "apple-touch-icon.png");
  LoopbackHttpServer server(LoopbackHttpServer::serveFolder(site.path()));
  desktop.http().mapHost("icons.example", server.origin());
  const auto installed = creator.createBundle("https://icons.example/", "Icons");
  EXPECT_EQ(infoOf(installed).at("CFBundleIconFile"), PropertyValue("AppIcon"));
  EXPECT_TRUE(std::filesystem::exists(installed / "Contents" / "Resources" / "AppIcon.icns"));
}

TEST_F(WebAppCreatorTest, QuotesInNamesSurviveTheShellAndTheAdministratorPrompt) {
  const std::string name = "Bob's \"Best\" \\ App";
  const auto installed = creator.createBundle("https://example.com", name);
  EXPECT_EQ(installed, systemApplications() / (name + ".app"));
  EXPECT_TRUE(std::filesystem::exists(installed / "Contents" / "Info.plist"));
  ASSERT_EQ(desktop.appleScript().adminPrompts().size(), 1u);
  EXPECT_EQ(desktop.appleScript().adminPrompts()[0],
            "Quillon wants to install " + name + " into /Applications.");
  const auto& words = desktop.appleScript().shellCommands().at(0);
  EXPECT_EQ(words.at(2), (systemApplications() / (name + ".app")).string());
}

TEST_F(WebAppCreatorTest, ACancelledPasswordPromptInstallsForTheUserReplacingAnOlderCopy) {
  std::filesystem::create_directories(userApplications() / "Notes.app" / "Contents");
  std::ofstream(userApplications() / "Notes.app" / "Contents" / "old") << "old";
  desktop.appleScript().answerNextAdminPrompt(SimAppleScript::AdminAnswer::Deny);
  desktop.log().takeNewLines();

  const auto installed = creator.createBundle("https://notes.example.com", "Notes");
  EXPECT_EQ(installed, userApplications() / "Notes.app");
  EXPECT_FALSE(std::filesystem::exists(installed / "Contents" / "old"));
  EXPECT_TRUE(std::filesystem::exists(installed / "Contents" / "MacOS" / "Notes"));
  EXPECT_FALSE(std::filesystem::exists(systemApplications() / "Notes.app"));
  const auto log = desktop.log().lines();
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "Quillon webapp: admin install failed (-128) — User canceled."),
            log.end());
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "Quillon webapp: /Applications install declined or failed — falling back "
                      "to ~/Applications"),
            log.end());
  EXPECT_TRUE(std::filesystem::is_empty(desktop.directories().temporary()));
}

TEST_F(WebAppCreatorTest, HostileNamesWriteNothingAnywhere) {
  for (const std::string name : {"../../escape", "a/b", "..", ".", "line\nbreak"}) {
    try {
      creator.createBundle("https://example.com", name);
      ADD_FAILURE() << name;
    } catch (const WebAppError& error) {
      EXPECT_EQ(error.kind(), WebAppError::Kind::unsafeName) << name;
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(desktop.directories().temporary()));
  EXPECT_TRUE(std::filesystem::is_empty(systemApplications()));
  EXPECT_FALSE(std::filesystem::exists(userApplications()));
  EXPECT_TRUE(desktop.appleScript().adminPrompts().empty());
}

TEST_F(WebAppCreatorTest, AFailedSignatureEndsTheBuildAndCleansUp) {
  desktop.processes().scriptNextResult("/usr/bin/codesign", {1, "", "bad signature", nullptr});
  try {
    creator.createBundle("https://example.com", "Broken");
    ADD_FAILURE();
  } catch (const WebAppError& error) {
    EXPECT_EQ(std::string(error.what()), "codesign failed: bad signature");
  }
  EXPECT_TRUE(std::filesystem::is_empty(desktop.directories().temporary()));
  EXPECT_TRUE(std::filesystem::is_empty(systemApplications()));
}

TEST_F(WebAppCreatorTest, NamesThatSanitiseAlikeGetTheirOwnIdentifiers) {
  const auto identifierOf = [this](const std::filesystem::path& bundle) {
    return infoOf(bundle).at("CFBundleIdentifier").asString().value_or("");
  };
  const auto first = creator.createBundle("https://a.example", "Work Mail");
  const auto second = creator.createBundle("https://b.example", "Work-Mail");
  const auto third = creator.createBundle("https://c.example", "Work:Mail");
  EXPECT_EQ(identifierOf(first), "com.quillon.webapp.work_mail");
  EXPECT_EQ(identifierOf(second), "com.quillon.webapp.work_mail-2");
  EXPECT_EQ(identifierOf(third), "com.quillon.webapp.work_mail-3");
  EXPECT_EQ(identifierOf(creator.createBundle("https://d.example", "!!!")),
            "com.quillon.webapp.webapp");
  EXPECT_EQ(identifierOf(creator.createBundle("https://e.example", "???")),
            "com.quillon.webapp.webapp-2");
  EXPECT_EQ(identifierOf(creator.createBundle("https://f.example", "Почта")),
            "com.quillon.webapp.почта");
  // A user's own copy counts too.
  desktop.appleScript().answerNextAdminPrompt(SimAppleScript::AdminAnswer::Deny);
  EXPECT_EQ(identifierOf(creator.createBundle("https://g.example", "почта")),
            "com.quillon.webapp.почта-2");

  // Building an app again replaces it and keeps its settings' identifier.
  EXPECT_EQ(identifierOf(creator.createBundle("https://b2.example", "Work-Mail")),
            "com.quillon.webapp.work_mail-2");
  EXPECT_EQ(identifierOf(first), "com.quillon.webapp.work_mail");
}

TEST_F(WebAppCreatorTest, LongNamesGetIdentifiersTheDefaultsStoreAccepts) {
  std::string longName;
  for (int letter = 0; letter < 120; ++letter) {
    longName += "ж";
  }
  const auto identifierOf = [this](const std::filesystem::path& bundle) {
    return infoOf(bundle).at("CFBundleIdentifier").asString().value_or("");
  };
  const std::string one = identifierOf(creator.createBundle("https://a.example", longName + "а"));
  const std::string other = identifierOf(creator.createBundle("https://b.example", longName + "б"));
  for (const std::string& identifier : {one, other}) {
    EXPECT_LE(identifier.size() + std::string_view("-99").size(), 200u) << identifier;
    EXPECT_TRUE(identifier.starts_with("com.quillon.webapp.жжжж")) << identifier;
    EXPECT_TRUE(isSafeDefaultsDomainName(identifier)) << identifier;
  }
  EXPECT_NE(one, other);
  // The stored settings of such an app stay put.
  EXPECT_TRUE(desktop.defaults().set(one, "QuillonWebAppPageZoom", 1.5));
  EXPECT_EQ(desktop.defaults().object(one, "QuillonWebAppPageZoom"), PropertyValue(1.5));
  // Names that fit are left alone.
  EXPECT_EQ(identifierOf(creator.createBundle("https://c.example", std::string(90, 'm'))),
            "com.quillon.webapp." + std::string(90, 'm'));
}

TEST_F(WebAppCreatorTest, UsageDescriptionsFollowTheUsersFirstLanguage) {
  desktop.localization().setPreferredLanguages({"ru-RU", "en"});
  const auto russian = infoOf(creator.createBundle("https://a.example", "Русский"));
  EXPECT_EQ(russian.at("NSCameraUsageDescription"),
            PropertyValue("Веб-страница, открытая в этом веб-приложении, запрашивает доступ к "
                          "камере."));
  desktop.localization().setPreferredLanguages({"de", "ru"});
  const auto german = infoOf(creator.createBundle("https://b.example", "Deutsch"));
  EXPECT_EQ(german.at("NSCameraUsageDescription"),
            PropertyValue("A web page in this web app is requesting camera access."));
}

// The whole flow from the menu: the prompt answered, the build, the report.
class WebAppFlowTest : public WebAppCreatorTest {
protected:
  void answerPrompt(std::string button, std::vector<std::string> fields) {
    desktop.alerts().scriptAnswer({std::move(button), std::move(fields)});
  }
};

TEST_F(WebAppFlowTest, ACreatedAppIsRevealedAndOpened) {
  answerPrompt("Create", {"www.example.com", ""});
  desktop.log().takeNewLines();
  creator.promptAndCreate();
  EXPECT_TRUE(creator.isCreating());
  desktop.runUntilIdle();
  EXPECT_FALSE(creator.isCreating());
  const auto bundle = systemApplications() / "example.com.app";
  EXPECT_TRUE(desktop.log().contains("Quillon webapp: created " + bundle.string()));
  EXPECT_EQ(desktop.workspace().revealedPaths(), std::vector<std::string>{bundle.string()});
  EXPECT_EQ(desktop.workspace().openedUrls().back(), "file://" + bundle.string());
  const auto alerts = desktop.alerts().takeShown();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].messageText, "Create web app");
  EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"Create", "Cancel"}));
  EXPECT_EQ(alerts[0].fields.at(0).text, "https://");
  EXPECT_EQ(alerts[0].fields.at(1).placeholder, "My Web App");
  EXPECT_EQ(alerts[0].initialField, 0u);
}

TEST_F(WebAppFlowTest, CancelledOrEmptyPromptsEndSilentlyAndBadAddressesSaySo) {
  answerPrompt("Cancel", {"example.com", "X"});
  answerPrompt("Create", {"https://", "X"});
  answerPrompt("Create", {" \t", "X"});
  for (int attempt = 0; attempt < 3; ++attempt) {
    creator.promptAndCreate();
    EXPECT_FALSE(creator.isCreating());
    desktop.runUntilIdle();
  }
  EXPECT_EQ(desktop.alerts().takeShown().size(), 3u);

  for (const char* unusable : {"exa mple.com", "https://exa mple.рф", "https://a\u200Db.рф"}) {
    answerPrompt("Create", {unusable, "X"});
    creator.promptAndCreate();
    desktop.runUntilIdle();
    const auto alerts = desktop.alerts().takeShown();
    ASSERT_EQ(alerts.size(), 2u) << unusable;
    EXPECT_EQ(alerts[1].messageText, "Couldn't create web app");
    EXPECT_EQ(alerts[1].informativeText, "The address is not a valid web address.");
  }
  EXPECT_TRUE(desktop.appleScript().adminPrompts().empty());
}

TEST_F(WebAppFlowTest, InternationalAndEmptyHostsStillMakeAWorkingApp) {
  answerPrompt("Create", {"пример.рф", ""});
  creator.promptAndCreate();
  desktop.runUntilIdle();
  const auto international = systemApplications() / "пример.рф.app";
  ASSERT_TRUE(std::filesystem::exists(international));
  EXPECT_EQ(infoOf(international).at("QuillonWebAppURL"),
            PropertyValue("https://xn--e1afmkfd.xn--p1ai"));

  answerPrompt("Create", {"https://www./", ""});
  creator.promptAndCreate();
  desktop.runUntilIdle();
  EXPECT_TRUE(std::filesystem::exists(systemApplications() / "Web App.app" / "Contents" / "MacOS" /
                                      "Web_App"));
  EXPECT_FALSE(std::filesystem::exists(systemApplications() / ".app"));
}

TEST_F(WebAppFlowTest, ASecondRequestWhileBuildingIsTurnedAway) {
  answerPrompt("Create", {"example.com", "First"});
  creator.promptAndCreate();
  creator.promptAndCreate();
  desktop.runUntilIdle();
  const auto alerts = desktop.alerts().takeShown();
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[1].messageText, "Couldn't create web app");
  EXPECT_EQ(alerts[1].informativeText,
            "A web app is already being created. Please wait until it finishes.");
  EXPECT_TRUE(std::filesystem::exists(systemApplications() / "First.app"));
}

TEST_F(WebAppFlowTest, AFailedBuildIsShownAndLogged) {
  answerPrompt("Create", {"example.com", "a/b"});
  creator.promptAndCreate();
  desktop.runUntilIdle();
  const auto alerts = desktop.alerts().takeShown();
  ASSERT_EQ(alerts.size(), 2u);
  EXPECT_EQ(alerts[1].informativeText, "The name cannot contain \"/\".");
  EXPECT_EQ(alerts[1].buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(desktop.log().contains("Quillon webapp: failed — The name cannot contain \"/\"."));
}

} // namespace
} // namespace quillon
