// Work memory kept between calls: handed on, never shared, aligned.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "common/WorkMemory.h"

namespace msx {
namespace {

TEST(WorkMemory, KeepsBlocksForLaterCallsAndNeverSharesOne) {
  void* first = nullptr;
  {
    const WorkMemory m(1 << 20);
    first = m.As<void>();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % 64, 0u);
  }
  {
    const WorkMemory smaller(1000);  // the kept block serves a smaller need
    EXPECT_EQ(smaller.As<void>(), first);
    const WorkMemory meanwhile(1000);  // held at the same time: a block of its own
    EXPECT_NE(meanwhile.As<void>(), first);
  }
  {
    const WorkMemory larger(4 << 20);  // no kept block is large enough
    larger.As<char>()[(4 << 20) - 1] = 1;
  }

  // Calls on several threads at once: each writes its own block through.
  std::vector<std::thread> threads;
  int wrong[8] = {};
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([t, &wrong] {
      for (int round = 0; round < 200; ++round) {
        const WorkMemory m(size_t{4096} * static_cast<size_t>(1 + round % 3));
        int* v = m.As<int>();
        for (int k = 0; k < 1024; ++k) v[k] = t;
        std::this_thread::yield();
        for (int k = 0; k < 1024; ++k) wrong[t] += v[k] != t;
      }
    });
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(wrong[t], 0) << t;
}

}  // namespace
}  // namespace msx
