// Window tables of the filterbank: sine and Kaiser-Bessel-derived, long, short, transition.
#pragma once

#include <array>

namespace zbaac {

enum class WindowKind { kLong = 0, kShort = 1, kTransition = 2 };

// Rising halves of the windows, indexed by shape (0 = sine, 1 = KBD). The falling half of a
// window is its rising half read backwards; it is kept as such too, so that the transforms
// read both halves forwards. The transition window (used by the long half of LONG_START
// and LONG_STOP blocks that meets a short window) is 448 zeros, the rising short window
// and 448 ones.
struct WindowTables {
  std::array<std::array<float, 1024>, 2> longRise;
  std::array<std::array<float, 128>, 2> shortRise;
  std::array<std::array<float, 1024>, 2> transitionRise;
  std::array<std::array<float, 1024>, 2> longFall;
  std::array<std::array<float, 128>, 2> shortFall;
  std::array<std::array<float, 1024>, 2> transitionFall;

  // Rising half of the given kind and shape; 1024 entries, or 128 for kShort.
  const float* Rise(WindowKind kind, int shape) const;
  // Falling half: Fall(kind, shape)[i] = Rise(kind, shape)[length - 1 - i].
  const float* Fall(WindowKind kind, int shape) const;
};

// The tables, computed (in double precision) on first use and kept for the life of the
// process.
const WindowTables& Windows();

}  // namespace zbaac
