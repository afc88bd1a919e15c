// Keep-awake, the lid and the power source against logind and UPower as
// python3-dbusmock plays them on a bus of the test's own, which stands in for
// the system bus: in this process, and in the product as a user runs it.
#include "LiveBus.h"
#include "X11DesktopFixture.h"
#include "X11Session.h"
#include "platform/KeyCodes.h"
#include "platform/linux/LinuxPower.h"
#include "platform/linux/LogindLidSleepPrevention.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11DisplayPower.h"
#include "platform/sim/SimLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gio/gio.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quillon {
namespace {

using namespace std::chrono_literals;

constexpr const char* dbusmockModule = "/usr/lib/python3/dist-packages/dbusmock";
constexpr const char* lidLock =
    "sleep:idle:handle-lid-switch|Quillon|Keep awake on lid close|block";
constexpr const char* upowerPath = "/org/freedesktop/UPower";
constexpr const char* logindPath = "/org/freedesktop/login1";

// A private bus with logind and UPower on it, as python3-dbusmock's
// templates play them.
class MockSystemServices {
public:
  static std::unique_ptr<MockSystemServices> start(std::string& whyNot) {
    if (!std::filesystem::exists(dbusmockModule)) {
      whyNot = "python3-dbusmock is not installed";
      return nullptr;
    }
    auto services = std::unique_ptr<MockSystemServices>(new MockSystemServices);
    services->bus_ = LiveBus::start();
    if (!services->bus_ || !services->startMock("logind", "org.freedesktop.login1") ||
        !services->startMock("upower", "org.freedesktop.UPower")) {
      whyNot = "the mock system bus did not start";
      return nullptr;
    }
    return services;
  }

  MockSystemServices(const MockSystemServices&) = delete;
  MockSystemServices& operator=(const MockSystemServices&) = delete;
  ~MockSystemServices() {
    for (const GPid mock : mocks_) {
      kill(mock, SIGTERM);
      waitpid(mock, nullptr, 0);
    }
  }

  const std::string& address() const { return bus_->address(); }

  // Each lock logind holds, as "what|who|why|mode".
  std::vector<std::string> inhibitors() const {
    std::vector<std::string> locks;
    GVariant* reply = call(logindPath, "org.freedesktop.login1.Manager", "ListInhibitors", nullptr,
                           "(a(ssssuu))");
    if (reply == nullptr) {
      return locks;
    }
    GVariantIter* entries = nullptr;
    g_variant_get(reply, "(a(ssssuu))", &entries);
    const char* what = nullptr;
    const char* who = nullptr;
    const char* why = nullptr;
    const char* mode = nullptr;
    guint32 user = 0;
    guint32 process = 0;
    while (
        g_variant_iter_next(entries, "(&s&s&s&suu)", &what, &who, &why, &mode, &user, &process)) {
      locks.push_back(std::string(what) + "|" + who + "|" + why + "|" + mode);
    }
    g_variant_iter_free(entries);
    g_variant_unref(reply);
    return locks;
  }

  // From now on logind answers every Inhibit as polkit would deny it.
  void refuseInhibitors() const {
    mockCall(logindPath, "AddMethod",
             g_variant_new("(sssss)", "org.freedesktop.login1.Manager", "Inhibit", "ssss", "h",
                           "raise dbus.exceptions.DBusException('Permission denied', "
                           "name='org.freedesktop.DBus.Error.AccessDenied')"));
  }

  // Changes one of UPower's properties, with the change signal it sends.
  void setUPower(const char* property, bool value) const {
    GVariantBuilder changes;
    g_variant_builder_init(&changes, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&changes, "{sv}", property, g_variant_new_boolean(value ? TRUE : FALSE));
    mockCall(upowerPath, "UpdateProperties",
             g_variant_new("(sa{sv})", "org.freedesktop.UPower", &changes));
  }

private:
  MockSystemServices() = default;

  bool startMock(const char* templateName, const char* busName) {
    const std::string busVariable = bus_->systemBusVariable();
    const gchar* arguments[] = {"/usr/bin/python3", "-m",         "dbusmock", "--system",
                                "--template",       templateName, nullptr};
    std::vector<std::string> variables = {busVariable, "PATH=/usr/bin:/bin"};
    std::vector<const gchar*> environmentPointers;
    for (const auto& variable : variables) {
      environmentPointers.push_back(variable.c_str());
    }
    environmentPointers.push_back(nullptr);
    GPid mock = -1;
    if (!g_spawn_async(nullptr, const_cast<gchar**>(arguments),
                       const_cast<gchar**>(environmentPointers.data()),
                       static_cast<GSpawnFlags>(G_SPAWN_STDOUT_TO_DEV_NULL), nullptr, nullptr,
                       &mock, nullptr)) {
      return false;
    }
    mocks_.push_back(mock);
    return X11Session::waitUntil([&] { return bus_->hasOwner(busName); }, 15s);
  }

  GVariant* call(const char* path, const char* interface, const char* method, GVariant* parameters,
                 const char* replyType) const {
    const char* name =
        std::string_view(path) == upowerPath ? "org.freedesktop.UPower" : "org.freedesktop.login1";
    return g_dbus_connection_call_sync(bus_->connection(), name, path, interface, method,
                                       parameters,
                                       replyType != nullptr ? G_VARIANT_TYPE(replyType) : nullptr,
                                       G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  }

  void mockCall(const char* path, const char* method, GVariant* parameters) const {
    GVariant* reply = call(path, "org.freedesktop.DBus.Mock", method, parameters, nullptr);
    ASSERT_NE(reply, nullptr) << method;
    g_variant_unref(reply);
  }

  std::unique_ptr<LiveBus> bus_;
  std::vector<GPid> mocks_;
};

bool lockedAs(const MockSystemServices& services, const std::vector<std::string>& locks) {
  return X11Session::waitUntil([&] { return services.inhibitors() == locks; });
}

// Lets the main context deliver what the bus sent, until `condition` holds.
bool pumpUntil(const std::function<bool()>& condition) {
  return X11Session::waitUntil([&] {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    return condition();
  });
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// The X test desktop with logind and UPower mocked, afresh for each test.
class MockedSystemTest : public X11DesktopTest {
protected:
  void SetUp() override {
    X11DesktopTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    std::string whyNot;
    services_ = MockSystemServices::start(whyNot);
    if (!services_) {
      GTEST_SKIP() << whyNot;
    }
  }

  std::unique_ptr<MockSystemServices> services_;
};

// The services in this process.
class LinuxPowerTest : public MockedSystemTest {
protected:
  void SetUp() override {
    MockedSystemTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", services_->address().c_str(), 1);
    std::string error;
    connection_ = X11Connection::open(session_->display(), error);
    ASSERT_TRUE(connection_) << error;
    displayPower_ = std::make_unique<X11DisplayPower>(*connection_, log_);
    log_.takeNewLines();
  }
  void TearDown() override {
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    MockedSystemTest::TearDown();
  }

  SimLog log_;
  std::unique_ptr<X11Connection> connection_;
  std::unique_ptr<X11DisplayPower> displayPower_;
};

TEST_F(LinuxPowerTest, KeepAwakeIsOneLogindLockHeldWhileOnAndTheAssertionAnother) {
  LogindLidSleepPrevention prevention(*displayPower_, log_);

  EXPECT_FALSE(prevention.isPreventingLidSleep());
  EXPECT_TRUE(prevention.preventLidSleep(true));
  // A second request while held takes nothing more.
  EXPECT_TRUE(prevention.preventLidSleep(true));
  EXPECT_TRUE(prevention.isPreventingLidSleep());
  EXPECT_TRUE(lockedAs(*services_, {lidLock}));

  LinuxPower power(log_);
  const auto assertion = power.createAssertion("PreventSystemSleep", "keeping awake");
  ASSERT_TRUE(assertion);
  EXPECT_TRUE(lockedAs(*services_, {lidLock, "sleep:idle|Quillon|keeping awake|block"}));
  power.releaseAssertion(*assertion);
  EXPECT_TRUE(lockedAs(*services_, {lidLock}));

  EXPECT_TRUE(prevention.preventLidSleep(false));
  EXPECT_FALSE(prevention.isPreventingLidSleep());
  EXPECT_TRUE(lockedAs(*services_, {}));

  // Xvfb has no DPMS: said once, however often the lid closes.
  prevention.turnDisplayOffNow();
  prevention.turnDisplayOffNow();
  EXPECT_EQ(log_.takeNewLines(),
            std::vector<std::string>{"Quillon: this display has no power management (DPMS); it "
                                     "stays on when the lid closes"});
}

TEST_F(LinuxPowerTest, ARefusedLockIsLoggedAndNothingIsHeld) {
  services_->refuseInhibitors();
  LogindLidSleepPrevention prevention(*displayPower_, log_);
  EXPECT_FALSE(prevention.preventLidSleep(true));
  EXPECT_FALSE(prevention.isPreventingLidSleep());
  const auto lines = log_.takeNewLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Quillon SleepBlocker: logind did not grant the lid-switch lock: ", 0),
            0u)
      << lines[0];
  EXPECT_NE(lines[0].find("Permission denied"), std::string::npos) << lines[0];

  LinuxPower power(log_);
  EXPECT_FALSE(power.createAssertion("PreventSystemSleep", "keeping awake"));
  EXPECT_TRUE(services_->inhibitors().empty());
}

TEST_F(LinuxPowerTest, TheLidAndThePowerSourceFollowUPowersSignals) {
  LinuxPower power(log_);
  int messages = 0;
  const auto registration = power.observeRootDomainInterest([&] { ++messages; });
  ASSERT_TRUE(registration.registration);
  EXPECT_EQ(power.rootDomainProperty(Power::ClamshellStateKey), PropertyValue(false));
  EXPECT_EQ(power.providingPowerSourceType(), "AC Power");
  EXPECT_FALSE(power.rootDomainProperty("SomethingElse"));

  services_->setUPower("LidIsClosed", true);
  ASSERT_TRUE(pumpUntil([&] { return messages > 0; }));
  EXPECT_EQ(power.rootDomainProperty(Power::ClamshellStateKey), PropertyValue(true));

  services_->setUPower("OnBattery", true);
  ASSERT_TRUE(pumpUntil([&] { return power.providingPowerSourceType() == "Battery Power"; }));

  // A machine without a lid: it reads open, and that is said once.
  services_->setUPower("LidIsPresent", false);
  ASSERT_TRUE(pumpUntil(
      [&] { return power.rootDomainProperty(Power::ClamshellStateKey) == PropertyValue(false); }));
  EXPECT_EQ(power.rootDomainProperty(Power::ClamshellStateKey), PropertyValue(false));
  EXPECT_EQ(log_.takeNewLines(),
            std::vector<std::string>{
                "Quillon: UPower reports no lid on this machine; the lid reads open"});
}

// The product as a user runs it, with logind and UPower mocked.
class X11KeepAwakeTest : public MockedSystemTest {
protected:
  void startWith(bool keepAwake, const std::string& systemBus) {
    session_->startProduct({{"sleepBlockerEnabled", keepAwake}},
                           {"DBUS_SYSTEM_BUS_ADDRESS=" + systemBus});
    ASSERT_TRUE(X11Session::waitUntil([this] { return typist_->keyboardGrabbed(); }))
        << session_->productLog();
    ASSERT_TRUE(X11Session::waitUntil([] {
      return session_->productLog().find("Quillon: event tap started") != std::string::npos;
    })) << session_->productLog();
  }

  bool logShows(const std::string& line, std::size_t times = 1) {
    return X11Session::waitUntil(
        [&] { return occurrences(session_->productLog(), line) == times; });
  }
};

TEST_F(X11KeepAwakeTest, KeepAwakeIsTakenAgainAtLaunchAndEndsWithAKilledProduct) {
  startWith(true, services_->address());
  EXPECT_TRUE(X11Session::waitUntil([&] {
    const auto locks = services_->inhibitors();
    return std::find(locks.begin(), locks.end(), lidLock) != locks.end();
  })) << session_->productLog();
  EXPECT_EQ(session_->productLog().find("keep-awake stays off"), std::string::npos);

  session_->signalProduct(SIGKILL);
  session_->waitForProductExit(5s);
  EXPECT_TRUE(lockedAs(*services_, {}));
}

TEST_F(X11KeepAwakeTest, TheChordSwitchesKeepAwakeOnAndOff) {
  startWith(false, services_->address());
  EXPECT_TRUE(services_->inhibitors().empty());
  typist_->press(keycode::S, flag::Control | flag::Command);
  EXPECT_TRUE(X11Session::waitUntil([&] { return services_->inhibitors().size() == 2; }))
      << session_->productLog();
  typist_->press(keycode::S, flag::Control | flag::Command);
  EXPECT_TRUE(lockedAs(*services_, {})) << session_->productLog();
  // The chord is the product's: the window never sees it.
  EXPECT_EQ(window_->text(), "");
}

TEST_F(X11KeepAwakeTest, EachLidCloseWithKeepAwakeOnPutsTheDisplayOut) {
  startWith(true, services_->address());
  ASSERT_TRUE(X11Session::waitUntil([&] { return !services_->inhibitors().empty(); }));
  const std::string sleeping = "Quillon: lid closed + sleep blocker on → sleeping display";
  services_->setUPower("LidIsClosed", true);
  EXPECT_TRUE(logShows("Quillon lid: closed")) << session_->productLog();
  EXPECT_TRUE(logShows(sleeping));
  services_->setUPower("LidIsClosed", false);
  EXPECT_TRUE(logShows("Quillon lid: open"));
  // On battery, logind still honours the lock: no macOS warning here.
  services_->setUPower("OnBattery", true);
  services_->setUPower("LidIsClosed", true);
  EXPECT_TRUE(logShows(sleeping, 2)) << session_->productLog();
  EXPECT_EQ(occurrences(session_->productLog(), "no power management (DPMS)"), 1u);
  EXPECT_EQ(session_->productLog().find("macOS will force sleep"), std::string::npos);
}

TEST_F(X11KeepAwakeTest, ALockRefusedAtLaunchLeavesKeepAwakeOff) {
  services_->refuseInhibitors();
  startWith(true, services_->address());
  EXPECT_TRUE(logShows("Quillon: keep-awake could not be taken again at launch; it is off"))
      << session_->productLog();
  EXPECT_TRUE(logShows("Quillon SleepBlocker: logind did not grant the lid-switch lock: "));
}

TEST_F(X11KeepAwakeTest, WithoutASystemBusTheLidReadsOpenAndKeepAwakeFailsClearly) {
  startWith(true, "unix:path=" + (std::filesystem::temp_directory_path() / "no-such-bus").string());
  EXPECT_TRUE(logShows("Quillon: keep-awake could not be taken again at launch; it is off"))
      << session_->productLog();
  EXPECT_TRUE(logShows("Quillon SleepBlocker: logind did not grant the lid-switch lock: no "
                       "system bus"));
  EXPECT_TRUE(logShows("the lid reads open and the power source is unknown"));
  EXPECT_TRUE(logShows("Quillon LidStateMonitor: started, initial closed="));
}

} // namespace
} // namespace quillon
