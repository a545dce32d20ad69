// Tests of the complex FFT and the MDCT pair against their direct sums, on four lanes and
// (where the processor has them) eight, and of the two widths giving the same bits.
#include "aaclib/aac_mdct.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "aaclib/aac_fft.h"

namespace zbaac {
namespace {

std::vector<float> RandomSignal(int n, unsigned seed, float amplitude) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(-amplitude, amplitude);
  std::vector<float> v(n);
  for (float& x : v) x = dist(rng);
  return v;
}

// The widths this processor runs: four always, eight where it has them.
std::vector<Lanes> WidthsHere() {
  if (EightLanesAvailable()) return {Lanes::kWidest, Lanes::kFour};
  return {Lanes::kFour};
}

std::string WidthName(Lanes lanes) { return lanes == Lanes::kFour ? "four lanes" : "widest lanes"; }

// Catches wrong butterflies, twiddle signs or a wrong digit-reversal permutation.
TEST(FftTest, MatchesDirectDftForBothSizes) {
  for (Lanes lanes : WidthsHere()) {
    for (int n : {64, 512}) {
      const std::vector<float> re = RandomSignal(n, 1, 1.0f);
      const std::vector<float> im = RandomSignal(n, 2, 1.0f);
      std::vector<float> outRe = re;
      std::vector<float> outIm = im;
      Fft(n, lanes).Forward(outRe.data(), outIm.data());
      double maxError = 0.0;
      for (int q = 0; q < n; ++q) {
        double sr = 0.0, si = 0.0;
        for (int p = 0; p < n; ++p) {
          const double a = -2.0 * M_PI * p * q / n;
          sr += re[p] * std::cos(a) - im[p] * std::sin(a);
          si += re[p] * std::sin(a) + im[p] * std::cos(a);
        }
        maxError = std::fmax(maxError, std::fmax(std::fabs(sr - outRe[q]), std::fabs(si - outIm[q])));
      }
      EXPECT_LT(maxError, 1e-4) << "size " << n << ", " << WidthName(lanes);
    }
  }
}

double DirectImdct(const std::vector<float>& X, int n, int j) {
  const double n0 = (n / 2.0 + 1.0) / 2.0;
  double s = 0.0;
  for (int k = 0; k < n / 2; ++k) s += X[k] * std::cos(2.0 * M_PI / n * (j + n0) * (k + 0.5));
  return 2.0 / n * s;
}

// Catches a wrong pre/post twiddle, output order or scale of the inverse transform.
TEST(MdctTest, InverseMatchesDirectSumAtPcmScale) {
  for (Lanes lanes : WidthsHere()) {
    for (int n : {256, 2048}) {
      // Coefficients of a loud block: outputs reach the 16-bit range.
      const std::vector<float> X = RandomSignal(n / 2, 3, 8000.0f);
      // Unit windows and nothing to add: the plain transform.
      const std::vector<float> ones(n / 2, 1.0f), zeros(n / 2, 0.0f);
      std::vector<float> out(n);
      Mdct mdct(n, lanes);
      mdct.InverseWindowed(X.data(), ones.data(), ones.data(), zeros.data(), out.data(), out.data() + n / 2);
      double maxError = 0.0, peak = 0.0;
      for (int j = 0; j < n; ++j) {
        const double ref = DirectImdct(X, n, j);
        peak = std::fmax(peak, std::fabs(ref));
        maxError = std::fmax(maxError, std::fabs(ref - out[j]));
      }
      EXPECT_LT(maxError, 0.01) << "size " << n << " peak " << peak << ", " << WidthName(lanes);
    }
  }
}

// Catches a wrong fold or scale of the forward transform.
TEST(MdctTest, ForwardMatchesDirectSum) {
  const int n = 2048;
  const std::vector<float> x = RandomSignal(n, 4, 1000.0f);
  std::vector<float> coefs(n / 2);
  const std::vector<float> ones(n / 2, 1.0f);
  Mdct(n).ForwardWindowed(x.data(), ones.data(), ones.data(), coefs.data());
  const double n0 = (n / 2.0 + 1.0) / 2.0;
  double maxError = 0.0;
  for (int k = 0; k < n / 2; k += 7) {
    double s = 0.0;
    for (int j = 0; j < n; ++j) s += x[j] * std::cos(2.0 * M_PI / n * (j + n0) * (k + 0.5));
    maxError = std::fmax(maxError, std::fabs(2.0 * s - coefs[k]));
  }
  EXPECT_LT(maxError, 0.5);  // coefficients reach about 1e6
}

// Catches the eight-lane code rounding differently from the four-lane code (a contracted
// multiply-add, another order of operations) or misplacing values of its wider layout:
// decoded samples must not depend on the processor.
TEST(MdctTest, EightLanesGiveTheFourLaneBits) {
  if (!EightLanesAvailable()) GTEST_SKIP() << "this processor has no eight-lane vector code";
  EXPECT_FALSE(Mdct(2048, Lanes::kFour).EightLanes()) << "four lanes asked for";
  for (int n : {256, 512, 1024, 2048, 4096}) {
    const std::vector<float> X = RandomSignal(n / 2, 5 + n, 8000.0f);
    const std::vector<float> rise = RandomSignal(n / 2, 6, 1.0f), fall = RandomSignal(n / 2, 7, 1.0f);
    const std::vector<float> add = RandomSignal(n / 2, 8, 4000.0f);
    Mdct wide(n), four(n, Lanes::kFour);
    ASSERT_TRUE(wide.EightLanes()) << "size " << n;
    std::vector<float> outWide(n), outFour(n);
    wide.InverseWindowed(X.data(), rise.data(), fall.data(), add.data(), outWide.data(), outWide.data() + n / 2);
    four.InverseWindowed(X.data(), rise.data(), fall.data(), add.data(), outFour.data(), outFour.data() + n / 2);
    EXPECT_EQ(0, std::memcmp(outWide.data(), outFour.data(), sizeof(float) * n)) << "inverse, size " << n;
    // The forward transform shares the gather, the first pass and the FFT's stages.
    const std::vector<float> x = RandomSignal(n, 9, 20000.0f);
    std::vector<float> coefsWide(n / 2), coefsFour(n / 2);
    wide.ForwardWindowed(x.data(), rise.data(), fall.data(), coefsWide.data());
    four.ForwardWindowed(x.data(), rise.data(), fall.data(), coefsFour.data());
    EXPECT_EQ(0, std::memcmp(coefsWide.data(), coefsFour.data(), sizeof(float) * (n / 2))) << "forward, size " << n;
  }
  for (int n : {16, 64, 128, 512, 4096}) {
    std::vector<float> reWide = RandomSignal(n, 10, 1000.0f), imWide = RandomSignal(n, 11, 1000.0f);
    std::vector<float> reFour = reWide, imFour = imWide;
    Fft(n).Forward(reWide.data(), imWide.data());
    Fft(n, Lanes::kFour).Forward(reFour.data(), imFour.data());
    EXPECT_EQ(0, std::memcmp(reWide.data(), reFour.data(), sizeof(float) * n)) << "FFT size " << n;
    EXPECT_EQ(0, std::memcmp(imWide.data(), imFour.data(), sizeof(float) * n)) << "FFT size " << n;
  }
}

}  // namespace
}  // namespace zbaac
