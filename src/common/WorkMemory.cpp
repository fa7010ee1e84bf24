#include "common/WorkMemory.h"

#include <atomic>
#include <new>

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

// The blocks kept between calls. A slot is taken and given back by atomic
// exchange, so calls on several threads never share a block.
class Kept {
 public:
  ~Kept() {
    for (auto& slot : slots_) DeleteBlock(slot.exchange(nullptr));
  }

  // A kept block of at least bytes, or null. The smaller ones met on the
  // way are freed: the block about to be made replaces them.
  Header* Take(size_t bytes) {
    for (auto& slot : slots_) {
      Header* block = slot.exchange(nullptr, std::memory_order_acquire);
      if (block == nullptr) continue;
      if (block->bytes >= bytes) return block;
      DeleteBlock(block);
    }
    return nullptr;
  }

  // Keeps block in a free slot, or frees it when all are taken.
  void Give(Header* block) {
    for (auto& slot : slots_) {
      Header* empty = nullptr;
      if (slot.compare_exchange_strong(empty, block, std::memory_order_release)) return;
    }
    DeleteBlock(block);
  }

 private:
  std::atomic<Header*> slots_[WorkMemory::kKept] = {};
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

}  // namespace msx
