// JTPO's sum t for long windows in O(log N) a bar: the call's prices numbered
// in ascending order once, and a tree over those numbers counting the
// window's prices and summing their times.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/WorkMemory.h"

namespace msx {

// Twice the rank of a window's price p is 2 (itself) + 2 for every other
// price below p + 1 for every other price equal to p. With tau a price's bar
// counted from the call's first, T = sum over the window of tau times twice
// the rank changes, when a price p arrives at tau, by tau times p's twice
// rank plus 2 tau for every price above p and tau for every price equal to
// p (their ranks rise by 1 and 1/2); a price leaving undoes the same. The
// tree answers "how many below and with what sum of times" in O(log N), N
// the number of distinct prices. Everything is whole numbers, so t comes out
// exact: the very number the sorted window gives (see JTPO).
//
// T itself outgrows 32 bits (300 times 65,500 times 600), but only 4t is
// wanted, and |4t| is at most n^3 < 2^25. T and 4t are worked out with
// additions, subtractions and multiplications alone, so they are kept modulo
// 2^32 (unsigned 32-bit words, which wrap): the word 4t ends with is the
// number itself. A 32-bit processor then needs no 64-bit work a bar.
//
// A price of time tau weighs (tau << 9) + 1 in the tree, and a node holds the
// sum of its prices' weights modulo 2^32: a window holds at most 511 prices,
// so the low 9 bits count them exactly and never carry into the bits above,
// which sum their times modulo 2^23. The times of c prices that all lie in
// base + 1 .. base + n sum to c base + d, d at most n^2 < 2^17: the node's
// word less c ((base << 9) + 1) is then exactly d << 9, and d is exact.
class JtpoRankTrees {
 public:
  // The most prices the window may hold.
  static constexpr int32_t kMostPrices = 511;

  // Numbers the prices of bars from to to (no NaN among them) in ascending
  // order. -0 and +0 are one price, as they compare equal.
  JtpoRankTrees(const float* price, int32_t from, int32_t to)
      : from_(from),
        bars_(to - from + 1),
        orderMemory_(sizeof(int32_t) * static_cast<size_t>(bars_)),
        order_(orderMemory_.As<int32_t>()) {
    if (!NumberFew(price)) NumberMany(price);
    size_t groups = 0;
    for (size_t top = At(distinct_); levels_ == 0 || top > 0; top >>= kFanBits) {
      levelStart_[levels_++] = groups;
      groups += (top >> kFanBits) + 1;
    }
    groups_.reset(new Group[groups]());
    for (int32_t l = 0; l < levels_; ++l) level_[l] = groups_[levelStart_[l]].child;
  }

  // The prices of bars newest - n + 1 to newest join the empty window.
  void Fill(int32_t newest, int32_t n) {
    const Word base = Time(newest - n);
    for (int32_t b = newest - n + 1; b <= newest; ++b) {
      const Word tau = Time(b);
      size_t r = Rank(b);
      const Word same = level_[0][r];
      Sums below = NoSums();
      for (int32_t l = 0; l < levels_; ++l, r >>= kFanBits) {
        below = AddBefore(below, level_[l] + (r & ~kFanMask), r & kFanMask);
        level_[l][r] += Weight(tau);
      }
      const Word above = total_ - Total(below) - same;
      sum_ += tau * Word(2 + 2 * Count(Total(below)) + Count(same)) + 2 * TimeSum(above, base) +
              TimeSum(same, base);
      total_ += Weight(tau);
    }
  }

  // The price of bar b - n leaves the window of n prices ending at bar
  // b - 1, and that of bar b joins it.
  //
  // Let S be the window without either, a the old price's time and a + n
  // the new one's, and write the times in S as a + d (d in 1..n - 1). A
  // price of time tau joining S with counts b, e and c of prices of S below,
  // equal and above, whose d sum to D_b, D_e and D_c, adds tau (2 + 2b + e) +
  // 2 (c a + D_c) + (e a + D_e) to T, which with 2c + e = 2 (n - 1) - 2b - e
  // is (tau - a) (2b + e) + 2 tau + 2 a (n - 1) + 2 D_c + D_e. Less what the
  // old price adds (tau - a = 0), the new one adds n (2b' + e') + 2n + the
  // change of 2 D_c + D_e = 2 D_S - 2 D_b - D_e, D_S the same for both:
  // T grows by n (2b' + e' + 2) + 2 (D_b - D_b') + (D_e - D_e'). A word of
  // prices in S is (2^9 a + 1) times their count + 2^9 times their D, so
  // that last change times 2^9 is (2b' + e' - 2b - e) (2^9 a + 1) -
  // (2 B' + E' - 2 B - E), B and E the words of the prices below and equal;
  // it is at most 2^9 n^2 < 2^31 in size, a signed word shifted back exactly.
  void Slide(int32_t b, int32_t n) {
    const Word a = Time(b - n);
    const size_t o = Rank(b - n);
    const size_t i = Rank(b);
    const Word gone = Weight(a);
    const Word come = Weight(a + Word(n));
    // The queries see the window with the old price and without the new:
    // the new one's counts then hold the old price when it is below or
    // equal, taken out below.
    const Word oldBefore = o < i ? gone : 0;
    const Word oldEqual = o == i ? gone : 0;
    const Word sameOld = level_[0][o] - gone;
    const Word sameNew = level_[0][i] - oldEqual;
    Sums belowOld = NoSums();
    Sums belowNew = NoSums();
    // Each level's words are its own, so the levels may be taken in any
    // order: from the top down, written out for the heights of trees up to
    // 8^6 numbers (the host's bars need no more), so that no level count is
    // kept or tested on the way.
    auto level = [&](int32_t l) {
      Word* const words = level_[l];
      const size_t to = o >> (kFanBits * l);
      const size_t ti = i >> (kFanBits * l);
      belowOld = AddBefore(belowOld, words + (to & ~kFanMask), to & kFanMask);
      belowNew = AddBefore(belowNew, words + (ti & ~kFanMask), ti & kFanMask);
      words[to] -= gone;
      words[ti] += come;
    };
    switch (levels_) {
      default:
        for (int32_t l = levels_ - 1; l >= 6; --l) level(l);
        [[fallthrough]];
      case 6:
        level(5);
        [[fallthrough]];
      case 5:
        level(4);
        [[fallthrough]];
      case 4:
        level(3);
        [[fallthrough]];
      case 3:
        level(2);
        [[fallthrough]];
      case 2:
        level(1);
        [[fallthrough]];
      case 1:
        level(0);
    }
    const Word wordOld = Total(belowOld);
    const Word wordNew = Total(belowNew) - oldBefore;
    const Word countOld = 2 * Count(wordOld) + Count(sameOld);
    const Word countNew = 2 * Count(wordNew) + Count(sameNew);
    const Word times =
        (countNew - countOld) * gone - (2 * wordNew + sameNew - 2 * wordOld - sameOld);
    sum_ += Word(n) * (countNew + 2) + Word(static_cast<int32_t>(times) >> kCountBits);
  }

  // 4t = sum of (twice rank - (n + 1)) (2 k - (n + 1)) over the window's
  // times k = 1..n of the n prices ending at bar newest: with k = tau - base
  // and the twice ranks summing to n (n + 1), 2 (T - base n (n + 1)) - n (n + 1)^2.
  int32_t FourT(int32_t newest, int32_t n) const {
    const Word base = Word(newest - from_ - n);
    const Word ranks = Word(n) * Word(n + 1);
    return static_cast<int32_t>(2 * (sum_ - base * ranks) - ranks * Word(n + 1));
  }

 private:
  using Word = uint32_t;  // a whole number modulo 2^32

  static constexpr int kCountBits = 9;
  static constexpr int kFanBits = 3;
  static constexpr size_t kFan = size_t{1} << kFanBits;
  static constexpr size_t kFanMask = kFan - 1;

  // The tree: at level l the word t sums the window's prices whose number
  // shifted right by 3 l is t, so level 0 holds each number's own word and
  // a level's eight words t & ~7 .. t | 7 split the word t >> 3 above them;
  // the top level has the one group. The prices below number r are those
  // of the words before r >> 3 l within its group, over the levels l.
  struct alignas(32) Group {
    Word child[kFan];
  };

  static size_t At(int32_t i) { return static_cast<size_t>(i); }
  Word Time(int32_t b) const { return Word(b - from_); }
  static Word Weight(Word tau) { return (tau << kCountBits) + 1; }
  static Word Count(Word sum) { return sum & ((Word{1} << kCountBits) - 1); }
  // The sum of the times of the prices whose word is sum, all of times
  // base + 1 .. base + n.
  static Word TimeSum(Word sum, Word base) {
    return Count(sum) * base + ((sum - Count(sum) * Weight(base)) >> kCountBits);
  }
  size_t Rank(int32_t b) const { return At(order_[At(b - from_)]); }

#if defined(__SSE2__)
  // Four partial word sums, added up at the end.
  using Sums = __m128i;
  static Sums NoSums() { return _mm_setzero_si128(); }
  // Adds the group's words before word s, through masks of all ones in the
  // lanes before s (made by comparing, which leaves the general registers,
  // few on a 32-bit processor, to the walk).
  static Sums AddBefore(Sums sums, const Word* group, size_t s) {
    const __m128i at = _mm_set1_epi32(static_cast<int>(s));
    const __m128i low = _mm_cmpgt_epi32(at, _mm_setr_epi32(0, 1, 2, 3));
    const __m128i high = _mm_cmpgt_epi32(at, _mm_setr_epi32(4, 5, 6, 7));
    const auto* words = reinterpret_cast<const __m128i*>(group);
    sums = _mm_add_epi32(sums, _mm_and_si128(low, _mm_load_si128(words)));
    return _mm_add_epi32(sums, _mm_and_si128(high, _mm_load_si128(words + 1)));
  }
  static Word Total(Sums sums) {
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, 0x4E));
    sums = _mm_add_epi32(sums, _mm_shuffle_epi32(sums, 0xB1));
    return static_cast<Word>(_mm_cvtsi128_si32(sums));
  }
#else
  using Sums = Word;
  static Sums NoSums() { return 0; }
  static Sums AddBefore(Sums sums, const Word* group, size_t s) {
    for (size_t k = 0; k < s; ++k) sums += group[k];
    return sums;
  }
  static Word Total(Sums sums) { return sums; }
#endif

  static uint32_t Key(float price) {
    const uint32_t bits = std::bit_cast<uint32_t>(price + 0.0f);
    return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
  }

  // Few distinct prices (the usual case: prices on a tick grid) are numbered
  // through a hash table of their keys, kept at most half full and small
  // enough for the processor's caches, and a radix sort of the distinct keys
  // alone. More than kFewPrices of them answer false and are left to the
  // sort of every bar.
  static constexpr int kHashBits = 13;
  static constexpr size_t kHashSlots = size_t{1} << kHashBits;
  static constexpr int32_t kFewPrices = 4096;

  bool NumberFew(const float* price) {
    const auto count = static_cast<size_t>(bars_);
    const std::unique_ptr<uint32_t[]> slotKey(new uint32_t[kHashSlots]());
    const std::unique_ptr<int32_t[]> slotId(new int32_t[kHashSlots]);
    const std::unique_ptr<uint32_t[]> keys(new uint32_t[2 * kFewPrices]);
    // No key is 0 (that would be a NaN), so 0 marks a free slot.
    auto find = [&](uint32_t key) {
      size_t h = (key * 0x9E3779B1u) >> (32 - kHashBits);
      while (slotKey[h] != key && slotKey[h] != 0) h = (h + 1) & (kHashSlots - 1);
      return h;
    };
    int32_t distinct = 0;
    for (size_t k = 0; k < count; ++k) {
      const uint32_t key = Key(price[from_ + static_cast<int32_t>(k)]);
      const size_t h = find(key);
      if (slotKey[h] == 0) {
        if (distinct == kFewPrices) return false;
        slotKey[h] = key;
        slotId[h] = distinct;
        keys[At(distinct++)] = key;
      }
      order_[k] = slotId[h];
    }
    uint32_t* sorted = keys.get();
    uint32_t* other = sorted + kFewPrices;
    const auto few = static_cast<size_t>(distinct);
    for (int shift = 0; shift < 32; shift += 8) {
      size_t start[257] = {};
      for (size_t k = 0; k < few; ++k) ++start[((sorted[k] >> shift) & 0xFF) + 1];
      if (*std::max_element(start + 1, start + 257) == few) continue;  // one byte for all
      for (int d = 0; d < 256; ++d) start[d + 1] += start[d];
      for (size_t k = 0; k < few; ++k) other[start[(sorted[k] >> shift) & 0xFF]++] = sorted[k];
      std::swap(sorted, other);
    }
    // other[id] = the number of the price that id names.
    for (size_t k = 0; k < few; ++k) other[slotId[find(sorted[k])]] = static_cast<uint32_t>(k + 1);
    for (size_t k = 0; k < count; ++k) order_[k] = static_cast<int32_t>(other[At(order_[k])]);
    distinct_ = distinct;
    return true;
  }

  // order_[b - from] = 1 + the number of distinct prices below bar b's: a
  // radix sort of the prices as unsigned keys in ascending order, eight bits
  // at a time, skipping the bytes all keys share.
  void NumberMany(const float* price) {
    const auto count = static_cast<size_t>(bars_);
    const WorkMemory keyMemory(sizeof(uint32_t) * count);
    const WorkMemory spareMemory(sizeof(int32_t) * count);
    uint32_t* const keys = keyMemory.As<uint32_t>();
    int32_t* sorted = order_;
    int32_t* other = spareMemory.As<int32_t>();
    for (size_t k = 0; k < count; ++k) {
      keys[k] = Key(price[from_ + static_cast<int32_t>(k)]);
      sorted[k] = static_cast<int32_t>(k);
    }
    for (int shift = 0; shift < 32; shift += 8) {
      size_t start[257] = {};
      for (size_t k = 0; k < count; ++k) ++start[((keys[k] >> shift) & 0xFF) + 1];
      if (*std::max_element(start + 1, start + 257) == count) continue;  // one byte for all
      for (int d = 0; d < 256; ++d) start[d + 1] += start[d];
      for (size_t k = 0; k < count; ++k) {
        const int32_t item = sorted[k];
        other[start[(keys[static_cast<size_t>(item)] >> shift) & 0xFF]++] = item;
      }
      std::swap(sorted, other);
    }
    // sorted lists the bars in ascending price; number the distinct prices
    // into the spare array, then keep them in order_.
    int32_t* rank = sorted == order_ ? other : order_;
    uint32_t previous = 0;
    distinct_ = 0;
    for (size_t k = 0; k < count; ++k) {
      const auto item = static_cast<size_t>(sorted[k]);
      if (k == 0 || keys[item] != previous) ++distinct_;
      previous = keys[item];
      rank[item] = distinct_;
    }
    if (rank != order_) std::copy(rank, rank + count, order_);
  }

  int32_t from_;
  int32_t bars_;
  WorkMemory orderMemory_;
  int32_t* order_;                   // by bar, the number of its price
  std::unique_ptr<Group[]> groups_;  // the levels' groups, the lowest first
  size_t levelStart_[8] = {};        // in groups_, by level (8^8 > 65,500 numbers)
  Word* level_[8] = {};              // by level, its words
  int32_t levels_ = 0;
  int32_t distinct_ = 0;
  Word total_ = 0;  // the window's word (while it fills)
  Word sum_ = 0;    // T modulo 2^32
};

}  // namespace msx
