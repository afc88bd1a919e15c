#include "capture/AudioRecorder.h"

#include "core/RecordingStatus.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

class AudioRecorderTest : public ::testing::Test {
protected:
  AudioRecorderTest() {
    observation = notifications.observe(RecordingStatus::AudioRecorderStateNotification,
                                        [this] { ++announced; });
  }

  std::string file(std::string_view time = "00.00.00") {
    return (*desktop.directories().documents() / "Parlando Files" / "audiorec" /
            ("Recording 2027-01-01 at " + std::string(time) + ".m4a"))
        .string();
  }
  void toggle() {
    recorder.toggle();
    desktop.runUntilIdle();
  }

  SimDesktop desktop;
  NotificationCenter notifications;
  NotificationCenter::Observation observation;
  int announced = 0;
  AudioRecorder recorder{{desktop.audioRecorders(), desktop.directories(), desktop.runLoop(),
                          desktop.clock(), desktop.log(), desktop.sound(), notifications, "UTC"}};
};

TEST_F(AudioRecorderTest, ToggledTwiceItLeavesOneFileNamedForItsStart) {
  recorder.toggle();
  // The answer to the access request has not arrived yet.
  EXPECT_FALSE(recorder.isRecording());
  desktop.runUntilIdle();
  ASSERT_TRUE(recorder.isRecording());
  EXPECT_EQ(recorder.currentFile(), std::filesystem::path(file()));
  desktop.advance(Duration(90));
  toggle();
  EXPECT_FALSE(recorder.isRecording());
  EXPECT_EQ(recorder.currentFile(), std::nullopt);

  EXPECT_TRUE(std::filesystem::exists(file()));
  EXPECT_FALSE(std::filesystem::exists(file("00.01.30")));
  EXPECT_EQ(desktop.sound().takePlayed(), (Lines{"Pop", "Pop"}));
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon audio: started " + file(), "Quillon audio: stopped, saved " + file()}));
  const auto& made = desktop.audioRecorders().recordersMade();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made.front().settings, (AudioRecorderSettings{0x61616320, 44100.0, 1, 96}));
  EXPECT_EQ(desktop.audioRecorders().promptCount(), 1);
}

TEST_F(AudioRecorderTest, ARecordingStartedInTheSecondTheLastOneBeganKeepsBoth) {
  toggle();
  toggle();
  toggle();
  EXPECT_EQ(recorder.currentFile(), std::filesystem::path(file("00.00.00 2")));
  toggle();
  EXPECT_TRUE(std::filesystem::exists(file()));
  EXPECT_TRUE(std::filesystem::exists(file("00.00.00 2")));
}

TEST_F(AudioRecorderTest, RefusalsAndFailuresLeaveItIdleAndSilent) {
  desktop.audioRecorders().setAnswer(SimAudioRecorders::Answer::Deny);
  toggle();
  desktop.audioRecorders().setAnswer(SimAudioRecorders::Answer::Grant);
  desktop.audioRecorders().failNextRecorder("The operation couldn't be completed.");
  toggle();
  desktop.audioRecorders().refuseNextRecord();
  toggle();
  desktop.directories().setDocumentsNamed(false);
  toggle();
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon audio: microphone access denied",
                   "Quillon audio: init failed: The operation couldn't be completed.",
                   "Quillon audio: AVAudioRecorder.record() returned false",
                   "Quillon audio: cannot resolve ~/Documents"}));
  EXPECT_FALSE(recorder.isRecording());
  EXPECT_EQ(announced, 0);
  EXPECT_TRUE(desktop.sound().takePlayed().empty());

  recorder.stop();
  EXPECT_EQ(announced, 0);
  EXPECT_TRUE(desktop.log().takeNewLines().empty());
}

TEST_F(AudioRecorderTest, TwoStartsBeforeTheAnswerMakeOneRecording) {
  recorder.start();
  recorder.start();
  desktop.runUntilIdle();
  EXPECT_TRUE(recorder.isRecording());
  EXPECT_EQ(desktop.audioRecorders().recordersMade().size(), 1u);
  EXPECT_EQ(announced, 1);
}

TEST_F(AudioRecorderTest, AnAnswerAfterTheRecorderHasGoneStartsNothing) {
  auto shortLived = std::make_unique<AudioRecorder>(AudioRecorder::Dependencies{
      desktop.audioRecorders(), desktop.directories(), desktop.runLoop(), desktop.clock(),
      desktop.log(), desktop.sound(), notifications});
  shortLived->start();
  shortLived.reset();
  desktop.runUntilIdle();
  EXPECT_TRUE(desktop.audioRecorders().recordersMade().empty());
}

TEST_F(AudioRecorderTest, ARecordingThatBreaksOffGivesTheMenuBackAndKeepsItsFile) {
  toggle();
  ASSERT_TRUE(recorder.isRecording());
  desktop.log().takeNewLines();
  desktop.sound().takePlayed();
  desktop.audioRecorders().breakOffRecording("No space left on device");
  desktop.runUntilIdle();
  EXPECT_FALSE(recorder.isRecording());
  EXPECT_EQ(recorder.currentFile(), std::nullopt);
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(desktop.log().takeNewLines(),
            (Lines{"Quillon audio: recording failed: No space left on device"}));
  EXPECT_EQ(desktop.sound().takePlayed(), (Lines{"Pop"}));
  EXPECT_TRUE(std::filesystem::exists(file()));

  // A failure reported late for a recording already stopped touches
  // nothing of the next one.
  desktop.advance(Duration(2));
  toggle();
  ASSERT_TRUE(recorder.isRecording());
  toggle();
  desktop.audioRecorders().breakOffRecording("late");
  toggle();
  desktop.runUntilIdle();
  EXPECT_TRUE(recorder.isRecording());
  EXPECT_EQ(announced, 5);
}

} // namespace
} // namespace quillon
