#include "common/WorkMemory.h"

#include <atomic>
#include <new>
#include <thread>
#include <utility>

namespace msx {
namespace {

constexpr std::align_val_t kAlignment{64};

// A block: its size in the first line, the memory after it.
struct alignas(64) Header {
  size_t bytes;
};

Header* NewBlock(size_t bytes) {
  void* raw = ::operator new(sizeof(Header) + bytes, kAlignment);
  return new (raw) Header{bytes};
}
void DeleteBlock(Header* block) { ::operator delete(block, kAlignment); }
void* Memory(Header* block) { return block + 1; }
Header* BlockOf(void* memory) { return static_cast<Header*>(memory) - 1; }

// The blocks kept between calls, under a lock that is held for a few
// comparisons only (never while memory is allocated or freed), so that calls
// on several threads never share a block.
class Kept {
 public:
  // At unload. When the process ends, Windows stops its other threads
  // first, possibly one inside the lock: then the blocks are left to the
  // process's end rather than the exit waiting for a lock nobody frees.
  ~Kept() {
    if (busy_.test_and_set(std::memory_order_acquire)) return;
    for (Header*& block : blocks_) DeleteBlock(std::exchange(block, nullptr));
    busy_.clear(std::memory_order_release);
  }

  void FreeAll() {
    Header* all[WorkMemory::kKept];
    {
      const Lock lock(busy_);
      for (int k = 0; k < WorkMemory::kKept; ++k) all[k] = std::exchange(blocks_[k], nullptr);
    }
    for (Header* block : all) DeleteBlock(block);
  }

  // The smallest kept block of at least bytes, or null.
  Header* Take(size_t bytes) {
    const Lock lock(busy_);
    Header** best = nullptr;
    for (Header*& block : blocks_)
      if (block != nullptr && block->bytes >= bytes &&
          (best == nullptr || block->bytes < (*best)->bytes))
        best = &block;
    if (best == nullptr) return nullptr;
    Header* const taken = *best;
    *best = nullptr;
    return taken;
  }

  // Keeps block in a free place, or in place of the smallest kept block when
  // that is smaller, freeing the one left over.
  void Give(Header* block) {
    Header* left = block;
    {
      const Lock lock(busy_);
      Header** place = &blocks_[0];
      for (Header*& kept : blocks_) {
        if (kept == nullptr) {
          place = &kept;
          break;
        }
        if (kept->bytes < (*place)->bytes) place = &kept;
      }
      if (*place == nullptr || (*place)->bytes < block->bytes) std::swap(left, *place);
    }
    DeleteBlock(left);
  }

 private:
  class Lock {
   public:
    explicit Lock(std::atomic_flag& busy) : busy_(busy) {
      while (busy_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    }
    ~Lock() { busy_.clear(std::memory_order_release); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    std::atomic_flag& busy_;
  };

  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  Header* blocks_[WorkMemory::kKept] = {};
};

Kept& KeptBlocks() {
  static Kept kept;  // freed when the library unloads
  return kept;
}

}  // namespace

WorkMemory::WorkMemory(size_t bytes) {
  Header* block = KeptBlocks().Take(bytes);
  if (block == nullptr) block = NewBlock(bytes);
  data_ = Memory(block);
}

WorkMemory::~WorkMemory() { KeptBlocks().Give(BlockOf(data_)); }

void WorkMemory::FreeKept() { KeptBlocks().FreeAll(); }

}  // namespace msx
