// The move of JMA's sorted volatility history: n floats a slot up or down.
#pragma once

#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace msx {

// memmove of n floats a slot up or down (to is from + 1 or from - 1),
// eight at a time. The library's memmove picks its way by the size, a
// choice the processor cannot foresee here. The far end's values are loaded
// before the first store, so that the overlapping last stores move them
// whole.
inline void MoveOneSlot(float* to, const float* from, int32_t n) {
#if defined(__SSE2__)
  if (n >= 8) {
    if (to < from) {
      const __m128 last0 = _mm_loadu_ps(from + n - 8);
      const __m128 last1 = _mm_loadu_ps(from + n - 4);
      for (int32_t k = 0; k < n - 8; k += 8) {
        const __m128 low = _mm_loadu_ps(from + k);
        const __m128 high = _mm_loadu_ps(from + k + 4);
        _mm_storeu_ps(to + k, low);
        _mm_storeu_ps(to + k + 4, high);
      }
      _mm_storeu_ps(to + n - 8, last0);
      _mm_storeu_ps(to + n - 4, last1);
    } else {
      const __m128 first0 = _mm_loadu_ps(from);
      const __m128 first1 = _mm_loadu_ps(from + 4);
      for (int32_t k = n - 8; k > 0; k -= 8) {
        const __m128 low = _mm_loadu_ps(from + k);
        const __m128 high = _mm_loadu_ps(from + k + 4);
        _mm_storeu_ps(to + k, low);
        _mm_storeu_ps(to + k + 4, high);
      }
      _mm_storeu_ps(to, first0);
      _mm_storeu_ps(to + 4, first1);
    }
    return;
  }
  if (n >= 4) {
    if (to < from) {
      const __m128 last = _mm_loadu_ps(from + n - 4);
      for (int32_t k = 0; k < n - 4; k += 4) _mm_storeu_ps(to + k, _mm_loadu_ps(from + k));
      _mm_storeu_ps(to + n - 4, last);
    } else {
      const __m128 first = _mm_loadu_ps(from);
      for (int32_t k = n - 4; k > 0; k -= 4) _mm_storeu_ps(to + k, _mm_loadu_ps(from + k));
      _mm_storeu_ps(to, first);
    }
    return;
  }
  // Up to three: each value read before its slot is written.
  if (to < from) {
    if (n > 0) to[0] = from[0];
    if (n > 1) to[1] = from[1];
    if (n > 2) to[2] = from[2];
  } else {
    if (n > 2) to[2] = from[2];
    if (n > 1) to[1] = from[1];
    if (n > 0) to[0] = from[0];
  }
#else
  std::memmove(to, from, sizeof(float) * static_cast<size_t>(n));
#endif
}

}  // namespace msx
