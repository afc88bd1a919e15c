#include "platform/linux/LinuxWheelDirection.h"

#include "LiveSession.h"
#include "platform/shared/TemporaryDirectory.h"
#include "platform/sim/SimLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace quillon {
namespace {

using ButtonMap = std::vector<unsigned char>;

constexpr const char* naturalScrolling = "libinput Natural Scrolling Enabled";
constexpr unsigned wheelUp = 4;

// The product reverses the wheels on its own connection; what it did is
// read from another client's, as any application would see it.
class LinuxWheelDirectionTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string whyNot;
    LiveSession* session = LiveSession::shared(whyNot);
    if (session == nullptr) {
      GTEST_SKIP() << whyNot;
    }
    std::string error;
    connection_ = X11Connection::open(session->displayName(), error);
    ASSERT_TRUE(connection_) << error;
    other_ = XOpenDisplay(session->displayName().c_str());
    ASSERT_NE(other_, nullptr);
    identity_ = mapping();
    for (std::size_t index = 0; index < identity_.size(); ++index) {
      identity_[index] = static_cast<unsigned char>(index + 1);
    }
  }

  void TearDown() override {
    if (other_ != nullptr) {
      setMapping(identity_);
      XCloseDisplay(other_);
    }
  }

  ButtonMap mapping() const {
    ButtonMap map(256);
    map.resize(static_cast<std::size_t>(XGetPointerMapping(other_, map.data(), 256)));
    return map;
  }

  void setMapping(ButtonMap map) const {
    ASSERT_EQ(XSetPointerMapping(other_, map.data(), static_cast<int>(map.size())), MappingSuccess);
    XSync(other_, False);
  }

  // The identity with these logical buttons exchanged.
  ButtonMap withSwapped(std::initializer_list<std::pair<unsigned, unsigned>> pairs) const {
    ButtonMap map = identity_;
    for (const auto& [first, second] : pairs) {
      map = exchanged(std::move(map), first, second);
    }
    return map;
  }

  static ButtonMap exchanged(ButtonMap map, unsigned first, unsigned second) {
    for (unsigned char& button : map) {
      if (button == first) {
        button = static_cast<unsigned char>(second);
      } else if (button == second) {
        button = static_cast<unsigned char>(first);
      }
    }
    return map;
  }

  SimLog log_;
  std::unique_ptr<X11Connection> connection_;
  Display* other_ = nullptr;
  ButtonMap identity_;
};

TEST_F(LinuxWheelDirectionTest, ReversingSwapsBothWheelsAndTurningOffGivesTheUsersOwnMappingBack) {
  ASSERT_GE(identity_.size(), 7u) << "the server's pointer has no horizontal wheel buttons";
  const ButtonMap leftHanded = withSwapped({{1, 3}});
  setMapping(leftHanded);
  LinuxWheelDirection wheels(*connection_, log_);
  EXPECT_FALSE(wheels.discreteWheelsReversed());

  wheels.reverseDiscreteWheels(true);
  EXPECT_TRUE(wheels.discreteWheelsReversed());
  EXPECT_EQ(mapping(), withSwapped({{1, 3}, {4, 5}, {6, 7}}));
  wheels.reverseDiscreteWheels(true);
  EXPECT_EQ(mapping(), withSwapped({{1, 3}, {4, 5}, {6, 7}})) << "reversed twice is reversed once";

  wheels.reverseDiscreteWheels(false);
  EXPECT_FALSE(wheels.discreteWheelsReversed());
  EXPECT_EQ(mapping(), leftHanded);
  EXPECT_THAT(log_.lines(), ::testing::IsEmpty());
}

TEST_F(LinuxWheelDirectionTest, TheServiceEndingGivesTheWheelsBack) {
  {
    LinuxWheelDirection wheels(*connection_, log_);
    wheels.reverseDiscreteWheels(true);
    ASSERT_EQ(mapping(), withSwapped({{4, 5}, {6, 7}}));
  }
  EXPECT_EQ(mapping(), identity_);
}

TEST_F(LinuxWheelDirectionTest, ButtonsRemappedByTheUserMeanwhileKeepTheirNewMeaning) {
  LinuxWheelDirection wheels(*connection_, log_);
  wheels.reverseDiscreteWheels(true);
  setMapping(exchanged(mapping(), 1, 3));

  wheels.reverseDiscreteWheels(false);
  EXPECT_EQ(mapping(), withSwapped({{1, 3}}));
}

TEST_F(LinuxWheelDirectionTest, AWheelButtonHeldDownMakesReversingFailWithOneLine) {
  XTestFakeButtonEvent(other_, wheelUp, True, CurrentTime);
  XSync(other_, False);
  LinuxWheelDirection wheels(*connection_, log_);
  wheels.reverseDiscreteWheels(true);
  XTestFakeButtonEvent(other_, wheelUp, False, CurrentTime);
  XSync(other_, False);

  EXPECT_EQ(mapping(), identity_);
  EXPECT_THAT(log_.lines(), ::testing::ElementsAre(::testing::HasSubstr(
                                "cannot reverse the mouse wheel: the X server refused")));
}

std::string contentsOf(const std::filesystem::path& path) {
  std::ifstream file(path);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A run killed outright leaves its wheels changed and its state file behind;
// both are recreated here from a run that ended cleanly.
class WheelStateTest : public LinuxWheelDirectionTest {
protected:
  std::filesystem::path stateFile() const { return folder_.path() / "state" / "display-0.wheels"; }

  // Reverses, notes what the state file said and what the server held, and
  // ends the run; then puts both back as a kill would have left them.
  void leaveReversedAsAKillWould() {
    std::string remembered;
    ButtonMap reversed;
    {
      LinuxWheelDirection wheels(*connection_, log_, stateFile());
      wheels.reverseDiscreteWheels(true);
      remembered = contentsOf(stateFile());
      reversed = mapping();
    }
    ASSERT_FALSE(std::filesystem::exists(stateFile())) << "a clean end forgets";
    ASSERT_FALSE(remembered.empty());
    setMapping(reversed);
    std::ofstream(stateFile()) << remembered;
  }

  TemporaryDirectory folder_;
};

TEST_F(WheelStateTest, TheNextStartGivesBackWheelsAKilledRunLeftReversed) {
  const ButtonMap leftHanded = withSwapped({{1, 3}});
  setMapping(leftHanded);
  leaveReversedAsAKillWould();
  ASSERT_EQ(mapping(), withSwapped({{1, 3}, {4, 5}, {6, 7}}));

  LinuxWheelDirection next(*connection_, log_, stateFile());
  EXPECT_EQ(mapping(), leftHanded);
  EXPECT_FALSE(std::filesystem::exists(stateFile()));
  EXPECT_THAT(log_.lines(), ::testing::ElementsAre(::testing::HasSubstr("gave back")));

  // Reversing again starts from the user's own mapping.
  next.reverseDiscreteWheels(true);
  next.reverseDiscreteWheels(false);
  EXPECT_EQ(mapping(), leftHanded);
}

TEST_F(WheelStateTest, ButtonsTheUserChangedSinceTheKillKeepTheirNewMeaning) {
  leaveReversedAsAKillWould();
  setMapping(exchanged(mapping(), 1, 3));
  LinuxWheelDirection next(*connection_, log_, stateFile());
  EXPECT_EQ(mapping(), withSwapped({{1, 3}}));
}

TEST_F(WheelStateTest, AnUnreadableStateFileLeavesTheWheelsAloneWithOneLine) {
  for (const std::string garbage :
       {"buttons 1 2 3\n", "buttons 1 2 x\napplied 1 2 3\n", "natural 7 Mouse\n", "wheels\n",
        "buttons 1 2 3\napplied 1 2\n", "buttons 1 2 300\napplied 1 2 3\n"}) {
    SCOPED_TRACE(garbage);
    const ButtonMap odd = withSwapped({{4, 5}});
    setMapping(odd);
    std::filesystem::create_directories(stateFile().parent_path());
    std::ofstream(stateFile()) << garbage;
    log_.takeNewLines();
    LinuxWheelDirection next(*connection_, log_, stateFile());
    EXPECT_EQ(mapping(), odd);
    EXPECT_THAT(log_.takeNewLines(), ::testing::ElementsAre(::testing::HasSubstr("unreadable")));
    EXPECT_FALSE(std::filesystem::exists(stateFile()));
  }
}

// Xvfb has no libinput devices, so its own pointer is given the switches a
// libinput mouse or touchpad would have.
class LibinputWheelTest : public LinuxWheelDirectionTest {
protected:
  void SetUp() override {
    LinuxWheelDirectionTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
      return;
    }
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(other_, XIAllDevices, &count);
    for (int index = 0; index < count; ++index) {
      if (devices[index].use == XISlavePointer &&
          std::string_view(devices[index].name).find("XTEST") == std::string_view::npos) {
        pointer_ = devices[index].deviceid;
      }
    }
    XIFreeDeviceInfo(devices);
    ASSERT_GE(pointer_, 0) << "the server has no pointer of its own";
    natural_ = XInternAtom(other_, naturalScrolling, False);
    tapping_ = XInternAtom(other_, "libinput Tapping Enabled", False);
  }

  void TearDown() override {
    if (pointer_ >= 0) {
      XIDeleteProperty(other_, pointer_, natural_);
      XIDeleteProperty(other_, pointer_, tapping_);
    }
    LinuxWheelDirectionTest::TearDown();
  }

  void setSwitch(int device, Atom property, unsigned char value) const {
    XIChangeProperty(other_, device, property, XA_INTEGER, 8, XIPropModeReplace, &value, 1);
    XSync(other_, False);
  }

  std::optional<unsigned char> naturalScrollingOf(int device) const {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XIGetProperty(other_, device, natural_, 0, 1, False, AnyPropertyType, &type, &format, &items,
                  &after, &data);
    std::optional<unsigned char> value;
    if (data != nullptr && items == 1) {
      value = data[0];
    }
    XFree(data);
    return value;
  }

  int pointer_ = -1;
  Atom natural_ = None;
  Atom tapping_ = None;
};

// Reversed from whichever way the user has it, and given back on turning
// off as on ending.
TEST_F(LibinputWheelTest, AMouseIsReversedByItsOwnSwitchAloneWhichIsGivenBackAfter) {
  for (const unsigned char own : std::array<unsigned char, 2>{0, 1}) {
    setSwitch(pointer_, natural_, own);
    {
      LinuxWheelDirection wheels(*connection_, log_);
      wheels.reverseDiscreteWheels(true);
      EXPECT_EQ(naturalScrollingOf(pointer_), own == 0 ? 1 : 0);
      EXPECT_EQ(mapping(), identity_)
          << "swapped buttons would turn legacy clients' scrolling back";
      if (own == 0) {
        wheels.reverseDiscreteWheels(false);
        EXPECT_EQ(naturalScrollingOf(pointer_), own);
      }
    }
    EXPECT_EQ(naturalScrollingOf(pointer_), own);
  }
  EXPECT_EQ(mapping(), identity_);
  EXPECT_THAT(log_.lines(), ::testing::IsEmpty());
}

TEST_F(LibinputWheelTest, AMousesOwnSwitchIsGivenBackAfterAKilledRun) {
  const TemporaryDirectory folder;
  const auto stateFile = folder.path() / "display-0.wheels";
  setSwitch(pointer_, natural_, 0);
  std::string remembered;
  {
    LinuxWheelDirection wheels(*connection_, log_, stateFile);
    wheels.reverseDiscreteWheels(true);
    remembered = contentsOf(stateFile);
  }
  ASSERT_NE(remembered.find("natural 0 "), std::string::npos) << remembered;
  setSwitch(pointer_, natural_, 1);
  std::ofstream(stateFile) << remembered;

  LinuxWheelDirection next(*connection_, log_, stateFile);
  EXPECT_EQ(naturalScrollingOf(pointer_), 0);
  EXPECT_EQ(mapping(), identity_);
}

TEST_F(LibinputWheelTest, ATouchpadKeepsItsSwitchAndOtherWheelsAreSwapped) {
  setSwitch(pointer_, natural_, 0);
  setSwitch(pointer_, tapping_, 1);
  LinuxWheelDirection wheels(*connection_, log_);

  wheels.reverseDiscreteWheels(true);
  EXPECT_EQ(naturalScrollingOf(pointer_), 0);
  EXPECT_EQ(mapping(), withSwapped({{4, 5}, {6, 7}}));
}

} // namespace
} // namespace quillon
