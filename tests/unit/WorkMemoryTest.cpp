// Work memory kept between calls: handed on, never shared, aligned.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "common/WorkMemory.h"

namespace msx {
namespace {

TEST(WorkMemory, KeepsBlocksForLaterCallsAndNeverSharesOne) {
  WorkMemory::FreeKept();  // none kept from earlier tests
  constexpr size_t kMiB = size_t{1} << 20;
  void* small = nullptr;
  void* large = nullptr;
  {
    const WorkMemory a(kMiB + 17);
    const WorkMemory b(2 * kMiB);
    small = a.As<void>();
    large = b.As<void>();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(small) % 64, 0u);
  }
  {
    const WorkMemory fits(kMiB + 1);  // the smallest kept block that will do
    EXPECT_EQ(fits.As<void>(), small);
    const WorkMemory meanwhile(kMiB + 1);  // held at the same time: another one
    EXPECT_EQ(meanwhile.As<void>(), large);
  }
  {
    const WorkMemory larger(5 * kMiB);  // no kept block is large enough
    larger.As<char>()[5 * kMiB - 1] = 1;
  }
  // With every place taken, a block given back replaces the smallest kept
  // one when it is larger.
  WorkMemory::FreeKept();
  {
    std::unique_ptr<WorkMemory> held[WorkMemory::kKept];
    for (auto& h : held) h = std::make_unique<WorkMemory>(3 * kMiB);
  }
  void* newcomer = nullptr;
  {
    const WorkMemory big(4 * kMiB);
    newcomer = big.As<void>();
  }
  std::unique_ptr<WorkMemory> all[WorkMemory::kKept];
  bool newcomerKept = false;
  for (auto& h : all) {
    h = std::make_unique<WorkMemory>(3 * kMiB);
    newcomerKept = newcomerKept || h->As<void>() == newcomer;
  }
  EXPECT_TRUE(newcomerKept);

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
