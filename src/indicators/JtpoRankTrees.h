// JTPO's sum t for long windows in O(log N) a bar: the call's prices put in
// ascending order once, and two Fenwick trees over that order counting the
// window's prices and summing their times.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>

namespace msx {

// Twice the rank of a window's price p is 2 (itself) + 2 for every other
// price below p + 1 for every other price equal to p. With tau a price's bar
// counted from the call's first, T = sum over the window of tau times twice
// the rank changes, when a price p arrives at tau, by tau times p's twice
// rank plus 2 tau for every price above p and tau for every price equal to
// p (their ranks rise by 1 and 1/2); a price leaving undoes the same. The
// trees answer "how many below and with what sum of times" in O(log N), N
// the number of distinct prices. Everything is whole numbers, so t comes out
// exact: the very number the sorted window gives (see JTPO).
//
// T itself outgrows 32 bits (300 times 65,500 times 600), but only 4t is
// wanted, and |4t| is at most n^3 < 2^25. T and 4t are worked out with
// additions, subtractions and multiplications alone, so they are kept modulo
// 2^32 (unsigned 32-bit words, which wrap): the word 4t ends with is the
// number itself. A 32-bit processor then needs no 64-bit work a bar.
class JtpoRankTrees {
 public:
  // Orders the prices of bars from to to (no NaN among them). -0 and +0 are
  // one price, as they compare equal.
  JtpoRankTrees(const float* price, int32_t from, int32_t to)
      : from_(from),
        bars_(to - from + 1),
        order_(new int32_t[static_cast<size_t>(bars_)]),
        node_(new Node[static_cast<size_t>(bars_) + 1]()),
        same_(new Node[static_cast<size_t>(bars_) + 1]()) {
    SortedOrder(price);
  }

  // The price of bar b joins the window, or leaves it.
  void Add(int32_t b) {
    const int32_t r = order_[At(b - from_)];
    const int32_t tau = b - from_;
    const Node below = Below(r);
    const Node& same = same_[At(r)];
    total_ = {total_.count + 1, total_.time + tau};
    sum_ += Word(tau) * Word(2 + 2 * below.count + same.count) +
            2 * Word(total_.time - tau - below.time - same.time) + Word(same.time);
    Update(r, 1, tau);
  }
  void Remove(int32_t b) {
    const int32_t r = order_[At(b - from_)];
    const int32_t tau = b - from_;
    Update(r, -1, -tau);
    total_ = {total_.count - 1, total_.time - tau};
    const Node below = Below(r);
    const Node& same = same_[At(r)];
    sum_ -= Word(tau) * Word(2 + 2 * below.count + same.count) +
            2 * Word(total_.time - below.time - same.time) + Word(same.time);
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

  static size_t At(int32_t i) { return static_cast<size_t>(i); }

  struct Node {
    int32_t count;
    int32_t time;  // at most 300 times below 65,500
  };

  // The count and time sum of the window's prices below order r.
  Node Below(int32_t r) const {
    Node s{0, 0};
    for (int32_t k = r - 1; k > 0; k &= k - 1) {
      s.count += node_[At(k)].count;
      s.time += node_[At(k)].time;
    }
    return s;
  }
  void Update(int32_t r, int32_t count, int32_t time) {
    same_[At(r)].count += count;
    same_[At(r)].time += time;
    for (int32_t k = r; k <= distinct_; k += k & -k) {
      node_[At(k)].count += count;
      node_[At(k)].time += time;
    }
  }

  // order_[b - from] = 1 + the number of distinct prices below bar b's: a
  // radix sort of the prices as unsigned keys in ascending order, eight bits
  // at a time, skipping the bytes all keys share.
  void SortedOrder(const float* price) {
    const auto count = static_cast<size_t>(bars_);
    const std::unique_ptr<uint32_t[]> keys(new uint32_t[count]);
    const std::unique_ptr<int32_t[]> spare(new int32_t[count]);
    int32_t* sorted = order_.get();
    int32_t* other = spare.get();
    for (size_t k = 0; k < count; ++k) {
      const uint32_t bits = std::bit_cast<uint32_t>(price[from_ + static_cast<int32_t>(k)] + 0.0f);
      keys[k] = bits & 0x80000000u ? ~bits : bits | 0x80000000u;
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
    int32_t* rank = sorted == order_.get() ? other : order_.get();
    uint32_t previous = 0;
    for (size_t k = 0; k < count; ++k) {
      const auto item = static_cast<size_t>(sorted[k]);
      if (k == 0 || keys[item] != previous) ++distinct_;
      previous = keys[item];
      rank[item] = distinct_;
    }
    if (rank != order_.get()) std::copy(rank, rank + count, order_.get());
  }

  int32_t from_;
  int32_t bars_;
  std::unique_ptr<int32_t[]> order_;  // by bar, the rank of its price
  std::unique_ptr<Node[]> node_;      // the trees, indexes 1..distinct_
  std::unique_ptr<Node[]> same_;      // the window's prices equal to each
  int32_t distinct_ = 0;
  Node total_{0, 0};
  Word sum_ = 0;  // T modulo 2^32
};

}  // namespace msx
