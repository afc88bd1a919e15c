#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <vector>

typedef struct _XDisplay Display;

namespace quillon {

// An XInput 2 event mask holding these event types.
std::vector<unsigned char> xinputMaskWith(std::initializer_list<int> events);
// The keys one input device holds down now, as the server sees them. The
// device is opened for the question and closed after it, which also drops
// any grab this connection holds on it: use KeyStates for grabbed devices.
std::vector<std::uint32_t> keysDownOn(Display* display, int device);

// Asks devices which keys they hold, keeping each one open until it is
// forgotten: closing a device drops the asking connection's grab on it.
class KeyStates {
public:
  explicit KeyStates(Display* display) : display_(display) {}
  KeyStates(const KeyStates&) = delete;
  KeyStates& operator=(const KeyStates&) = delete;
  ~KeyStates();

  std::vector<std::uint32_t> keysDown(int device);
  void forget(int device);

private:
  Display* display_;
  // Xlib's XDevice, opaque here.
  std::map<int, void*> opened_;
};
// The XTest keyboard and pointer of the master pair this connection's
// requests come through; -1 where there is none.
int coreXTestKeyboard(Display* display);
int coreXTestPointer(Display* display);
// Sends a release for every key the core XTest keyboard holds: keys a
// killed sender left down there, where no user can let go of them.
void releaseCoreXTestKeys(Display* display);

} // namespace quillon
