// JMA's yardstick: the history of the last 127 averaged volatilities, kept
// in order, whose middle slots give a trimmed mean.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <functional>

#include "indicators/FastFloat.h"
#include "indicators/JmaSlotMove.h"

namespace msx {

// The volatilities kept, and the slots of the sorted array: slot 0 holds 0
// below them all.
inline constexpr int32_t kJmaHistory = 127;
inline constexpr int32_t kJmaSortedSlots = kJmaHistory + 1;

// The sorted history of the averaged volatilities. Slots that are not yet
// filled hold sentinels; the filled region grows from the middle slot,
// alternately up and down; the trimmed mean averages the window of slots
// between kWindowBottom and kWindowTop. Slot numbers are those of the
// arrays' definitions (1-based). kShortcuts: the float shortcuts, or the
// extended formulas alone.
template <bool kShortcuts>
class JmaVolatilityHistory {
 public:
  JmaVolatilityHistory() {
    sorted_[0] = 0;
    std::fill(sorted_ + 1, sorted_ + kMiddleSlot, -kSentinel);
    std::fill(sorted_ + kMiddleSlot, sorted_ + kJmaSortedSlots, kSentinel);
  }

  // Takes in the bar's averaged volatility v and returns the trimmed mean.
  // filling: fewer than 128 samples so far (the history is not yet full).
  // Inlined into the sample step, where filling is mostly known.
  [[gnu::always_inline]] float Add(float v, bool filling) {
    ringSlot_ = ringSlot_ <= 1 ? kJmaHistory : ringSlot_ - 1;
    int32_t removeSlot;
    float& stored = ring_[ringSlot_];
    if (filling) {
      stored = v;
      if (fillLow_ + fillHigh_ > kJmaHistory) {
        removeSlot = --fillLow_;
      } else {
        removeSlot = ++fillHigh_;
      }
      windowHigh_ = std::min(fillHigh_, kWindowTop);
      windowLow_ = std::max(fillLow_, kWindowBottom);
    } else {
      const float o = stored;  // stored 127 samples ago
      stored = v;
      removeSlot = FindStored(o);
    }
    const int32_t insertSlot = FindInsertion(v);

    if (!filling) SlideWindowSum(removeSlot, insertSlot, v);

    // The values between the two slots move a slot towards the removed one,
    // and v takes the slot that frees up beside the insertion slot.
    const int32_t r = removeSlot;
    const int32_t i = insertSlot;
    const bool up = r < i;  // v goes above the removed value's slot
    const int32_t from = up ? r + 1 : i;
    const int32_t to = up ? r : i + 1;
    const int32_t count = up ? i - 1 - r : r - i;
    if constexpr (kShortcuts) {
      MoveOneSlot(sorted_ + to, sorted_ + from, count);
    } else {
      std::memmove(sorted_ + to, sorted_ + from, sizeof(float) * static_cast<size_t>(count));
    }
    sorted_[up ? i - 1 : i] = v;

    if (filling) {
      windowSum_ = 0;
      for (int32_t j = windowLow_; j <= windowHigh_; ++j)
        windowSum_ = Once(windowSum_, sorted_[j], std::plus<>());
    }
    return Once(windowSum_, static_cast<float>(windowHigh_ - windowLow_ + 1), std::divides<>());
  }

 private:
  static constexpr float kSentinel = 1000000.0f;
  static constexpr int32_t kMiddleSlot = kJmaSortedSlots / 2;  // the first filled slot
  static constexpr int32_t kWindowBottom = kMiddleSlot / 2;
  static constexpr int32_t kWindowTop = kMiddleSlot + kMiddleSlot / 2;
  static constexpr int32_t kGroupSlots = 16;  // the slots CountBelow counts at once
  static constexpr int32_t kGroups = kJmaSortedSlots / kGroupSlots;

  template <class Op>
  static float Once(float a, float b, Op op) {
    return StoreOnceIf<kShortcuts>(a, b, op);
  }

  // The searches below stop where the values around the slot say; each
  // halving step needs two comparisons and the step before it. Slots 1 to
  // 127 are in order, so the values below x count the slots before the first
  // one not below x. Where that slot holds o alone, or v lies strictly
  // between it and the slot below, the searches stop there too (from every
  // other slot they move towards it); otherwise (equal values, or prices
  // beyond the sentinels that made o leave early) they run.
  int32_t FindStored(float o) const {
    if constexpr (kShortcuts) {
      const float* a = sorted_;
      const int32_t k = CountBelow(o);
      if (k < kJmaSortedSlots && a[k] == o && a[k - 1] < o &&
          (k == kJmaSortedSlots - 1 || a[k + 1] > o))
        return k;
    }
    return SearchStored(o);
  }

  int32_t FindInsertion(float v) const {
    if constexpr (kShortcuts) {
      const float* a = sorted_;
      const int32_t k = CountBelow(v);
      if (a[k - 1] < v && (k == kJmaSortedSlots || a[k] > v)) return k;
    }
    return SearchInsertion(v);
  }

  // How many slots hold a value below x (one at least). For x above 0 (the
  // 0 of slot 0) that is the first of slots 1 to 127, which are in order,
  // whose value is not below x, or 128. The last slots of the eight groups
  // of 16 that are below x tell the group where the count ends (all of the
  // groups before it lie below x); that group's slots are counted four at a
  // time. No step waits on more than one before it, as a search's would.
  int32_t CountBelow(float x) const {
    const float* a = sorted_;
    auto lastOf = [a](int32_t group) { return a[kGroupSlots * (group + 1) - 1]; };
#if defined(__SSE2__)
    static_assert(kGroups == 8, "two sets of four groups");
    static constexpr int8_t kBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    const __m128 bound = _mm_set1_ps(x);
    const int32_t groups =
        kBits[_mm_movemask_ps(
            _mm_cmplt_ps(_mm_set_ps(lastOf(3), lastOf(2), lastOf(1), lastOf(0)), bound))] +
        kBits[_mm_movemask_ps(
            _mm_cmplt_ps(_mm_set_ps(lastOf(7), lastOf(6), lastOf(5), lastOf(4)), bound))];
    // All groups below: every slot is, the last group's too.
    const int32_t group = std::min(groups, kGroups - 1);
    const float* slots = a + kGroupSlots * group;
    __m128i below = _mm_setzero_si128();  // -1 in every lane below x, four times
#pragma GCC unroll 4
    for (int32_t k = 0; k < kGroupSlots; k += 4)
      below = _mm_add_epi32(below, _mm_castps_si128(_mm_cmplt_ps(_mm_load_ps(slots + k), bound)));
    below = _mm_add_epi32(below, _mm_shuffle_epi32(below, _MM_SHUFFLE(1, 0, 3, 2)));
    below = _mm_add_epi32(below, _mm_shuffle_epi32(below, _MM_SHUFFLE(2, 3, 0, 1)));
    const int32_t inGroup = -_mm_cvtsi128_si32(below);
#else
    int32_t groups = 0;
    for (int32_t g = 0; g < kGroups; ++g) groups += lastOf(g) < x;
    const float* slots = a + kGroupSlots * std::min(groups, kGroups - 1);
    int32_t inGroup = 0;
    for (int32_t k = 0; k < kGroupSlots; ++k) inGroup += slots[k] < x;
#endif
    return std::max(static_cast<int32_t>(slots - a) + inGroup, 1);
  }

  // The search for o: up while the slot's value is smaller, down while it
  // is larger, stopping at an equal one; six halving steps at most. Once
  // stopped, every later step meets the same value and stays. Written
  // without branches, as their outcome cannot be foreseen.
  int32_t SearchStored(float o) const {
    const float* at = sorted_ + kMiddleSlot;
#pragma GCC unroll 6
    for (ptrdiff_t step = kMiddleSlot / 2; step >= 1; step /= 2)
      at += (ptrdiff_t{*at < o} - ptrdiff_t{*at > o}) * step;
    return static_cast<int32_t>(at - sorted_);
  }

  // The search for v's slot: up while the slot's value is smaller, down
  // while the one below it is larger too, else stop. The last slot is
  // reached only on the last step; past its value, v goes past the end.
  int32_t SearchInsertion(float v) const {
    const float* at = sorted_ + kMiddleSlot;
#pragma GCC unroll 6
    for (ptrdiff_t step = kMiddleSlot / 2; step >= 1; step /= 2) {
      const bool atOrAbove = at[0] >= v;
      const bool belowAbove = at[-1] > v;
      at += (ptrdiff_t{!atOrAbove} - ptrdiff_t{atOrAbove && belowAbove}) * step;
    }
    const int32_t slot = static_cast<int32_t>(at - sorted_);
    return slot == kJmaSortedSlots - 1 && v > sorted_[kJmaSortedSlots - 1] ? kJmaSortedSlots
                                                                            : slot;
  }

  // Once the history is full the window keeps its slots: the sum takes in
  // the value that enters it and gives up the one that leaves, judged on the
  // array before the move. Slot 0 always holds 0, which stands for nothing
  // entering or leaving (the sum is never -0, so adding or taking 0 leaves
  // it as it is). Indexes and selections instead of branches, as the slots
  // cannot be foreseen.
  void SlideWindowSum(int32_t r, int32_t i, float v) {
    const int32_t wl = windowLow_;
    const int32_t wh = windowHigh_;
    const float* a = sorted_;
    const bool down = r >= i;  // the values between move up a slot
    const bool entersAsItself = down ? wh + 1 > i && wl - 1 < i : wl < i && wh + 2 > i;
    const bool entersFromBelow = down && wl > i && wl - 1 < r;
    const bool entersFromAbove = !down && wh + 1 < i && wh + 1 > r;
    const int32_t enteringSlot = entersFromBelow ? wl - 1 : entersFromAbove ? wh + 1 : 0;
    const float entering = entersAsItself ? v : a[enteringSlot];

    const bool leavesItself = wl - 1 < r && wh + 1 > r;
    const bool leavesAtTop = r > i && wh < r && wh + 1 > i;
    const bool leavesAtBottom = r <= i && wl > r && wl < i;
    const int32_t leavingSlot = leavesItself ? r : leavesAtTop ? wh : leavesAtBottom ? wl : 0;

    windowSum_ = Once(Once(windowSum_, entering, std::plus<>()), a[leavingSlot], std::minus<>());
  }

  float ring_[kJmaHistory + 1] = {};  // the volatilities in the order they came
  int32_t ringSlot_ = 0;
  alignas(16) float sorted_[kJmaSortedSlots];
  int32_t fillLow_ = kMiddleSlot;
  int32_t fillHigh_ = kMiddleSlot - 1;
  int32_t windowLow_ = 0;
  int32_t windowHigh_ = 0;
  float windowSum_ = 0;
};

}  // namespace msx
