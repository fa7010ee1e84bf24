// A chart as the host hands it to a function: the data record's price
// arrays, dates and names, the argument records, and a result array with
// guard values on both sides, so that a write outside the host's 65,500 bars
// shows. Every array is on fenced pages, so a reach far past it stops the
// test where it happens.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "Poison.h"
#include "host/MSXStruct.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace msx {

// Under AddressSanitizer, memory the library must never touch is poisoned:
// any read or write of it is reported where it happens. Elsewhere these do
// nothing and the guard values alone show writes.
inline void PoisonMemory([[maybe_unused]] const void* p, [[maybe_unused]] std::size_t n) {
#if defined(__SANITIZE_ADDRESS__)
  ASAN_POISON_MEMORY_REGION(p, n);
#endif
}
inline void UnpoisonMemory([[maybe_unused]] const void* p, [[maybe_unused]] std::size_t n) {
#if defined(__SANITIZE_ADDRESS__)
  ASAN_UNPOISON_MEMORY_REGION(p, n);
#endif
}

// Whole pages of memory between two fences of pages that can be neither read
// nor written: a reach beyond the pages, by up to 64 KB, stops the process
// at the instruction that makes it. The pages may be made read-only for the
// length of a call, so that a write into memory the host lent for reading
// stops the process too.
class FencedPages {
 public:
  explicit FencedPages(std::size_t bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    fence_ = std::max<std::size_t>(std::size_t{1} << 16, page);
    size_ = std::max<std::size_t>((bytes + page - 1) / page * page, page);
    void* m = mmap(nullptr, size_ + 2 * fence_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) throw std::bad_alloc();
    base_ = static_cast<std::byte*>(m);
    if (mprotect(data(), size_, PROT_READ | PROT_WRITE) != 0) {
      munmap(base_, size_ + 2 * fence_);
      throw std::bad_alloc();
    }
  }
  ~FencedPages() {
    UnpoisonMemory(data(), size_);  // the addresses may be handed out again
    munmap(base_, size_ + 2 * fence_);
  }
  FencedPages(const FencedPages&) = delete;
  FencedPages& operator=(const FencedPages&) = delete;

  std::byte* data() const { return base_ + fence_; }
  std::size_t size() const { return size_; }
  void SetReadOnly(bool readOnly) {
    mprotect(data(), size_, readOnly ? PROT_READ : PROT_READ | PROT_WRITE);
  }
  // An address inside the leading fence: a pointer to it that is followed
  // stops the process.
  const void* Fence() const { return base_; }

 private:
  std::byte* base_ = nullptr;
  std::size_t size_ = 0;
  std::size_t fence_ = 0;
};

// A host array of n elements on fenced pages, with guard values on both
// sides: kGuard before, and after it whatever is left of the last page (at
// least kGuard). The guards are poisoned under AddressSanitizer.
template <class T>
class GuardedArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  static constexpr std::size_t kGuard = 64;

  GuardedArray(std::size_t n, T guard, T fill)
      : n_(n), guard_(guard), pages_((n + 2 * kGuard) * sizeof(T)) {
    total_ = pages_.size() / sizeof(T);
    std::fill(all(), all() + kGuard, guard);
    std::fill(data(), data() + n, fill);
    std::fill(data() + n, all() + total_, guard);
    PoisonGuards();
  }

  T* data() { return all() + kGuard; }
  const T* data() const { return all() + kGuard; }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }
  std::size_t size() const { return n_; }
  FencedPages& pages() { return pages_; }

  bool GuardsIntact() const {
    UnpoisonGuards();
    bool intact = true;
    for (std::size_t i = 0; i < total_; ++i) {
      if (i == kGuard) i += n_;
      if (std::memcmp(all() + i, &guard_, sizeof(T)) != 0) intact = false;
    }
    PoisonGuards();
    return intact;
  }

 private:
  T* all() const { return reinterpret_cast<T*>(pages_.data()); }
  void PoisonGuards() const {
    PoisonMemory(all(), kGuard * sizeof(T));
    PoisonMemory(all() + kGuard + n_, (total_ - kGuard - n_) * sizeof(T));
  }
  void UnpoisonGuards() const {
    UnpoisonMemory(all(), kGuard * sizeof(T));
    UnpoisonMemory(all() + kGuard + n_, (total_ - kGuard - n_) * sizeof(T));
  }

  std::size_t n_;
  T guard_;
  FencedPages pages_;
  std::size_t total_ = 0;
};

// A reproducible random walk on a 0.01 grid from start, each step between
// -step and +7/8 step, never below 1.
inline std::vector<float> RandomWalk(size_t n, uint32_t seed, float start = 50, float step = 2) {
  std::vector<float> prices;
  uint32_t state = seed;
  float price = start;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1664525u + 1013904223u;
    const float move = static_cast<float>(static_cast<int>(state >> 28) - 8) * step / 8;
    price = std::max(1.0f, std::round((price + move) * 100) / 100);
    prices.push_back(price);
  }
  return prices;
}

// The result range before a call: a call that faults leaves it so.
inline constexpr int32_t kUnsetIndex = -77;

class TestChart {
 public:
  // Bars 0 to closes.size() - 1; high and low spread above and below the
  // close. Bar i is dated 2024-01-01 + i (a date only as the host gives it),
  // time 0; the security is SEC1 in C:\Data, daily. Every array is the
  // host's full length.
  explicit TestChart(const std::vector<float>& closes = {}, float spread = 0) {
    SetCloses(closes, spread);
    for (int32_t i = 0; i < kMaxBars; ++i) dates_[static_cast<size_t>(i)] = {20240101 + i, 0};
    data.dates = dates_.data();
    data.securityName = Text("SEC1");
    data.symbol = Text("SEC1");
    data.securityPath = Text("C:\\Data");
    data.period = 'D';
    result.values = out_.data();
    std::strcpy(rec.szExtendedError, "poison");
  }
  // The chart of an indicator over the price and numbers: the close as
  // series argument 0, then the numbers.
  TestChart(const std::vector<float>& closes, std::initializer_list<float> numbers)
      : TestChart(closes) {
    AddClose();
    for (float n : numbers) AddNumber(n);
  }

  // The records point into the chart: it stays where it was made.
  TestChart(const TestChart&) = delete;
  TestChart& operator=(const TestChart&) = delete;

  // The chart's own series and dates.
  float& Close(size_t i) { return close_[i]; }
  float& High(size_t i) { return high_[i]; }
  float& Low(size_t i) { return low_[i]; }
  HostDateTimeEntry& Date(size_t i) { return dates_[i]; }
  // New closes from bar 0 on, high and low spread around them, the range of
  // all three theirs.
  void SetCloses(const std::vector<float>& closes, float spread = 0) {
    for (size_t i = 0; i < closes.size(); ++i) {
      close_[i] = closes[i];
      high_[i] = closes[i] + spread;
      low_[i] = closes[i] - spread;
    }
    data.close = {close_.data(), 0, static_cast<int32_t>(closes.size()) - 1};
    data.high = {high_.data(), 0, data.close.last};
    data.low = {low_.data(), 0, data.close.last};
  }
  // Sets the valid range of the chart's close, high and low.
  void SetRange(int32_t first, int32_t last) {
    for (HostSeries* s : {&data.close, &data.high, &data.low}) {
      s->first = first;
      s->last = last;
    }
  }
  // The same, and series argument 0's range with them.
  void SetPriceRange(int32_t first, int32_t last) {
    SetRange(first, last);
    Arg(0).first = first;
    Arg(0).last = last;
  }
  // A copy of text that lives as long as the chart, for the records.
  char* Text(const std::string& text) { return texts_.emplace_back(text).data(); }

  // A series argument over the given bars, or a constant over first..last.
  HostSeries& AddSeries(const std::vector<float>& values, int32_t first = 0) {
    GuardedArray<float>& a = arrays_.emplace_back(kMaxBars, kPoison, 0.0f);
    std::copy(values.begin(), values.end(), a.data() + first);
    return Add({a.data(), first, first + static_cast<int32_t>(values.size()) - 1});
  }
  HostSeries& AddConstant(float value, int32_t first, int32_t last) {
    GuardedArray<float>& a = arrays_.emplace_back(kMaxBars, kPoison, value);
    return Add({a.data(), first, last});
  }
  // The chart's close array as a series argument, with its range.
  HostSeries& AddClose() { return Add(data.close); }
  void AddNumber(float v) { numeric.items[numeric.count++] = v; }
  void AddCustom(int32_t id) { custom.items[custom.count++] = id; }
  // The string arguments, in place of those before.
  void SetTexts(const std::vector<std::string>& texts) {
    strings.count = 0;
    for (const std::string& t : texts) strings.items[strings.count++] = Text(t);
  }
  HostSeries& Arg(int32_t i) { return *series.items[i]; }
  // New values of a series from bar 0 on, its range with them.
  void SetValues(HostSeries& s, const std::vector<float>& values) {
    std::copy(values.begin(), values.end(), s.values);
    s.first = 0;
    s.last = static_cast<int32_t>(values.size()) - 1;
  }

  int32_t Call(HostFunction f) { return f(&data, &series, &numeric, &strings, &custom, &rec); }

  float R(int32_t i) const { return out_[static_cast<size_t>(i)]; }
  // The bars written, first to last, poison left out.
  std::vector<int32_t> Written() const {
    std::vector<int32_t> bars;
    for (int32_t i = 0; i < kMaxBars; ++i)
      if (R(i) != kPoison) bars.push_back(i);
    return bars;
  }
  bool GuardsIntact() const { return out_.GuardsIntact(); }
  std::string Error() const { return rec.szExtendedError; }

  HostDataRecord data{};
  HostSeriesArgs series{};
  HostNumericArgs numeric{};
  HostStringArgs strings{};
  HostCustomArgs custom{};
  HostSeries result{nullptr, kUnsetIndex, kUnsetIndex};
  ResultRec rec{&result, {}};

 private:
  HostSeries& Add(HostSeries s) {
    HostSeries& added = series_.emplace_back(s);
    series.items[series.count++] = &added;
    return added;
  }

  GuardedArray<float> close_{kMaxBars, kPoison, 0.0f};
  GuardedArray<float> high_{kMaxBars, kPoison, 0.0f};
  GuardedArray<float> low_{kMaxBars, kPoison, 0.0f};
  GuardedArray<HostDateTimeEntry> dates_{kMaxBars, {}, {}};
  GuardedArray<float> out_{kMaxBars, kPoison, kPoison};
  std::deque<GuardedArray<float>> arrays_;
  std::deque<HostSeries> series_;
  std::deque<std::string> texts_;
};

}  // namespace msx
