#include "platform/sim/SimDesktop.h"
#include "simulate/ScriptRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <sstream>

namespace quillon {
namespace {

// The script as `quillon --simulate` runs it: this very executable is the
// one a web app copies.
class WebAppCommandsTest : public ::testing::Test {
protected:
  static SimDesktop::Options options() {
    SimDesktop::Options result;
    result.executablePath = QUILLON_EXECUTABLE;
    return result;
  }

  std::string run(std::string_view line) {
    out.str("");
    runner.runLine(line);
    std::string printed = out.str();
    if (!printed.empty() && printed.back() == '\n') {
      printed.pop_back();
    }
    return printed;
  }
  nlohmann::json runJson(std::string_view line) {
    const std::string printed = run(line);
    return nlohmann::json::parse(printed, nullptr, false);
  }

  SimDesktop desktop{options()};
  std::ostringstream out;
  ScriptRunner runner{desktop, out};
};

TEST_F(WebAppCommandsTest, CreatesAnAppWithTheSitesIconAndRunsIt) {
  run("http-root " QUILLON_SOURCE_DIR "/tests/webapp/data");
  const nlohmann::json path = runJson("webapp-create www.example.com");
  ASSERT_TRUE(path.is_string()) << path;
  EXPECT_EQ(std::filesystem::path(path.get<std::string>()),
            desktop.directories().systemApplications() / "example.com.app");
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(path.get<std::string>()) / "Contents" /
                                      "Resources" / "AppIcon.icns"));
  EXPECT_EQ(runJson("run-bundle " + path.get<std::string>()),
            nlohmann::json({{"title", "example.com"},
                            {"url", "https://www.example.com"},
                            {"ruleLists", {"QuillonAdBlock-v1"}}}));
}

TEST_F(WebAppCommandsTest, ADeniedPasswordInstallsForTheUser) {
  run("admin deny");
  const nlohmann::json path = runJson("webapp-create https://mail.example.com \"Bob's Mail\"");
  ASSERT_TRUE(path.is_string()) << path;
  EXPECT_EQ(std::filesystem::path(path.get<std::string>()),
            desktop.directories().userApplications().value() / "Bob's Mail.app");
  EXPECT_EQ(runJson("run-bundle " + path.get<std::string>())["title"], "Bob's Mail");
}

TEST_F(WebAppCommandsTest, CancelledAndFailedCreationsSaySo) {
  EXPECT_EQ(run("webapp-create example.com Example cancel"), "null");
  EXPECT_EQ(runJson("webapp-create example.com ../../up"),
            "Couldn't create web app: The name cannot contain \"/\".");
  EXPECT_TRUE(run("webapp-create").starts_with("error: "));
  EXPECT_TRUE(run("admin maybe").starts_with("error: "));
  EXPECT_TRUE(run("http-root /no/such/folder").starts_with("error: "));
  EXPECT_TRUE(run("run-bundle /no/such.app").starts_with("error: "));
}

TEST_F(WebAppCommandsTest, RussianUsersGetRussianPermissionTexts) {
  EXPECT_TRUE(run("languages").starts_with("error: "));
  EXPECT_TRUE(run("languages ru,,en").starts_with("error: "));
  EXPECT_EQ(run("languages ru, en"), "");
  EXPECT_EQ(desktop.localization().preferredLanguages(), (std::vector<std::string>{"ru", "en"}));
  const nlohmann::json path = runJson("webapp-create https://mail.example.com Почта");
  ASSERT_TRUE(path.is_string()) << path;
  std::ifstream info(std::filesystem::path(path.get<std::string>()) / "Contents" / "Info.plist");
  const std::string text((std::istreambuf_iterator<char>(info)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("запрашивает доступ к микрофону."), std::string::npos);
}

} // namespace
} // namespace quillon
