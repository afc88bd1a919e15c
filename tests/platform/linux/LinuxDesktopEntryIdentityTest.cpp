// Which launcher names an application, from what its windows say.

#include "platform/linux/DesktopEntryIdentity.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

const DesktopEntryIdentity installed({
    {"org.gnome.Terminal", std::nullopt},
    {"firefox-esr", std::string("firefox-esr")},
    {"code", std::string("Code")},
    {"libreoffice-writer", std::string("libreoffice-writer")},
    {"gimp", std::nullopt},
});

TEST(LinuxDesktopEntryIdentityTest, TheLauncherAWindowPointsToNamesItsApplication) {
  // A GTK application's own id is its launcher's.
  EXPECT_EQ(installed.identify(
                {"gnome-terminal-server", "Gnome-terminal", std::string("org.gnome.Terminal")}),
            "org.gnome.Terminal");
  // A launcher claiming the window's class wins over names that merely look alike.
  EXPECT_EQ(installed.identify({"code", "Code", std::nullopt}), "code");
  EXPECT_EQ(installed.identify({"soffice", "libreoffice-writer", std::nullopt}),
            "libreoffice-writer");
  // Launchers named after the program, in another case.
  EXPECT_EQ(installed.identify({"gimp-2.10", "Gimp", std::nullopt}), "gimp");
}

TEST(LinuxDesktopEntryIdentityTest, WithoutAMatchingLauncherTheClassNamesTheApplication) {
  EXPECT_EQ(installed.identify({"xterm", "XTerm", std::nullopt}), "XTerm");
  // A GTK id no launcher has falls back the same way.
  EXPECT_EQ(installed.identify({"demo", "Demo", std::string("org.example.Demo")}), "Demo");
  EXPECT_EQ(installed.identify({"", "", std::nullopt}), "");
}

} // namespace
} // namespace quillon
