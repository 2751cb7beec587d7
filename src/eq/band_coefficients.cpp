#include "eq/band_coefficients.h"

#include <algorithm>
#include <cmath>

namespace veltra::eq {
namespace {

using Complex = std::complex<double>;

// Pole pair k of n sits at this angle on the prototype's circle.
double PoleAngle(size_t k, int n) {
  return kPiF * static_cast<double>(2 * k + 1) / static_cast<double>(2 * n);
}

void PutBigEndian(uint32_t word, uint8_t* out) {
  out[0] = static_cast<uint8_t>(word >> 24);
  out[1] = static_cast<uint8_t>(word >> 16);
  out[2] = static_cast<uint8_t>(word >> 8);
  out[3] = static_cast<uint8_t>(word);
}

uint32_t GetBigEndian(const uint8_t* in) {
  return static_cast<uint32_t>(in[0]) << 24 | static_cast<uint32_t>(in[1]) << 16 |
         static_cast<uint32_t>(in[2]) << 8 | static_cast<uint32_t>(in[3]);
}

}  // namespace

void BandWords::WriteBigEndian(std::span<uint8_t, kBandRecordBytes> out) const {
  PutBigEndian(A21, out.data());
  PutBigEndian(A31, out.data() + 4);
  PutBigEndian(S, out.data() + 8);
}

std::array<uint8_t, kBandRecordBytes> BandWords::ToBigEndian() const {
  std::array<uint8_t, kBandRecordBytes> bytes{};
  WriteBigEndian(bytes);
  return bytes;
}

BandWords BandWords::FromBigEndian(std::span<const uint8_t, kBandRecordBytes> in) {
  return {GetBigEndian(in.data()), GetBigEndian(in.data() + 4), GetBigEndian(in.data() + 8)};
}

uint32_t ToCoefficientWord(double x) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  // Written so that a NaN fails the test as well.
  if (!(x >= -kTwoTo63 && x < kTwoTo63)) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(x)));
}

BandWords CalcBandCoefficients(int32_t fs, int32_t fc, int32_t bw) {
  const double r = static_cast<double>(bw) / static_cast<double>(fc);
  const double nyquist = static_cast<double>(fs / 2);
  const double centre = static_cast<double>(fc);
  // Edges placed geometrically around the centre; deliberately not clamped to Nyquist.
  const double f1 = std::sqrt((1.0 - r) / (1.0 + r)) * centre / nyquist;
  const double f2 = std::sqrt((1.0 + r) / (1.0 - r)) * centre / nyquist;

  std::array<double, 3> d{};
  BandPassDenominator(1, f1, f2, d);
  const double sf = BandPassScale(1, f1, f2);
  return {ToCoefficientWord(-(kWordScale * d[1])), ToCoefficientWord(-(kWordScale * d[2])),
          ToCoefficientWord(kWordScale * sf)};
}

bool BandPassDenominator(int n, double f1, double f2, std::span<double> d) {
  if (n < 1 || n > kMaxPolePairs || d.size() < static_cast<size_t>(2 * n + 1)) return false;
  const size_t pairs = static_cast<size_t>(n);

  const double cp = std::cos(kPiF * (f1 + f2) * 0.5);
  const double theta = (f2 - f1) * kPiF * 0.5;
  const double st = std::sin(theta);
  const double ct = std::cos(theta);
  const double s2t = 2.0 * st * ct;
  const double c2t = 2.0 * ct * ct - 1.0;

  std::array<Complex, kMaxPolePairs> b{};
  std::array<Complex, kMaxPolePairs> c{};
  for (size_t k = 0; k < pairs; ++k) {
    const double phi = PoleAngle(k, n);
    const double sp = std::sin(phi);
    const double cq = std::cos(phi);
    const double a = 1.0 + s2t * sp;
    c[k] = {c2t / a, s2t * cq / a};
    b[k] = {-2.0 * cp * (ct + st * sp) / a, -2.0 * cp * st * cq / a};
  }

  std::array<Complex, 2 * kMaxPolePairs> product{};
  TrinomialProduct(n, std::span(b).first(pairs), std::span(c).first(pairs),
                   std::span(product).first(2 * pairs));
  d[0] = 1.0;
  // The imaginary parts cancel in exact arithmetic; what is left of them is rounding.
  for (size_t j = 1; j <= 2 * pairs; ++j)
    d[j] = product[j - 1].real();
  return true;
}

double BandPassScale(int n, double f1, double f2) {
  if (n < 1 || n > kMaxPolePairs) return std::nan("");
  const double theta = (f2 - f1) * kPiF * 0.5;
  const double ctt = 1.0 / std::tan(theta);

  double sfr = 1.0;
  double sfi = 0.0;
  for (size_t k = 0; k < static_cast<size_t>(n); ++k) {
    const double phi = PoleAngle(k, n);
    const double u = ctt + std::sin(phi);
    const double v = std::cos(phi);
    // (sfr + i sfi) * (u - i v) with three multiplications.
    const double a = (sfr + sfi) * (u - v);
    const double b = sfr * u;
    const double c = -sfi * v;
    sfr = b - c;
    sfi = a - b - c;
  }
  return 1.0 / sfr;
}

bool TrinomialProduct(int n, std::span<const Complex> b, std::span<const Complex> c,
                      std::span<Complex> product) {
  if (n < 1) return false;
  const size_t pairs = static_cast<size_t>(n);
  if (b.size() < pairs || c.size() < pairs || product.size() / 2 < pairs) return false;

  // coef(P) is the coefficient of z^-P.
  auto coef = [&](size_t power) -> Complex& { return product[power - 1]; };
  std::fill(product.begin(), product.begin() + static_cast<ptrdiff_t>(2 * pairs), Complex{});
  coef(1) = b[0];
  coef(2) = c[0];
  for (size_t i = 1; i < pairs; ++i) {
    // Highest power first, so every update reads coefficients of the previous product.
    coef(2 * i + 2) += c[i] * coef(2 * i);
    for (size_t p = 2 * i + 1; p >= 3; --p)
      coef(p) += b[i] * coef(p - 1) + c[i] * coef(p - 2);
    coef(2) += b[i] * coef(1) + c[i];
    coef(1) += b[i];
  }
  return true;
}

}  // namespace veltra::eq
