// The floating-point environment of one computation. The library runs inside
// the host's process with whatever the host set: x87 precision cut to 53
// bits (which would quietly turn every extended-precision formula into a
// double one) or float exceptions unmasked (which would turn an overflow into
// a hardware trap that no C++ handler catches, taking the host down). For
// the length of a call the scope sets the environment the algorithms are
// written for: extended precision, rounding to nearest, every exception
// masked (faults are detected from the results instead), no flush of
// denormals to zero. On exit it restores the host's environment whole, the
// status flags included, so nothing raised here reaches the host.
#pragma once

#include <cstdint>

namespace msx {

class FloatEnvironmentScope {
 public:
  FloatEnvironmentScope() noexcept {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fnstenv %0" : "=m"(x87_));  // also masks every x87 exception
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr_));
    const uint16_t x87Control = kX87ExtendedNearestMasked;
    const uint32_t sseControl = kSseNearestMasked;
    __asm__ volatile("fldcw %0" : : "m"(x87Control));
    __asm__ volatile("ldmxcsr %0" : : "m"(sseControl));
#endif
  }
  ~FloatEnvironmentScope() {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fldenv %0" : : "m"(x87_));
    __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr_));
#endif
  }
  FloatEnvironmentScope(const FloatEnvironmentScope&) = delete;
  FloatEnvironmentScope& operator=(const FloatEnvironmentScope&) = delete;

  // x87 control word: 64-bit significands, round to nearest, all masked.
  static constexpr uint16_t kX87ExtendedNearestMasked = 0x037F;
  // MXCSR: round to nearest, all masked, no flush to zero, no denormals-are-zero.
  static constexpr uint32_t kSseNearestMasked = 0x1F80;

 private:
  struct X87Environment {
    uint32_t words[7];  // control, status, tag words and the last instruction
  };
  X87Environment x87_{};
  uint32_t mxcsr_ = 0;
};

}  // namespace msx
