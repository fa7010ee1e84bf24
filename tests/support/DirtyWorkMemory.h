// Fills every block of work memory kept between calls with NaN bytes, so
// that the next call reads no zeros or values it did not write itself.
#pragma once

#include <cstring>
#include <memory>

#include "common/WorkMemory.h"

namespace msx {

inline void DirtyWorkMemory() {
  constexpr size_t kBytes = size_t{4} << 20;  // more than any function asks for
  std::unique_ptr<WorkMemory> blocks[WorkMemory::kKept];
  for (auto& block : blocks) {
    block = std::make_unique<WorkMemory>(kBytes);
    std::memset(block->As<unsigned char>(), 0xFF, kBytes);
  }
}

}  // namespace msx
