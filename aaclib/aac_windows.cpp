// Window tables of the filterbank: sine and Kaiser-Bessel-derived, long, short, transition.
#include "aaclib/aac_windows.h"

#include <cmath>
#include <vector>

namespace zbaac {

namespace {

// Zeroth-order modified Bessel function of the first kind, by its power series.
double BesselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  const double quarterSquare = x * x / 4.0;
  for (int k = 1; k < 60; ++k) {
    term *= quarterSquare / (static_cast<double>(k) * k);
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

// Rising half of the KBD window of total length n with parameter alpha:
// w[i] = sqrt(sum_{p<=i} K[p] / sum_{p<=n/2} K[p]), K the Kaiser kernel of length n/2 + 1.
template <size_t Half>
void FillKbd(std::array<float, Half>& out, double alpha) {
  const int half = static_cast<int>(Half);
  std::vector<double> kernel(half + 1);
  double total = 0.0;
  for (int p = 0; p <= half; ++p) {
    const double r = (p - half / 2.0) / (half / 2.0);
    kernel[p] = BesselI0(M_PI * alpha * std::sqrt(std::fmax(0.0, 1.0 - r * r)));
    total += kernel[p];
  }
  double running = 0.0;
  for (int i = 0; i < half; ++i) {
    running += kernel[i];
    out[i] = static_cast<float>(std::sqrt(running / total));
  }
}

template <size_t Half>
void FillSine(std::array<float, Half>& out) {
  for (size_t i = 0; i < Half; ++i) {
    out[i] = static_cast<float>(std::sin(M_PI / (2.0 * Half) * (i + 0.5)));
  }
}

WindowTables Build() {
  WindowTables t{};
  FillSine(t.longRise[0]);
  FillKbd(t.longRise[1], 4.0);
  FillSine(t.shortRise[0]);
  FillKbd(t.shortRise[1], 6.0);
  for (int shape = 0; shape < 2; ++shape) {
    auto& tr = t.transitionRise[shape];
    for (int i = 0; i < 448; ++i) tr[i] = 0.0f;
    for (int i = 0; i < 128; ++i) tr[448 + i] = t.shortRise[shape][i];
    for (int i = 576; i < 1024; ++i) tr[i] = 1.0f;
    for (int i = 0; i < 1024; ++i) {
      t.longFall[shape][i] = t.longRise[shape][1023 - i];
      t.transitionFall[shape][i] = tr[1023 - i];
    }
    for (int i = 0; i < 128; ++i) t.shortFall[shape][i] = t.shortRise[shape][127 - i];
  }
  return t;
}

}  // namespace

const float* WindowTables::Rise(WindowKind kind, int shape) const {
  switch (kind) {
    case WindowKind::kLong:
      return longRise[shape].data();
    case WindowKind::kShort:
      return shortRise[shape].data();
    case WindowKind::kTransition:
      return transitionRise[shape].data();
  }
  return longRise[shape].data();
}

const float* WindowTables::Fall(WindowKind kind, int shape) const {
  switch (kind) {
    case WindowKind::kLong:
      return longFall[shape].data();
    case WindowKind::kShort:
      return shortFall[shape].data();
    case WindowKind::kTransition:
      return transitionFall[shape].data();
  }
  return longFall[shape].data();
}

const WindowTables& Windows() {
  static const WindowTables tables = Build();
  return tables;
}

}  // namespace zbaac
