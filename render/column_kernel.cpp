// The column shader for one instruction set. This file is compiled once per
// target, with that target's compiler flags and COLUMN_KERNEL_TARGET naming it;
// the formula itself comes from shading_formula.h, shared with shadePixel.
#include "column_shading.h"

#if defined(COLUMN_KERNEL_AVX512) || defined(COLUMN_KERNEL_AVX2) || defined(COLUMN_KERNEL_SSE2)
#include <immintrin.h>
#include <sleef.h>

#include <cstddef>
#include <cstring>
#include <utility>

#if defined(COLUMN_KERNEL_AVX512)
#define COLUMN_KERNEL_TARGET avx512
#define REGISTER_WIDTH 8
#define SLEEF_SUFFIX avx512f
#elif defined(COLUMN_KERNEL_AVX2)
#define COLUMN_KERNEL_TARGET avx2
#define REGISTER_WIDTH 4
#define SLEEF_SUFFIX avx2
#else
#define COLUMN_KERNEL_TARGET sse2
#define REGISTER_WIDTH 2
#define SLEEF_SUFFIX sse2
#endif

// Sleef_<fn>d<width>_<ulps><suffix>: the double-precision function within
// <ulps> (u10: 1 ULP).
#define SLEEF_NAME_(fn, width, ulps, suffix) Sleef_##fn##d##width##_##ulps##suffix
#define SLEEF_NAME(fn, width, ulps, suffix) SLEEF_NAME_(fn, width, ulps, suffix)
#define SLEEF(fn, ulps) SLEEF_NAME(fn, REGISTER_WIDTH, ulps, SLEEF_SUFFIX)

namespace {
// One register of doubles, and the same register as singles and as bits.
constexpr int registerWidth = REGISTER_WIDTH;
using Register = double __attribute__((vector_size(REGISTER_WIDTH * 8)));
using SingleRegister = float __attribute__((vector_size(REGISTER_WIDTH * 4)));
using SinglePairRegister = float __attribute__((vector_size(REGISTER_WIDTH * 8)));
using BitsRegister = long long __attribute__((vector_size(REGISTER_WIDTH * 8)));

// The target's own conversions and square root. GCC splits a generic
// float-to-double vector conversion into half-width ones; the instruction's
// square root rounds correctly, as std::sqrt does. (GCC 12 warns of an
// uninitialised operand in the unmasked AVX-512 forms, not in these.)
#if defined(COLUMN_KERNEL_AVX512)
constexpr __mmask8 allLanes = 0xff;
inline Register roundRegisterToSingle(Register v) {
  return _mm512_maskz_cvtps_pd(allLanes, _mm512_maskz_cvtpd_ps(allLanes, v));
}
inline Register sqrtRegister(Register v) { return _mm512_maskz_sqrt_pd(allLanes, v); }
#elif defined(COLUMN_KERNEL_AVX2)
inline Register roundRegisterToSingle(Register v) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v)); }
inline Register sqrtRegister(Register v) { return _mm256_sqrt_pd(v); }
#else
inline Register roundRegisterToSingle(Register v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }
inline Register sqrtRegister(Register v) { return _mm_sqrt_pd(v); }
#endif
inline Register absRegister(Register v) {
  return reinterpret_cast<Register>(reinterpret_cast<BitsRegister>(v) & 0x7fffffffffffffffLL);
}

// The formula's steps form one long chain of dependent divisions, roundings
// and library calls. A lane of several registers of points gives the
// processor that many independent chains to overlap.
constexpr int registersPerLane = 8;
constexpr int laneWidth = registerWidth * registersPerLane;
constexpr auto eachPart = std::make_index_sequence<registersPerLane>{};

struct Lane {
  Register part[registersPerLane];
};

template <class Operation, std::size_t... I>
Lane eachRegister(Operation operation, const Lane& a, std::index_sequence<I...>) {
  return {{operation(a.part[I])...}};
}
template <class Operation, std::size_t... I>
Lane eachRegister(Operation operation, const Lane& a, const Lane& b, std::index_sequence<I...>) {
  return {{operation(a.part[I], b.part[I])...}};
}

// The arithmetic the formula uses: between lanes, and between a lane and a
// scalar taken as double, as for a lane of one double.
#define LANE_OPERATOR(op)                                                               \
  inline Lane operator op(const Lane& a, const Lane& b) {                               \
    return eachRegister([](Register x, Register y) { return x op y; }, a, b, eachPart); \
  }                                                                                     \
  inline Lane operator op(const Lane& a, double b) {                                    \
    return eachRegister([b](Register x) { return x op b; }, a, eachPart);               \
  }                                                                                     \
  inline Lane operator op(double a, const Lane& b) {                                    \
    return eachRegister([a](Register y) { return a op y; }, b, eachPart);               \
  }
LANE_OPERATOR(+)
LANE_OPERATOR(-)
LANE_OPERATOR(*)
LANE_OPERATOR(/)
#undef LANE_OPERATOR

inline Lane roundToSingle(const Lane& v) {
  return eachRegister(roundRegisterToSingle, v, eachPart);
}
inline Lane absLanes(const Lane& v) { return eachRegister(absRegister, v, eachPart); }
inline Lane atanLanes(const Lane& v) { return eachRegister(SLEEF(atan, u10), v, eachPart); }
inline Lane sinLanes(const Lane& v) { return eachRegister(SLEEF(sin, u10), v, eachPart); }
inline Lane cosLanes(const Lane& v) { return eachRegister(SLEEF(cos, u10), v, eachPart); }
inline Lane sqrtLanes(const Lane& v) { return eachRegister(sqrtRegister, v, eachPart); }

inline Lane laneOf(double value) {
  return eachRegister([value](Register) { return Register{} + value; }, Lane{}, eachPart);
}
// Rows y to y + laneWidth - 1.
inline Lane laneRows(int y) {
  Lane rows{};
  for (int lane = 0; lane < laneWidth; ++lane) {
    rows.part[lane / registerWidth][lane % registerWidth] = y + lane;
  }
  return rows;
}
}  // namespace

#else  // the scalar build: the lane operations of shading_formula.h itself
#define COLUMN_KERNEL_TARGET scalar
namespace {
using Lane = double;
constexpr int laneWidth = 1;
inline double laneOf(double value) { return value; }
inline double laneRows(int y) { return y; }
}  // namespace
#endif

#include "shading_formula.h"

namespace {
#if defined(REGISTER_WIDTH)
// Elements first, first + 1, ... of a and b in turn, as many as I counts:
// a[first] b[first] a[first + 1] b[first + 1] ...
template <std::size_t first, class Vector, std::size_t... I>
Vector alternate(Vector a, Vector b, std::index_sequence<I...>) {
  return __builtin_shufflevector(a, b, (I % 2 ? registerWidth + first + I / 2 : first + I / 2)...);
}
// Every element of two registers of singles in turn, into one register.
template <class Vector, std::size_t... I>
SinglePairRegister alternateSingles(Vector a, Vector b, std::index_sequence<I...>) {
  return __builtin_shufflevector(a, b, (I % 2 ? registerWidth + I / 2 : I / 2)...);
}

// Stores one register's worth of points as PixelColor, interleaving in
// registers: red with green and blue with alpha, then those pairs. The
// narrowing to single is exact: every component is already rounded to it.
inline void storeRegisterColors(Register red, Register green, Register blue, PixelColor* points) {
  const SingleRegister one = SingleRegister{} + 1.0f;
  const auto pairs = std::make_index_sequence<2 * registerWidth>{};
  const auto redGreen = reinterpret_cast<BitsRegister>(
      alternateSingles(__builtin_convertvector(red, SingleRegister),
                       __builtin_convertvector(green, SingleRegister), pairs));
  const auto blueAlpha = reinterpret_cast<BitsRegister>(
      alternateSingles(__builtin_convertvector(blue, SingleRegister), one, pairs));
  const auto quads = std::make_index_sequence<registerWidth>{};
  const BitsRegister firstHalf = alternate<0>(redGreen, blueAlpha, quads);
  const BitsRegister secondHalf = alternate<registerWidth / 2>(redGreen, blueAlpha, quads);
  std::memcpy(points, &firstHalf, sizeof firstHalf);
  std::memcpy(points + registerWidth / 2, &secondHalf, sizeof secondHalf);
}

inline void storeColors(const ColorLanes<Lane>& color, PixelColor* points) {
  for (int r = 0; r < registersPerLane; ++r) {
    storeRegisterColors(color.red.part[r], color.green.part[r], color.blue.part[r],
                        points + r * registerWidth);
  }
}
#else
inline void storeColors(const ColorLanes<double>& color, PixelColor* point) {
  *point = {static_cast<float>(color.red), static_cast<float>(color.green),
            static_cast<float>(color.blue), 1.0f};
}
#endif
}  // namespace

namespace COLUMN_KERNEL_TARGET {

void shadeColumn(int x, const FrameTerms& frame, PixelColor column[gridHeight]) {
  static_assert(gridHeight % laneWidth == 0, "a column is a whole number of lanes");
  const Lane columns = laneOf(x);
  for (int y = 0; y < gridHeight; y += laneWidth) {
    storeColors(shadeLanes<Lane>(columns, laneRows(y), frame), column + y);
  }
}

}  // namespace COLUMN_KERNEL_TARGET
