#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

typedef struct _XDisplay Display;

namespace quillon {

// An XInput 2 event mask holding these event types.
std::vector<unsigned char> xinputMaskWith(std::initializer_list<int> events);
// The keys one input device holds down now, as the server sees them.
std::vector<std::uint32_t> keysDownOn(Display* display, int device);
// The XTest keyboard and pointer of the master pair this connection's
// requests come through; -1 where there is none.
int coreXTestKeyboard(Display* display);
int coreXTestPointer(Display* display);
// Sends a release for every key the core XTest keyboard holds: keys a
// killed sender left down there, where no user can let go of them.
void releaseCoreXTestKeys(Display* display);

} // namespace quillon
