// Finds pictures whose slope dY = single((B - T) / ScaleY) is an exact tie
// between two singles while the double quotient (B - T) x double(1 / ScaleY)
// lies on the other side of it, and whose output bytes change when dY takes
// that other single. They are the cases where the slope kernel's safety
// margin, and nothing else, keeps the result exact; ResamplerMarginTest.cpp
// holds the table this prints.
//
// The pictures: 2 x 2 pixels whose second row has the red sample `bottom` in
// both columns, so that B = bottom in every column of the first source row,
// and T = single(x*dT + P00 - X0*dT) with P00, P10 the red samples `left`
// and `right` of the first row. B - T = N x 2^j (N odd) is a tie over
// ScaleY = s x 2^k (s odd) when s divides N and N / s has exactly 25 bits;
// that takes about 32 bits in N, so T below 1 (a fine grid) and s of 7 or 8
// bits. The search runs over ScaleX = n / d, left = 0 and every right and
// bottom, keeps T in (0, 1) and ScaleY of at most 2048 rows, and prints the
// cases where some output byte of the first ScaleY rows changes with the
// other single.
//
// Build and run (x86-64, where long double is the x87 format):
//   cmake --build build/native --target slope_tie_search && build/native/tests/slope_tie_search

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace {

using Extended = long double;

struct Cell {
  int64_t cell, origin;
};

Cell AnchorOf(int64_t position, float scale) {
  const int64_t cell = static_cast<int64_t>(static_cast<Extended>(position) / scale);
  return {cell, llrintl(static_cast<Extended>(cell) * scale)};
}

// T at output column x of a two-column source with samples left, right
// (white beyond).
float RowValue(int64_t x, float scaleX, int left, int right) {
  const Cell c = AnchorOf(x, scaleX);
  const int p00 = c.cell == 0 ? left : c.cell == 1 ? right : 255;
  const int p10 = c.cell == 0 ? right : 255;
  const float dT = static_cast<float>(static_cast<Extended>(p10 - p00) / scaleX);
  return static_cast<float>(static_cast<Extended>(x) * dT + p00 - static_cast<Extended>(c.origin) * dT);
}

int64_t Final(int64_t y, int64_t y0, float dY, float T) {
  return llrintl(static_cast<Extended>(y) * dY + T - static_cast<Extended>(y0) * dY);
}

int BitLength(uint64_t value) {
  int bits = 0;
  while (value >> bits) ++bits;
  return bits;
}

// The smallest widening exponent w (46 .. 80) at which q -+ q x 2^-w round
// to the same single, or 0 when none does.
int FirstAcceptingWidening(double q) {
  for (int w = 46; w <= 80; ++w) {
    const double margin = q * std::ldexp(1.0, -w);
    if (static_cast<float>(q - margin) == static_cast<float>(q + margin)) return w;
  }
  return 0;
}

}  // namespace

int main() {
  int found = 0;
  const int left = 0;
  for (int denominator : {2, 3, 5, 7}) {
    for (int numerator = denominator + 1; numerator <= 24 * denominator; ++numerator) {
      const float scaleX = static_cast<float>(numerator) / static_cast<float>(denominator);
      const int64_t width = llrintl(2 * static_cast<Extended>(scaleX));
      for (int right = 1; right <= 255; ++right) {
        for (int64_t x = 1; x < width; ++x) {
          const float T = RowValue(x, scaleX, left, right);
          if (!(T > 0 && T < 1)) continue;
          for (int bottom = 1; bottom <= 255; ++bottom) {
            const Extended difference = bottom - static_cast<Extended>(T);  // exact: 64 bits hold it
            int exponent;
            const Extended fraction = frexpl(difference, &exponent);
            uint64_t n = static_cast<uint64_t>(ldexpl(fraction, 64));
            int j = exponent - 64;
            while ((n & 1) == 0) {
              n >>= 1;
              ++j;
            }
            // Odd s with 2^24 <= n / s < 2^25, s below 2^12.
            for (uint64_t s = (n >> 25) | 1; s <= (n >> 24) && s < (1u << 12); s += 2) {
              if (s < 3 || n % s != 0 || BitLength(n / s) != 25) continue;
              for (int k = -8; k <= 12; ++k) {
                const float scaleY = std::ldexp(static_cast<float>(s), k);
                const int64_t height = llrintl(static_cast<Extended>(scaleY));
                if (height < 2 || height > 2048) continue;
                const float exact = static_cast<float>(difference / scaleY);  // the tie, to even
                const double q = static_cast<double>(difference) * (1.0 / static_cast<double>(scaleY));
                const float other = static_cast<float>(q);
                if (other == exact) continue;
                int changed = 0;
                for (int64_t y = 1; y < height; ++y) {
                  const Cell row = AnchorOf(y, scaleY);
                  if (row.cell != 0) break;
                  if ((Final(y, row.origin, exact, T) & 0xFF) != (Final(y, row.origin, other, T) & 0xFF)) ++changed;
                }
                if (changed == 0) continue;
                std::printf("{%.9gf, %.9gf, %d, %d, %d, %lld},  // T=%.9g q-tie=%+g ulp53, %d rows change, widening 2^-%d accepts\n",
                            scaleX, scaleY, left, right, bottom, static_cast<long long>(x), T,
                            (q - static_cast<double>(difference / scaleY)) /
                                std::ldexp(1.0, std::ilogb(q) - 52),
                            changed, FirstAcceptingWidening(q));
                ++found;
              }
            }
          }
        }
      }
    }
  }
  std::fprintf(stderr, "%d cases\n", found);
  return 0;
}
