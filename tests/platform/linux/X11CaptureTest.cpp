#include "X11DesktopFixture.h"
#include "platform/KeyCodes.h"
#include "platform/linux/FfmpegScreenRecorder.h"
#include "platform/linux/PosixProcesses.h"
#include "platform/linux/PulseMicrophone.h"
#include "platform/shared/TemporaryDirectory.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <mutex>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace quillon {
namespace {

using namespace std::chrono_literals;

// A sound server of the test's own with a sine wave as its only source,
// reached through PULSE_SERVER.
class SoundServer {
public:
  SoundServer() {
    socket_ = folder_.path() / "native";
    const std::string home = "HOME=" + folder_.path().string();
    const std::string runtime = "XDG_RUNTIME_DIR=" + folder_.path().string();
    std::vector<std::string> storage{"/usr/bin/pulseaudio",
                                     "-n",
                                     "--daemonize=no",
                                     "--exit-idle-time=-1",
                                     "--disable-shm=yes",
                                     "--load=module-native-protocol-unix auth-anonymous=1 socket=" +
                                         socket_.string(),
                                     "--load=module-sine-source source_name=sine frequency=440"};
    std::vector<char*> argv;
    for (std::string& argument : storage) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> variables{home, runtime, "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (std::string& variable : variables) {
      envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~SoundServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  bool ready() const {
    return pid_ > 0 && X11Session::waitUntil([this] { return std::filesystem::exists(socket_); });
  }
  std::string address() const { return "unix:" + socket_.string(); }

private:
  TemporaryDirectory folder_{"quillon-sound"};
  std::filesystem::path socket_;
  pid_t pid_ = -1;
};

// What ffprobe reads in a file: each stream's type and codec, the pixel
// format, sample rate and channel count, and the duration in seconds.
struct Probe {
  std::string streams;
  double duration = 0;
};

std::optional<Probe> probe(const std::filesystem::path& file,
                           const std::string& streamEntries = "") {
  const std::string command = "/usr/bin/ffprobe -v error -show_entries "
                              "stream=codec_type,codec_name,pix_fmt,sample_rate,channels" +
                              streamEntries +
                              ":format=duration "
                              "-of default=noprint_wrappers=1 '" +
                              file.string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return std::nullopt;
  }
  Probe result;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
    const std::string line(buffer);
    if (line.starts_with("duration=")) {
      result.duration = std::atof(line.c_str() + 9);
      continue;
    }
    result.streams += line;
  }
  if (pclose(pipe) != 0) {
    return std::nullopt;
  }
  return result;
}

class CollectedLog final : public Log {
public:
  void write(std::string_view line) override {
    const std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
  }

private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// A recording's end, awaited by the test.
struct Ending {
  std::mutex mutex;
  std::condition_variable signal;
  std::optional<CaptureEnd> end;

  ScreenCapture::EndHandler handler() {
    return [this](CaptureEnd how) {
      const std::lock_guard lock(mutex);
      end = std::move(how);
      signal.notify_all();
    };
  }
  std::optional<CaptureEnd> wait(std::chrono::seconds limit = 30s) {
    std::unique_lock lock(mutex);
    signal.wait_for(lock, limit, [this] { return end.has_value(); });
    return end;
  }
};

class X11CaptureTest : public X11DesktopTest {
protected:
  void SetUp() override {
    X11DesktopTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    display_ = XOpenDisplay(session_->display().c_str());
    ASSERT_NE(display_, nullptr);
    // The desktop's home is shared by the suite's tests.
    std::filesystem::remove_all(documents() / "Parlando Files");
  }
  void TearDown() override {
    if (colours_ != 0) {
      XDestroyWindow(display_, colours_);
    }
    if (display_ != nullptr) {
      XCloseDisplay(display_);
    }
    X11DesktopTest::TearDown();
  }

  std::filesystem::path documents() const {
    return session_->productConfigFolder().parent_path().parent_path() / "Documents";
  }
  std::vector<std::filesystem::path> filesIn(const std::string& folder) const {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(documents() / "Parlando Files" / folder, error)) {
      files.push_back(entry.path());
    }
    return files;
  }
  bool logHas(const std::string& text, std::chrono::milliseconds limit = 10s) const {
    return X11Session::waitUntil(
        [&] { return session_->productLog().find(text) != std::string::npos; }, limit);
  }

  // Left half red, right half blue, placed exactly: no window manager frame.
  void showColours(int x, int y, int width, int height) {
    const Window root = DefaultRootWindow(display_);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0xff0000;
    colours_ = XCreateWindow(display_, root, x, y, width, height, 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    const Window right =
        XCreateSimpleWindow(display_, colours_, width / 2, 0, width / 2, height, 0, 0, 0x0000ff);
    XMapWindow(display_, right);
    XMapRaised(display_, colours_);
    XSync(display_, False);
  }

  // A full-screen window no window manager placed, and the pointer taken.
  bool overlayUp() {
    return X11Session::waitUntil([this] {
      const Window root = DefaultRootWindow(display_);
      Window parent = 0;
      Window* children = nullptr;
      unsigned count = 0;
      bool shown = false;
      if (XQueryTree(display_, root, &root_, &parent, &children, &count) != 0) {
        for (unsigned index = 0; index < count; ++index) {
          XWindowAttributes attributes;
          if (children[index] != colours_ &&
              XGetWindowAttributes(display_, children[index], &attributes) != 0 &&
              attributes.override_redirect && attributes.map_state == IsViewable &&
              attributes.width == DisplayWidth(display_, 0)) {
            shown = true;
          }
        }
        XFree(children);
      }
      if (!shown) {
        return false;
      }
      const int grabbed = XGrabPointer(display_, root, False, 0, GrabModeAsync, GrabModeAsync, None,
                                       None, CurrentTime);
      if (grabbed == GrabSuccess) {
        XUngrabPointer(display_, CurrentTime);
      }
      XSync(display_, False);
      return grabbed == AlreadyGrabbed;
    });
  }

  // The core pointer, the one the overlay holds, dragged in steps.
  void drag(int fromX, int fromY, int toX, int toY) {
    XTestFakeMotionEvent(display_, -1, fromX, fromY, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    constexpr int steps = 5;
    for (int step = 1; step <= steps; ++step) {
      XTestFakeMotionEvent(display_, -1, fromX + (toX - fromX) * step / steps,
                           fromY + (toY - fromY) * step / steps, CurrentTime);
      XSync(display_, False);
    }
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XSync(display_, False);
  }

  Display* display_ = nullptr;
  Window root_ = 0;
  Window colours_ = 0;
};

struct Colour {
  int red;
  int green;
  int blue;
};

Colour pixelAt(GdkPixbuf* image, int x, int y) {
  const guchar* row = gdk_pixbuf_get_pixels(image) +
                      static_cast<std::ptrdiff_t>(y) * gdk_pixbuf_get_rowstride(image);
  const guchar* pixel = row + x * gdk_pixbuf_get_n_channels(image);
  return {pixel[0], pixel[1], pixel[2]};
}

// JPEG blurs edges and shifts colours a little; what counts is which one.
bool isRed(Colour colour) {
  return colour.red > 200 && colour.green < 60 && colour.blue < 60;
}
bool isBlue(Colour colour) {
  return colour.blue > 200 && colour.red < 60 && colour.green < 60;
}

TEST_F(X11CaptureTest, TheDraggedAreaOfTheFrozenScreenIsSavedAsJpegAndCopiedAsAnImage) {
  showColours(100, 100, 200, 100);
  startProduct();
  typist_->press(keycode::S, flag::Option | flag::Shift);
  ASSERT_TRUE(overlayUp()) << session_->productLog();
  // From inside the red half to inside the blue one: 140 × 70 pixels.
  drag(120, 110, 260, 180);
  ASSERT_TRUE(logHas("Quillon screenshot: saved ")) << session_->productLog();

  const auto files = filesIn("screenshots");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(files.front().filename().string().starts_with("Screenshot "));
  EXPECT_EQ(files.front().extension(), ".jpg");
  GError* error = nullptr;
  GdkPixbuf* saved = gdk_pixbuf_new_from_file(files.front().c_str(), &error);
  ASSERT_NE(saved, nullptr) << (error != nullptr ? error->message : "");
  EXPECT_EQ(gdk_pixbuf_get_width(saved), 140);
  EXPECT_EQ(gdk_pixbuf_get_height(saved), 70);
  EXPECT_TRUE(isRed(pixelAt(saved, 10, 35)));
  EXPECT_TRUE(isRed(pixelAt(saved, 70, 35)));
  EXPECT_TRUE(isBlue(pixelAt(saved, 90, 35)));
  EXPECT_TRUE(isBlue(pixelAt(saved, 130, 60)));
  g_object_unref(saved);

  const std::string png = session_->clipboardContents("image/png").value_or("");
  ASSERT_TRUE(png.starts_with("\x89PNG")) << png.size() << " bytes on the clipboard";
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
  gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(png.data()), png.size(), nullptr);
  gdk_pixbuf_loader_close(loader, nullptr);
  GdkPixbuf* copied = gdk_pixbuf_loader_get_pixbuf(loader);
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(copied), 140);
  EXPECT_TRUE(isBlue(pixelAt(copied, 130, 10)));
  g_object_unref(loader);
}

TEST_F(X11CaptureTest, EscapeOrAClickWithoutADragCancelsAndWritesNothing) {
  startProduct();
  typist_->press(keycode::S, flag::Option | flag::Shift);
  ASSERT_TRUE(overlayUp()) << session_->productLog();
  typist_->press(keycode::Escape, 0);
  ASSERT_TRUE(logHas("Quillon screenshot: cancelled (no file written)")) << session_->productLog();

  typist_->press(keycode::S, flag::Option | flag::Shift);
  ASSERT_TRUE(overlayUp()) << session_->productLog();
  drag(400, 400, 401, 400);
  ASSERT_TRUE(X11Session::waitUntil([this] {
    const std::string log = session_->productLog();
    const std::string line = "Quillon screenshot: cancelled (no file written)";
    return log.find(line) != log.rfind(line);
  })) << session_->productLog();
  EXPECT_TRUE(filesIn("screenshots").empty());
  EXPECT_EQ(session_->productLog().find("Quillon screenshot: saved"), std::string::npos);
}

TEST_F(X11CaptureTest, TheAudioHotkeyRecordsAacMonoThatDecodesEvenWhenStoppedAtOnce) {
  SoundServer sound;
  ASSERT_TRUE(sound.ready());
  session_->startProduct({}, {"PULSE_SERVER=" + sound.address()});
  ASSERT_TRUE(X11Session::waitUntil([this] { return typist_->keyboardGrabbed(); }));
  ASSERT_TRUE(logHas("Quillon: event tap started"));
  typist_->press(keycode::R, flag::Control | flag::Command);
  ASSERT_TRUE(logHas("Quillon audio: started ")) << session_->productLog();
  std::this_thread::sleep_for(3s);
  typist_->press(keycode::R, flag::Control | flag::Command);
  ASSERT_TRUE(logHas("Quillon audio: stopped, saved ")) << session_->productLog();

  auto files = filesIn("audiorec");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files.front().extension(), ".m4a");
  auto read = probe(files.front());
  ASSERT_TRUE(read) << files.front();
  EXPECT_EQ(read->streams, "codec_name=aac\ncodec_type=audio\nsample_rate=44100\nchannels=1\n");
  EXPECT_GT(read->duration, 2.5);

  // Stopped while the encoder may still be opening its input.
  typist_->press(keycode::R, flag::Control | flag::Command);
  std::this_thread::sleep_for(500ms);
  typist_->press(keycode::R, flag::Control | flag::Command);
  ASSERT_TRUE(X11Session::waitUntil([this] { return filesIn("audiorec").size() == 2; }));
  ASSERT_TRUE(X11Session::waitUntil([this] {
    const std::string log = session_->productLog();
    return log.find("stopped, saved ") != log.rfind("stopped, saved ");
  })) << session_->productLog();
  for (const auto& file : filesIn("audiorec")) {
    read = probe(file);
    ASSERT_TRUE(read) << file << " does not decode";
    EXPECT_NE(read->streams.find("codec_type=audio"), std::string::npos);
    EXPECT_GT(read->duration, 0.0);
  }
}

TEST_F(X11CaptureTest, TheAreaHotkeyRecordsTheDraggedAreaUntilPressedAgain) {
  SoundServer sound;
  ASSERT_TRUE(sound.ready());
  session_->startProduct({}, {"PULSE_SERVER=" + sound.address()});
  ASSERT_TRUE(X11Session::waitUntil([this] { return typist_->keyboardGrabbed(); }));
  ASSERT_TRUE(logHas("Quillon: event tap started"));
  typist_->press(keycode::V, flag::Control | flag::Command);
  ASSERT_TRUE(overlayUp()) << session_->productLog();
  // 321 × 241 pixels, recorded at the even size below it.
  drag(100, 100, 421, 341);
  ASSERT_TRUE(logHas("Quillon video: started ")) << session_->productLog();
  std::this_thread::sleep_for(2s);
  typist_->press(keycode::V, flag::Control | flag::Command);
  ASSERT_TRUE(logHas("Quillon video: saved ")) << session_->productLog();

  const auto files = filesIn("screen");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files.front().extension(), ".mov");
  const auto read = probe(files.front(), ",width,height");
  ASSERT_TRUE(read) << files.front() << " does not decode";
  EXPECT_NE(read->streams.find("codec_name=h264\ncodec_type=video\nwidth=320\nheight=240\n"
                               "pix_fmt=yuv420p\n"),
            std::string::npos)
      << read->streams;
  EXPECT_NE(read->streams.find("codec_type=audio"), std::string::npos) << read->streams;
}

TEST_F(X11CaptureTest, WithoutASoundServerTheMicrophoneIsDenied) {
  session_->startProduct({}, {"PULSE_SERVER=unix:/nonexistent/quillon-test"});
  ASSERT_TRUE(X11Session::waitUntil([this] { return typist_->keyboardGrabbed(); }));
  ASSERT_TRUE(logHas("Quillon: event tap started"));
  typist_->press(keycode::R, flag::Control | flag::Command);
  ASSERT_TRUE(logHas("Quillon audio: microphone access denied")) << session_->productLog();
  EXPECT_TRUE(filesIn("audiorec").empty());
}

// The recorder runs in this process here, on the test desktop, with the
// test's own microphone.
class X11ScreenRecordingTest : public X11CaptureTest {
protected:
  void SetUp() override {
    X11CaptureTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    ASSERT_TRUE(sound_.ready());
    setenv("PULSE_SERVER", sound_.address().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("PULSE_SERVER");
    X11CaptureTest::TearDown();
  }

  SoundServer sound_;
  TemporaryDirectory folder_{"quillon-video"};
  PosixProcesses processes_;
  PulseMicrophone microphone_{processes_};
  CollectedLog log_;
};

TEST_F(X11ScreenRecordingTest, RecordingsDecodeAsH264AndAacEvenWhenStoppedAtOnce) {
  FfmpegScreenRecorder recorder(microphone_, log_, session_->display());
  // The first second may go on opening the screen and the microphone on a
  // busy machine: a 3 s take holds at least 1.5 s.
  const std::vector<std::pair<std::chrono::milliseconds, double>> lengths{
      {3000ms, 1.5}, {500ms, 0.0}, {0ms, 0.0}};
  for (const auto& [length, shortest] : lengths) {
    const auto file = folder_.path() / ("take " + std::to_string(length.count()) + ".mov");
    Ending ending;
    auto started = recorder.record(file, ScreenArea{0, 0, 1280, 800}, ending.handler());
    ASSERT_TRUE(started.recording) << started.error;
    std::this_thread::sleep_for(length);
    started.recording->stop();
    const auto end = ending.wait();
    ASSERT_TRUE(end);
    EXPECT_EQ(end->failure, std::nullopt) << *end->failure;
    const auto read = probe(file);
    ASSERT_TRUE(read) << file << " does not decode";
    EXPECT_NE(read->streams.find("codec_name=h264\ncodec_type=video\npix_fmt=yuv420p\n"),
              std::string::npos)
        << read->streams;
    EXPECT_NE(read->streams.find("codec_name=aac\ncodec_type=audio\n"), std::string::npos)
        << read->streams;
    EXPECT_GT(read->duration, shortest);
  }
}

TEST_F(X11ScreenRecordingTest, AFullDiskEndsTheRecordingWithItsReason) {
  const auto small = folder_.path() / "small";
  std::filesystem::create_directories(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  }
  FfmpegScreenRecorder recorder(microphone_, log_, session_->display());
  Ending ending;
  auto started = recorder.record(small / "full.mov", ScreenArea{0, 0, 1280, 800}, ending.handler());
  ASSERT_TRUE(started.recording) << started.error;
  const auto end = ending.wait(60s);
  umount(small.c_str());
  ASSERT_TRUE(end) << "the recording never noticed the full disk";
  ASSERT_TRUE(end->failure);
  EXPECT_NE(end->failure->find("No space left on device"), std::string::npos) << *end->failure;
  EXPECT_FALSE(started.recording->isRunning());
}

} // namespace
} // namespace quillon
