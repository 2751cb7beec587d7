#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "eq/band_coefficients.h"

// Counts every allocation of this test program.
namespace {
size_t allocationCount = 0;
}  // namespace

void* operator new(size_t size) {
  ++allocationCount;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}

namespace veltra::eq {
namespace {

TEST(BandCoefficients, AllocateNothing) {
  const size_t before = allocationCount;
  uint32_t sink = 0;
  for (int32_t fc = 20; fc <= 20000; fc += 997)
    sink ^= CalcBandCoefficients(48000, fc, fc / 2).S;
  EXPECT_EQ(allocationCount, before);
  EXPECT_NE(sink, 0u);
}

}  // namespace
}  // namespace veltra::eq
