// Platform boundary: this header stays free of OS and toolkit headers.
#pragma once

namespace quillon {

enum class ActivationPolicy { Regular = 0, Accessory = 1, Prohibited = 2 };

// What the platform calls once its event loop is up.
class ApplicationDelegate {
public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() = 0;
};

// The process's application object: its policy, its loop and its end.
class Application {
public:
  virtual ~Application() = default;
  virtual void setActivationPolicy(ActivationPolicy policy) = 0;
  // Calls the delegate's launch once the loop is up and returns when the
  // application has terminated.
  virtual void run(ApplicationDelegate& delegate) = 0;
  virtual void terminate() = 0;
  virtual int processIdentifier() const = 0;
};

} // namespace quillon
