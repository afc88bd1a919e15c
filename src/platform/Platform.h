// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

namespace quillon {

class Accessibility;
class Alerts;
class AppWindows;
class AppleScript;
class DeviceAuthorization;
class Dictation;
class Http;
class ImageDecoder;
class WebViews;
class WebAppPackaging;
class Application;
class AudioRecorders;
class BackgroundQueue;
class Bundle;
class Clock;
class Defaults;
class Directories;
class EventTaps;
class ExtendedAttributes;
class FileEvents;
class Images;
class InputSources;
class LidSleepPrevention;
class Localization;
class LiveServices;
class LoginItems;
class Log;
class MainQueue;
class Pasteboard;
class PasteTargets;
class Permissions;
class Power;
class Processes;
class ScreenCapture;
class Screens;
class Sound;
class UserInterface;
class WheelDirection;
class WindowLevels;
class Workspace;

// Every system service of one backend. Composition roots receive this and
// hand each feature object only the services it uses.
struct Platform {
  Clock& clock;
  MainQueue& mainQueue;
  BackgroundQueue& backgroundQueue;
  Log& log;
  Bundle& bundle;
  Localization& localization;
  Defaults& defaults;
  EventTaps& eventTaps;
  InputSources& inputSources;
  Accessibility& accessibility;
  Processes& processes;
  Workspace& workspace;
  Permissions& permissions;
  Pasteboard& pasteboard;
  Application& application;
  Sound& sound;
  Screens& screens;
  UserInterface& userInterface;
  LoginItems& loginItems;
  Power& power;
  LidSleepPrevention& lidSleepPrevention;
  Directories& directories;
  Images& images;
  AudioRecorders& audioRecorders;
  ScreenCapture& screenCapture;
  WindowLevels& windowLevels;
  FileEvents& fileEvents;
  ExtendedAttributes& extendedAttributes;
  // Web apps: building them and running them.
  Http& http;
  ImageDecoder& imageDecoder;
  AppleScript& appleScript;
  Alerts& alerts;
  AppWindows& appWindows;
  WebViews& webViews;
  DeviceAuthorization& deviceAuthorization;
  WebAppPackaging& webAppPackaging;
  WheelDirection& wheelDirection;
  // Clipboard history: where a picked entry is pasted.
  PasteTargets& pasteTargets;
  Dictation& dictation;
  // Which of the services above are real on this desktop.
  const LiveServices& liveServices;
};

} // namespace quillon
